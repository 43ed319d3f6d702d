// Input: the keyboard and the on-screen buttons, turned into the game's five
// keys as the program polls them (plat_key_down), and Esc into a request to
// close.

import { EVENT_CLOSE, game } from './common.js';
import { unlockAudio } from './audio.js';

// The order of the game's keys in the program (plat_key).
export const KEY_NAMES = ['enter', 'shift', 'space', 'up', 'down'];
// A tap shorter than this is stretched: the game reads keys once a frame,
// and a press it never sees would be lost.
const MIN_HOLD_FRAMES = 2;
// A key let go of must stay up this long before the next press of it.
const MIN_UP_FRAMES = 2;

const keys = KEY_NAMES.map(() => ({
  keyboard: false,
  pointers: new Set(),
  down: false,      // what the game sees
  since: 0,         // frames run when it went down
  releasing: false, // up, but held on until the game has seen it
  upAt: 0,          // frames run when it went up
}));

function press(index) {
  const k = keys[index];
  k.releasing = false;
  if (!k.down) {
    k.down = true;
    k.since = game.frames;
  }
}

function letGo(index) {
  const k = keys[index];
  if (k.keyboard || k.pointers.size > 0 || !k.down)
    return;
  if (game.frames - k.since >= MIN_HOLD_FRAMES) {
    k.down = false;
    k.upAt = game.frames;
  } else
    k.releasing = true;
}

export function releaseAll() {
  for (let i = 0; i < keys.length; ++i) {
    keys[i].keyboard = false;
    keys[i].pointers.clear();
    letGo(i);
  }
  for (const b of document.querySelectorAll('button[data-key].down'))
    b.classList.remove('down');
}

const KEY_BY_CODE = {
  Space: 'space', ShiftLeft: 'shift', ShiftRight: 'shift', Enter: 'enter', NumpadEnter: 'enter',
  ArrowUp: 'up', ArrowDown: 'down',
};
const KEY_BY_KEY = { ' ': 'space', Shift: 'shift', Enter: 'enter', ArrowUp: 'up', ArrowDown: 'down' };

function gameKey(e) {
  const name = KEY_BY_CODE[e.code] || KEY_BY_KEY[e.key];
  return name ? KEY_NAMES.indexOf(name) : -1;
}

function isEscape(e) {
  return e.code === 'Escape' || e.key === 'Escape' || e.key === 'Esc';
}

window.addEventListener('keydown', (e) => {
  if (e.ctrlKey || e.altKey || e.metaKey)
    return;
  unlockAudio();
  if (isEscape(e)) {
    e.preventDefault();
    // Every repeat asks again, as a held Esc does on the desktop.
    if (game.running)
      game.events.push(EVENT_CLOSE);
    return;
  }
  const index = gameKey(e);
  if (index < 0)
    return;
  // No scrolling, and no button pressed by Space or Enter.
  e.preventDefault();
  keys[index].keyboard = true;
  press(index);
});
window.addEventListener('keyup', (e) => {
  const index = gameKey(e);
  if (index < 0)
    return;
  e.preventDefault();
  keys[index].keyboard = false;
  letGo(index);
});
window.addEventListener('blur', releaseAll);
document.addEventListener('visibilitychange', () => {
  if (document.hidden)
    releaseAll();
});

for (const button of document.querySelectorAll('button[data-key]')) {
  const index = KEY_NAMES.indexOf(button.dataset.key);
  button.addEventListener('pointerdown', (e) => {
    e.preventDefault();
    unlockAudio();
    try {
      button.setPointerCapture(e.pointerId);
    } catch (_) {
      // Synthetic pointers cannot be captured; the release still comes.
    }
    keys[index].pointers.add(e.pointerId);
    button.classList.add('down');
    press(index);
  });
  const up = (e) => {
    if (!keys[index].pointers.delete(e.pointerId))
      return;
    if (keys[index].pointers.size === 0)
      button.classList.remove('down');
    letGo(index);
  };
  button.addEventListener('pointerup', up);
  button.addEventListener('pointercancel', up);
  button.addEventListener('lostpointercapture', up);
  button.addEventListener('contextmenu', (e) => e.preventDefault());
}

// Whether the game's key `index` is down in this frame.
export function keyDown(index) {
  return index >= 0 && index < keys.length && keys[index].down;
}

// The keys down in this frame, one bit each in the order of KEY_NAMES.
export function keyBits() {
  let bits = 0;
  keys.forEach((k, i) => {
    if (k.down)
      bits |= 1 << i;
  });
  return bits;
}

// After each frame: a press let go of early is up once the game has seen it.
export function frameSeen() {
  keys.forEach((k) => {
    if (k.releasing && game.frames - k.since >= MIN_HOLD_FRAMES) {
      k.releasing = false;
      k.down = false;
      k.upAt = game.frames;
    }
  });
}

// One quick press, as a tap on the picture gives: down at once, and up again
// as soon as the game has seen it.
export function tapKey(index) {
  press(index);
  letGo(index);
}

// Whether the key is up and the game has seen it up long enough that a press
// now is a new one: the game counts a press only after two polls in a row
// found the key up.
export function keySeenUp(index) {
  const k = keys[index];
  return !k.down && game.frames - k.upAt >= MIN_UP_FRAMES;
}
