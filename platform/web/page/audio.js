// Sound: the effects the program loads as PCM, played through Web Audio, and
// the tunes, rendered beforehand (NAME.opus beside NAME.mid) and decoded once
// (tune-worker.js).

import { EVENT_TUNE_ENDED, arriving, game, testRecord } from './common.js';

let audio = null;
// Every effect and tune goes through this one gain: muting sets it to
// nothing, and the game plays on as before, its tunes ending on time.
let output = null;
let muted = false;

function audioContext() {
  if (!audio) {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (Context) {
      audio = new Context();
      output = audio.createGain();
      output.gain.value = muted ? 0 : 1;
      output.connect(audio.destination);
    }
  }
  return audio;
}

// Silences (or lets sound again) the effects and the tunes, at once.
export function setMuted(on) {
  muted = on;
  if (output)
    output.gain.value = on ? 0 : 1;
}
// Browsers start sound only after the player has touched the page.
export function unlockAudio() {
  const a = audioContext();
  if (a && a.state === 'suspended')
    a.resume().catch(() => {});
}
// Some browsers count only these as the player's permission for sound.
window.addEventListener('touchend', unlockAudio, { passive: true });
window.addEventListener('click', unlockAudio);

function audioRunning() {
  return audio !== null && audio.state === 'running';
}

const sounds = new Map();  // id -> { name, buffer, source }
let nextSound = 1;

function pcmToBuffer(bytes, channels, rate, bits) {
  const size = bits / 8;
  if (![8, 16, 24, 32].includes(bits) || channels < 1 || channels > 32)
    return null;
  const frames = Math.floor(bytes.length / (size * channels));
  if (frames < 1)
    return null;
  let buffer;
  try {
    buffer = new AudioBuffer({ numberOfChannels: channels, length: frames, sampleRate: rate });
  } catch (_) {
    return null;
  }
  // The samples as typed arrays of their own size, read in the machine's
  // order (little-endian, as the files are everywhere the page runs):
  // reading them one by one through a DataView holds a slow phone for tens
  // of milliseconds on the longer effects.
  const count = frames * channels;
  const at = (array) => (bytes.byteOffset % array.BYTES_PER_ELEMENT === 0
    ? new array(bytes.buffer, bytes.byteOffset, count)
    : new array(bytes.slice(0, count * array.BYTES_PER_ELEMENT).buffer));
  let read;
  if (bits === 8) {
    read = (i) => (bytes[i] - 128) / 128;
  } else if (bits === 16) {
    const s = at(Int16Array);
    read = (i) => s[i] / 32768;
  } else if (bits === 24) {
    read = (i) => (((bytes[3 * i + 2] << 24) | (bytes[3 * i + 1] << 16) | (bytes[3 * i] << 8)) >> 8) / 8388608;
  } else {
    const s = at(Int32Array);
    read = (i) => s[i] / 2147483648;
  }
  for (let c = 0; c < channels; ++c) {
    const out = buffer.getChannelData(c);
    for (let i = 0, j = c; i < frames; ++i, j += channels)
      out[i] = read(j);
  }
  return buffer;
}

// Tunes.
//
// The tunes may come in a pack that arrives after the program has started:
// a tune of that pack counts as there from the start, and it sounds once
// its pack is in. Until then the game sees it playing, as it would while
// any tune decodes; it never sees an end it did not hear.

// A rendering holds one second after the tune's MIDI end of track, where its
// last notes die away (scripts/web-pack): the tune ends that second before
// the rendering does, where the Windows sequencer ends it, and the game plays
// it again from there while the second rings on under the new start.
const TUNE_RELEASE = 1;

const tuneBuffers = new Map();  // opus path -> Promise<AudioBuffer|null>
let tune = null;                // { path, opus, exists, playing, source, clock }
const ringing = new Set();      // ended tunes' sources still sounding their release
let decodeAhead = [];           // rendered tunes not asked for yet
let tuneToken = 0;

const nextTask = () => new Promise((resolve) => setTimeout(resolve, 0));

// Seconds of a tune copied into its buffer in one task.
const COPY_SECONDS = 1;
let tuneWorker = null;
const decoding = new Map();  // id -> resolve
let nextDecoding = 1;

