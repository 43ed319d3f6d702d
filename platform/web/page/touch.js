// Taps (and clicks) on the picture, turned into the game's own keys: on the
// question screen a tap on an answer moves the mark there with Up or Down, a
// press for each step, and a tap on the marked answer confirms it with
// Space; anywhere else there nothing happens. On every other screen a tap
// is Space. The game's rules decide what a key does, as for the keyboard.

import { $, SCREEN_H, SCREEN_W, game } from './common.js';
import { unlockAudio } from './audio.js';
import { VIEW_QUESTION, frameWatch, readView } from './bridge.js';
import { KEY_NAMES, keySeenUp, tapKey } from './input.js';

// The answers' bands on the question picture, in picture pixels (right and
// bottom exclusive).
const ANSWER_LEFT = 166;
const ANSWER_RIGHT = 474;
const ANSWER_TOPS = [330, 366, 402];
const ANSWER_HEIGHT = 28;

const UP = KEY_NAMES.indexOf('up');
const DOWN = KEY_NAMES.indexOf('down');
const SPACE = KEY_NAMES.indexOf('space');

const canvas = $('screen');
const stage = $('stage');

// The presses of the tap being played, one after the other; taps that came
// meanwhile wait, and are read against the screen once it is their turn.
let pressing = [];
let current = -1;  // the key of the press under way, or -1
const waiting = [];
const MAX_WAITING = 4;
let settleSince = -1;  // frames run when the first waiting tap began to wait, or -1

// The answer (0-2) at a picture point, or -1.
function answerAt(x, y) {
  if (x < ANSWER_LEFT || x >= ANSWER_RIGHT)
    return -1;
  return ANSWER_TOPS.findIndex((top) => y >= top && y < top + ANSWER_HEIGHT);
}

// How many frames a tap on the answers waits for the game to settle the
// keys of the answer just confirmed (two polls); a key held on the keyboard
// meanwhile would keep it waiting, so it gives up in time.
const MAX_SETTLE_FRAMES = 8;

// The keys a tap at the picture point presses on the screen shown now, or
// null if it is to be read again after the next frame.
function keysForTap(x, y) {
  const view = readView();
  if (!view)
    return [];
  if (view.kind !== VIEW_QUESTION)
    return [SPACE];
  const answer = answerAt(x, y);
  if (answer < 0 || !view.answersOpen)
    return [];
  // The answers have just opened and the game would not yet count a press:
  // a player who taps the moment they appear means it all the same.
  if (!view.answersSettled)
    return null;
  if (answer === view.marked)
    return [SPACE];
  const step = answer > view.marked ? DOWN : UP;
  return new Array(Math.abs(answer - view.marked)).fill(step);
}

function nextPress() {
  if (current >= 0 && !keySeenUp(current))
    return;
  current = -1;
  while (pressing.length === 0 && waiting.length > 0) {
    const [x, y] = waiting[0];
    const keys = keysForTap(x, y);
    if (keys === null) {
      if (settleSince < 0)
        settleSince = game.frames;
      if (game.frames - settleSince < MAX_SETTLE_FRAMES)
        return;
    }
    waiting.shift();
    settleSince = -1;
    pressing = keys || [];
  }
  if (pressing.length === 0)
    return;
  current = pressing.shift();
  tapKey(current);
}

// After each frame the game has run: the next press of a tap, once the game
// has seen the one before go up.
frameWatch.after.push(() => {
  if (current >= 0 || pressing.length > 0 || waiting.length > 0)
    nextPress();
});

// A ring where the finger came down, drawn at once, whatever the tap does.
function showTouch(e) {
  const box = stage.getBoundingClientRect();
  const ring = document.createElement('span');
  ring.className = 'touch';
  ring.style.left = `${e.clientX - box.left}px`;
  ring.style.top = `${e.clientY - box.top}px`;
  ring.addEventListener('animationend', () => ring.remove());
  stage.append(ring);
}

canvas.addEventListener('pointerdown', (e) => {
  if (e.button !== 0 || !e.isPrimary)
    return;
  // No text selection, no double-tap zoom.
  e.preventDefault();
  unlockAudio();
  showTouch(e);
  if (!game.running)
    return;
  const box = canvas.getBoundingClientRect();
  const x = (e.clientX - box.left) * SCREEN_W / box.width;
  const y = (e.clientY - box.top) * SCREEN_H / box.height;
  if (waiting.length < MAX_WAITING)
    waiting.push([x, y]);
  nextPress();
});
canvas.addEventListener('contextmenu', (e) => e.preventDefault());
