// The bridge to the program: the `host` object its web backend calls (the
// EM_JS functions of platform/web), in the program's own words. The program
// reaches the page only through it.

import { $, game, testRecord } from './common.js';
import { arrivalsHost } from './arrivals.js';
import { audioHost, decodeAheadNow } from './audio.js';
import { frameSeen, keyDown, releaseAll } from './input.js';
import { syncFiles } from './files.js';
import { present, screen } from './screen.js';
import { speechHost } from './speech.js';
import { showEnded } from './ui.js';

// Written files are looked for this often, in frames (a quarter second).
const SYNC_EVERY_FRAMES = 15;

const canvas = $('screen');

// Who follows the program's run besides the page: the loading waits for the
// first frame; the test hooks, in test mode, log the start, every frame and
// the end.
export const frameWatch = {
  first: () => {},
  started: null,
  each: null,
  ended: null,
  // After each frame, once the keys the game saw are let go of.
  after: [],
};

// The screen's kinds, as the program's view query answers them.
export const VIEW_QUESTION = 1;
export const VIEW_ANALYSIS = 2;

// What the screen shows now, in the game's words (between frames, while the
// program runs): its kind, whether the answers take keys, the marked
// answer, whether a press on them now would count, whether the analysis
// shows the hidden test's set, and whether a test is under way.
export function readView() {
  const m = game.Module;
  if (!game.running || !m || !m._shindan_view)
    return null;
  const v = m._shindan_view();
  return {
    kind: v & 3,
    answersOpen: (v & 4) !== 0,
    marked: (v >> 3) & 3,
    hiddenTest: (v & 32) !== 0,
    inTest: (v & 64) !== 0,
    answersSettled: (v & 128) !== 0,
  };
}

// The eight scores the standing analysis shows, in trait order.
export function readScores() {
  const m = game.Module;
  return Array.from({ length: 8 }, (_, t) => m._shindan_view_score(t));
}

export const host = {
  keyDown,
  pollEvent() {
    return game.events.length ? game.events.shift() : 0;
  },
  messageBox(text, caption) {
    releaseAll();
    testRecord('boxes', { text, caption });
    // The browser's own modal box: the program waits until it is closed,
    // as it does on the desktop.
    window.alert(caption ? `${caption}\n\n${text}` : text);
  },
  // Whether present takes the program's 16-bit pixels (presentPacked).
  screenTakesPacked() {
    return screen().packed;
  },
  // The screen as 16-bit pixels (5-6-5, or 5-5-5 with fiveFiveFive), rows
  // pitch bytes apart, at offset in the program's memory.
  presentPacked(memory, offset, pitch, fiveFiveFive) {
    present(memory, offset, pitch, fiveFiveFive);
  },
  // The screen as red, green, blue and alpha bytes, row by row, at offset
  // in the program's memory; shown without copying them first.
  present(memory, offset) {
    present(memory, offset);
  },
  started(tick) {
    game.running = true;
    if (frameWatch.started)
      frameWatch.started(tick);
  },
  frameDone(tick) {
    ++game.frames;
    if (frameWatch.each)
      frameWatch.each(tick);
    game.frameSounds = [];
    frameSeen();
    for (const f of frameWatch.after)
      f();
    if (game.frames % SYNC_EVERY_FRAMES === 0)
      syncFiles();
    if (game.frames === 1) {
      performance.mark('first-frame');
      frameWatch.first();
    }
    if (game.frames === 2)
      decodeAheadNow();
  },
  ended() {
    game.running = false;
    syncFiles();
    releaseAll();
    showEnded();
    if (frameWatch.ended)
      frameWatch.ended();
  },
  cursor(show) {
    canvas.style.cursor = show ? '' : 'none';
  },

  ...audioHost,
  ...arrivalsHost,

  // The screen's words, for the live region and the page's voice.
  speech: speechHost,

  // Text: drawn by the browser, handed back as coverage (0-255) for the
  // rectangle it reaches inside width x height; answers [left, top, right,
  // bottom] or null when nothing shows.
  textCoverage(text, size, weight, serif, x, y, width, height) {
    const font = `${weight} ${size}px ${serif ? 'serif' : 'sans-serif'}`;
    const measure = textCanvas(1, 1);
    measure.font = font;
    const m = measure.measureText(text);
    const left = Math.max(0, x);
    const top = Math.max(0, y);
    const right = Math.min(width, x + Math.ceil(m.width) + 1);
    const bottom = Math.min(height, y + Math.ceil(size * 1.5) + 1);
    if (right <= left || bottom <= top)
      return null;
    const w = right - left;
    const h = bottom - top;
    const c = textCanvas(w, h);
    c.clearRect(0, 0, w, h);
    c.font = font;
    c.textBaseline = 'top';
    c.fillStyle = '#fff';
    c.fillText(text, x - left, y - top);
    const data = c.getImageData(0, 0, w, h).data;
    const coverage = new Uint8Array(w * h);
    for (let i = 0; i < coverage.length; ++i)
      coverage[i] = data[i * 4 + 3];
    return { rect: [left, top, right, bottom], coverage };
  },
};

let textContext = null;
function textCanvas(w, h) {
  if (!textContext)
    textContext = document.createElement('canvas').getContext('2d', { willReadFrequently: true });
  if (textContext.canvas.width < w)
    textContext.canvas.width = w;
  if (textContext.canvas.height < h)
    textContext.canvas.height = h;
  return textContext;
}
