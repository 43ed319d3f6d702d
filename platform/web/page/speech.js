// Speech: the words of the screen for players who cannot see it. A live
// region (role="status") always holds what the game shows now, so a screen
// reader reads it with or without the page's own voice; with the #speech
// switch on, the browser's speechSynthesis says the same words in a voice of
// the edition's language. The program decides what is said and when (its
// narration); this module is the voice the web backend hands it to, as
// `host.speech` (bridge.js).

import { $, EVENT_SPEECH, game } from './common.js';
import { settingButton } from './ui.js';

const SETTING = 'shindan.speech';

const region = $('speech-text');
const state = {
  language: '',
  wanted: false,     // the switch as the player left it
  programOn: null,   // what the program last set; null before it opened
  voice: null,
};

function synthesis() {
  return typeof window.speechSynthesis === 'object' && window.speechSynthesis !== null &&
    typeof window.SpeechSynthesisUtterance === 'function' ? window.speechSynthesis : null;
}

// A voice of the edition's language, once the browser has listed its voices
// (some list them only after a while). None: the browser's default voice,
// told the language.
function pickVoice() {
  const s = synthesis();
  if (!s || !state.language)
    return;
  const voices = s.getVoices() || [];
  const own = voices.filter((v) => String(v.lang).toLowerCase().split(/[-_]/)[0] === state.language);
  state.voice = own.find((v) => v.localService) || own[0] || null;
}
if (synthesis() && typeof synthesis().addEventListener === 'function')
  synthesis().addEventListener('voiceschanged', pickVoice);

// The switch on the page, remembered across visits. Pressed while the
// program runs, it asks the program to switch, as V does, so that the game
// says "speech on" or "speech off" in its own words.
settingButton('speech', SETTING, (on) => {
  state.wanted = on;
  if (game.running && state.programOn !== null && state.programOn !== on)
    game.events.push(EVENT_SPEECH);
});

// V from the keyboard: the same switch.
window.addEventListener('keydown', (e) => {
  if (e.ctrlKey || e.altKey || e.metaKey || e.repeat)
    return;
  if (e.code === 'KeyV' || e.key === 'v' || e.key === 'V') {
    if (game.running)
      game.events.push(EVENT_SPEECH);
  }
});

function showSwitch(on) {
  $('speech').setAttribute('aria-pressed', on ? 'true' : 'false');
  try {
    localStorage.setItem(SETTING, on ? '1' : '0');
  } catch (_) {
    // Not kept; it still holds for this visit.
  }
}

export const speechHost = {
  // The pack's language; answers whether speech starts on.
  open(language) {
    state.language = String(language || '').toLowerCase();
    pickVoice();
    return state.wanted;
  },
  set(on) {
    state.programOn = on;
    state.wanted = on;
    showSwitch(on);
  },
  // New words for the screen: they replace the region's words when the old
  // ones are stale (cutOff) and follow them otherwise; an empty text with
  // cutOff only clears and silences.
  say(text, cutOff) {
    if (cutOff)
      region.textContent = '';
    if (text)
      region.textContent = region.textContent ? `${region.textContent} ${text}` : text;
    const s = synthesis();
    if (!s || !state.programOn)
      return;
    if (cutOff)
      s.cancel();
    if (!text)
      return;
    const utterance = new window.SpeechSynthesisUtterance(text);
    utterance.lang = state.language;
    if (state.voice)
      utterance.voice = state.voice;
    s.speak(utterance);
  },
  close() {
    state.programOn = null;
    const s = synthesis();
    if (s)
      s.cancel();
  },
};
