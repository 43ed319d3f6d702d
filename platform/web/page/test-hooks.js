// Test hooks, loaded only with ?test: what the program did, frame by frame,
// as window.shindanTest, for the browser tests and the benchmarks.

import { fromBase64, game, testing, toBase64 } from './common.js';
import { frameWatch, readView } from './bridge.js';
import { keyBits } from './input.js';
import { screen } from './screen.js';

const test = {
  frames: 0,
  startTick: 0,
  firstFrameAt: 0, // ms after the page started loading
  loadTimes: {},   // the same for each stage of loading
  log: [],        // per frame: [tick, key bits]
  sounds: [],     // { frame, name }
  tunes: [],      // { frame, what, name }
  files: [],
  boxes: [],
  captures: {},   // tag -> { frame, rgb (base64) }
  armed: [],      // { tag, sound }, { tag, frame } or { tag, equals: Uint8Array rgb }
  ended: false,
  armOnSound(tag, sound) {
    this.armed.push({ tag, sound });
  },
  armOnFrame(tag, frame) {
    this.armed.push({ tag, frame });
  },
  armOnEqual(tag, rgbBase64) {
    this.armed.push({ tag, equals: fromBase64(rgbBase64) });
  },
  // What the screen shows now, as the page reads it from the program.
  view: readView,
};
testing.record = test;
window.shindanTest = test;

function sameBytes(a, b) {
  if (a.length !== b.length)
    return false;
  for (let i = 0; i < a.length; ++i)
    if (a[i] !== b[i])
      return false;
  return true;
}

function testCaptures(frameSounds) {
  if (test.armed.length === 0)
    return;
  let rgb = null;
  test.armed = test.armed.filter((arm) => {
    let hit;
    if (arm.sound)
      hit = frameSounds.includes(arm.sound);
    else if (arm.frame)
      hit = game.frames === arm.frame;
    else
      hit = sameBytes(rgb || (rgb = screen().rgb()), arm.equals);
    if (!hit)
      return true;
    rgb = rgb || screen().rgb();
    test.captures[arm.tag] = { frame: game.frames, rgb: toBase64(rgb) };
    return false;
  });
}

frameWatch.started = (tick) => {
  test.startTick = tick;
};
frameWatch.each = (tick) => {
  if (game.frames === 1)
    test.firstFrameAt = performance.now();
  test.log.push([tick, keyBits()]);
  test.frames = game.frames;
  testCaptures(game.frameSounds);
};
frameWatch.ended = () => {
  test.ended = true;
};