function decodeInWorker(bytes) {
  if (!tuneWorker) {
    tuneWorker = new Worker('tune-worker.js');
    tuneWorker.addEventListener('message', (e) => {
      const resolve = decoding.get(e.data.id);
      decoding.delete(e.data.id);
      if (resolve)
        resolve(e.data);
    });
    // A worker that cannot start, or fails, answers nothing more: this
    // tune and every later one are left to decodeAudioData.
    tuneWorker.addEventListener('error', () => {
      tuneWorker.broken = true;
      decoding.forEach((resolve) => resolve({ planes: null }));
      decoding.clear();
    });
  }
  if (tuneWorker.broken)
    return Promise.resolve({ planes: null });
  const id = nextDecoding++;
  return new Promise((resolve) => {
    decoding.set(id, resolve);
    tuneWorker.postMessage({ id, bytes });
  });
}

// A rendered tune as an AudioBuffer, decoded away from the page's thread and
// copied in a second at a time; null where that way cannot decode it.
export async function decodeRendering(bytes) {
  if (typeof Worker !== 'function')
    return null;
  const { rate, planes } = await decodeInWorker(bytes);
  if (!planes || planes.length < 1 || planes[0].length < 1)
    return null;
  const buffer = new AudioBuffer({ numberOfChannels: planes.length, length: planes[0].length, sampleRate: rate });
  const step = COPY_SECONDS * rate;
  for (let at = 0; at < buffer.length; at += step) {
    if (at > 0)
      await nextTask();
    planes.forEach((plane, c) => buffer.copyToChannel(plane.subarray(at, at + step), c, at));
  }
  return buffer;
}

function renderedPath(path) {
  return path.replace(/\.[^./]*$/, '') + '.opus';
}

// One tune is decoded at a time, the one the game asks for first: three at
// once would each take three times as long, and the tune the title starts
// would wait for the other two.
const tuneQueue = [];          // opus paths not decoded yet, the next first
const tuneSettle = new Map();  // opus path -> resolve of its promise
let tuneDecoding = false;

async function decodeOne(opus) {
  const a = audioContext();
  await (arriving.get(opus) || Promise.resolve());
  await nextTask();
  if (!a)
    return null;
  let bytes;
  try {
    bytes = game.Module.FS.readFile(opus);
  } catch (_) {
    // No rendering of this tune: it stays silent.
    return null;
  }
  return (await decodeRendering(bytes).catch(() => null)) || a.decodeAudioData(bytes.slice().buffer);
}

async function decodeQueued() {
  if (tuneDecoding)
    return;
  tuneDecoding = true;
  while (tuneQueue.length > 0) {
    const opus = tuneQueue.shift();
    const buffer = await decodeOne(opus).catch(() => null);
    tuneSettle.get(opus)(buffer);
    tuneSettle.delete(opus);
  }
  tuneDecoding = false;
}

// The tune's buffer once decoded (null if it cannot be); a tune the game
// wants now goes to the head of the queue.
function decodeTune(opus, now) {
  if (!tuneBuffers.has(opus)) {
    tuneBuffers.set(opus, new Promise((resolve) => tuneSettle.set(opus, resolve)));
    tuneQueue.push(opus);
  }
  const at = tuneQueue.indexOf(opus);
  if (now && at > 0)
    tuneQueue.unshift(...tuneQueue.splice(at, 1));
  decodeQueued();
  return tuneBuffers.get(opus);
}

function silenceTune() {
  ++tuneToken;
  if (tune && tune.source) {
    tune.clock.onended = null;
    stopSource(tune.clock);
    stopSource(tune.source);
    tune.source = null;
    tune.clock = null;
  }
  if (tune)
    tune.playing = false;
}

// A stop or a close silences the last release too.
function hushRinging() {
  ringing.forEach(stopSource);
  ringing.clear();
}

