// Sound: the effects the program loads as PCM, played through Web Audio, and
// the tunes, rendered beforehand (NAME.opus beside NAME.mid) and decoded once.

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
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  for (let c = 0; c < channels; ++c) {
    const out = buffer.getChannelData(c);
    for (let i = 0, at = c * size; i < frames; ++i, at += size * channels) {
      let v;
      if (bits === 8)
        v = (view.getUint8(at) - 128) / 128;
      else if (bits === 16)
        v = view.getInt16(at, true) / 32768;
      else if (bits === 24)
        v = (((view.getUint8(at + 2) << 24) | (view.getUint8(at + 1) << 16) | (view.getUint8(at) << 8)) >> 8) / 8388608;
      else
        v = view.getInt32(at, true) / 2147483648;
      out[i] = v;
    }
  }
  return buffer;
}

// Tunes.
//
// The tunes may come in a pack that arrives after the program has started:
// a tune of that pack counts as there from the start, and it sounds once
// its pack is in. Until then the game sees it playing, as it would while
// any tune decodes; it never sees an end it did not hear.

const tuneBuffers = new Map();  // opus path -> Promise<AudioBuffer|null>
let tune = null;                // { path, opus, exists, playing, source }
let decodeAhead = [];           // rendered tunes not asked for yet
let tuneToken = 0;

function renderedPath(path) {
  return path.replace(/\.[^./]*$/, '') + '.opus';
}

function decodeTune(opus) {
  if (!tuneBuffers.has(opus)) {
    const a = audioContext();
    const promise = (arriving.get(opus) || Promise.resolve()).then(() => {
      if (!a)
        return null;
      let bytes;
      try {
        bytes = game.Module.FS.readFile(opus);
      } catch (_) {
        // No rendering of this tune: it stays silent.
        return null;
      }
      return a.decodeAudioData(bytes.slice().buffer).catch(() => null);
    });
    tuneBuffers.set(opus, promise);
  }
  return tuneBuffers.get(opus);
}

function silenceTune() {
  ++tuneToken;
  if (tune && tune.source) {
    tune.source.onended = null;
    try {
      tune.source.stop();
    } catch (_) {
      // Never started.
    }
    tune.source = null;
  }
  if (tune)
    tune.playing = false;
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
  source.onended = () => {
    if (token !== tuneToken)
      return;
    tune.source = null;
    tune.playing = false;
    testRecord('tunes', { what: 'ended', name: tune.name });
    game.events.push(EVENT_TUNE_ENDED);
  };
  tune.source = source;
  source.start();
  testRecord('tunes', { what: 'start', name: tune.name });
}

// Tunes are decoded ahead, so that the first one starts at once, but only
// once the title shows.
export function decodeLater(paths) {
  decodeAhead = paths;
}

export function decodeAheadNow() {
  decodeAhead.forEach(decodeTune);
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
  makeSound(name, bytes, channels, rate, bits) {
    const buffer = pcmToBuffer(bytes, channels, rate, bits);
    if (!buffer)
      return 0;
    const id = nextSound++;
    sounds.set(id, { name, buffer, source: null });
    return id;
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
    if (!audioRunning())
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
    tune = { path, name, opus: renderedPath(path), exists, playing: false, source: null };
    testRecord('tunes', { what: 'open', name });
    if (exists)
      decodeTune(tune.opus);
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
    decodeTune(tune.opus).then((buffer) => startTune(buffer, token));
  },
  tuneStopped() {
    return !tune || !tune.playing;
  },
  stopTune() {
    if (!tune)
      return;
    testRecord('tunes', { what: 'stop', name: tune.name });
    silenceTune();
  },
  closeTune() {
    if (!tune)
      return;
    silenceTune();
    testRecord('tunes', { what: 'close', name: tune.name });
    tune = null;
  },
};
