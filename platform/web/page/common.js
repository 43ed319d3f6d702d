// What every part of the page shares: the picture's size, the query, the
// state of the running program, and the test recorder (set only with ?test).

export const SCREEN_W = 640;
export const SCREEN_H = 480;
// Where the page unpacks the game's files; the program runs in it.
export const GAME_DIR = '/game';
// What the program's window backend reads from pollEvent.
export const EVENT_CLOSE = 1;
export const EVENT_TUNE_ENDED = 2;
export const EVENT_SPEECH = 3;  // the player switched speech (V, the #speech switch)

export const params = new URLSearchParams(location.search);
export const testMode = params.has('test');

export const $ = (id) => document.getElementById(id);

// The running program: its module (with FS) once loaded, frames run so far,
// and the events queued for it.
export const game = {
  Module: null,
  running: false,
  frameSounds: [],  // the effects played in the frame running now
  frames: 0,
  events: [],
};

// The edition played: the editions as packs.json lists them, the one
// chosen ({ lang, title, first, later }), and the names of every file its
// packs bring.
export const edition = {
  packs: [],
  pack: null,
  packNames: new Set(),
};

// Path -> Promise that settles once the pack bringing that file is in (or
// has failed); only for files that were not there when the program started.
export const arriving = new Map();

// The test hooks' record (window.shindanTest), when the page runs in test
// mode; null otherwise, and every call below then does nothing.
export const testing = { record: null };

export function testRecord(list, entry) {
  if (testing.record)
    testing.record[list].push(Object.assign({ frame: game.frames + 1 }, entry));
}

export function toBase64(bytes) {
  let s = '';
  for (let i = 0; i < bytes.length; i += 0x8000)
    s += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  return btoa(s);
}

export function fromBase64(text) {
  const s = atob(text);
  const bytes = new Uint8Array(s.length);
  for (let i = 0; i < s.length; ++i)
    bytes[i] = s.charCodeAt(i);
  return bytes;
}