function startTune(buffer, token) {
  if (token !== tuneToken || !tune || !tune.playing)
    return;
  if (!buffer) {
    tune.playing = false;
    return;
  }
  if (!audioRunning()) {
    // Starts once the player has unlocked sound.
    audio.addEventListener('statechange', () => startTune(buffer, token), { once: true });
    return;
  }
  const source = audio.createBufferSource();
  source.buffer = buffer;
  source.connect(output);
  // The end of track, on the audio clock: a silent source that stops there.
  const clock = audio.createConstantSource();
  clock.offset.value = 0;
  clock.connect(output);
  const start = audio.currentTime;
  clock.onended = () => {
    if (token !== tuneToken)
      return;
    ringing.add(source);
    source.onended = () => ringing.delete(source);
    tune.source = null;
    tune.clock = null;
    tune.playing = false;
    testRecord('tunes', { what: 'ended', name: tune.name, after: audio.currentTime - start });
    game.events.push(EVENT_TUNE_ENDED);
  };
  tune.source = source;
  tune.clock = clock;
  source.start(start);
  clock.start(start);
  clock.stop(start + Math.max(0, buffer.duration - TUNE_RELEASE));
  testRecord('tunes', { what: 'start', name: tune.name });
}

// Tunes are decoded ahead, so that the first one starts at once, but only
// once the title shows.
export function decodeLater(paths) {
  decodeAhead = paths;
}

export function decodeAheadNow() {
  decodeAhead.forEach((path) => decodeTune(path, false));
  decodeAhead = [];
}

function stopSource(source) {
  try {
    source.stop();
  } catch (_) {
    // Already over, or never started.
  }
}

// What the program's sound backend calls, through the bridge.
export const audioHost = {
  openSound() {
    return audioContext() !== null;
  },
  closeSound() {
    for (const s of sounds.values()) {
      if (s.source)
        stopSource(s.source);
    }
    sounds.clear();
  },
  // Without bytes: a sound whose file is still on its way, silent until
  // fillSound gives its samples.
  makeSound(name, bytes, channels, rate, bits) {
    const buffer = bytes ? pcmToBuffer(bytes, channels, rate, bits) : null;
    if (bytes && !buffer)
      return 0;
    const id = nextSound++;
    sounds.set(id, { name, buffer, source: null });
    return id;
  },
  fillSound(id, bytes, channels, rate, bits) {
    const s = sounds.get(id);
    if (s)
      s.buffer = pcmToBuffer(bytes, channels, rate, bits);
    return Boolean(s && s.buffer);
  },
  playSound(id) {
    const s = sounds.get(id);
    if (!s)
      return;
    testRecord('sounds', { name: s.name });
    game.frameSounds.push(s.name);
    if (s.source) {
      stopSource(s.source);
      s.source = null;
    }
    if (!audioRunning() || !s.buffer)
      return;
    const source = audio.createBufferSource();
    source.buffer = s.buffer;
    source.connect(output);
    source.start();
    s.source = source;
  },
  releaseSound(id) {
    const s = sounds.get(id);
    if (s && s.source)
      stopSource(s.source);
    sounds.delete(id);
  },

  openTune(path) {
    audioHost.closeTune();
    let exists = arriving.has(path);
    try {
      exists = exists || game.Module.FS.isFile(game.Module.FS.stat(path).mode);
    } catch (_) {
      // Neither there nor coming: the tune stays silent.
    }
    const name = path.slice(path.lastIndexOf('/') + 1);
    tune = { path, name, opus: renderedPath(path), exists, playing: false, source: null, clock: null };
    testRecord('tunes', { what: 'open', name });
    if (exists)
      decodeTune(tune.opus, true);
  },
  playTune() {
    if (!tune)
      return;
    silenceTune();
    testRecord('tunes', { what: 'play', name: tune.name });
    if (!tune.exists)
      return;
    tune.playing = true;
    const token = tuneToken;
    decodeTune(tune.opus, true).then((buffer) => startTune(buffer, token));
  },
  tuneStopped() {
    return !tune || !tune.playing;
  },
  stopTune() {
    if (!tune)
      return;
    testRecord('tunes', { what: 'stop', name: tune.name });
    silenceTune();
    hushRinging();
  },
  closeTune() {
    if (!tune)
      return;
    silenceTune();
    hushRinging();
    testRecord('tunes', { what: 'close', name: tune.name });
    tune = null;
  },
};
