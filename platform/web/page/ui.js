// The page's own texts and controls: its words in each edition's language,
// the language switch, the full-screen, sound and scaling settings, the
// score panel, and the end notice.

import { $, edition, params } from './common.js';
import { layout } from './screen.js';

export const UI_TEXT = {
  ja: {
    keys: 'スペース：開始・決定　シフト：裏診断　上下：答えを選ぶ　エンター：結果を消去　V：読み上げ　Esc：終了',
    loading: '読み込み中…',
    waiting: '診断の準備中…',
    update: '新しい版があります（読み込み直す）',
    failed: '読み込みに失敗しました：',
    ended: 'ゲームは終了しました。',
    again: 'もう一度遊ぶ',
    fullscreen: '全画面',
    leaveFullscreen: '全画面を終了',
    mute: '消音',
    speech: '読み上げ',
    screen: 'の画面',
    integerScale: '整数倍で表示',
    results: '診断結果のファイル（クリックで保存）',
    share: '結果を共有',
    save: '結果の画像を保存',
    scores: '診断結果',
    hiddenScores: '裏診断の結果',
    switchMidTest: '診断の途中です。言語を切り替えると最初からになります。切り替えますか？',
    buttons: { up: '↑', down: '↓', space: '決定', shift: '裏診断', enter: '結果を消去' },
    buttonNames: { up: '上の答えへ', down: '下の答えへ' },
    traits: ['精神的強さ', '優しさ', '欲望', '生への願望', '残虐性', '孤独を求める傾向', '自分を愛する心', '他人を愛する心'],
    language: '日本語',
  },
  en: {
    keys: 'Space: start, choose · Shift: the hidden test · Up/Down: pick an answer · Enter: clear the results · V: read aloud · Esc: quit',
    loading: 'Loading…',
    waiting: 'Getting the test ready…',
    update: 'A new version is ready (reload)',
    failed: 'Loading failed: ',
    ended: 'The game has ended.',
    again: 'Play again',
    fullscreen: 'Full screen',
    leaveFullscreen: 'Leave full screen',
    mute: 'Mute',
    speech: 'Read aloud',
    screen: ' game screen',
    integerScale: 'Whole-pixel scaling',
    results: 'The analysis file (click to save)',
    share: 'Share the result',
    save: 'Save the result picture',
    scores: 'Your analysis',
    hiddenScores: 'The hidden test',
    switchMidTest: 'A test is under way. Switching the language starts the game over. Switch?',
    buttons: { up: '↑', down: '↓', space: 'Choose', shift: 'The hidden test', enter: 'Clear the results' },
    buttonNames: { up: 'Mark the answer above', down: 'Mark the answer below' },
    traits: ['Mental strength', 'Kindness', 'Desire', 'Will to live', 'Cruelty', 'Need for solitude', 'Self-love',
      'Love for others'],
    language: 'English',
  },
};

// The page's words in the edition's language.
export function texts() {
  return UI_TEXT[edition.pack ? edition.pack.lang : 'ja'] || UI_TEXT.ja;
}

export function chooseLanguage() {
  const wanted = params.get('lang') || localStorage.getItem('shindan.lang');
  if (wanted && edition.packs.some((p) => p.lang === wanted))
    return wanted;
  for (const l of navigator.languages || [navigator.language || '']) {
    const base = String(l).toLowerCase().split('-')[0];
    if (edition.packs.some((p) => p.lang === base))
      return base;
  }
  // Languages that name no edition get the English one: such a player is
  // unlikely to read Japanese.
  return edition.packs.some((p) => p.lang === 'en') ? 'en' : edition.packs[0].lang;
}

// Asked before the language switch starts the game over; set by the page
// once the program runs.
export const switchGuard = { midTest: () => false };

export function applyTexts() {
  const pack = edition.pack;
  const t = texts();
  document.documentElement.lang = pack.lang;
  document.title = pack.title;
  $('page-title').textContent = pack.title;
  // Installed from this page, the game starts in this edition.
  $('manifest').href = `manifest-${pack.lang === 'en' ? 'en' : 'ja'}.webmanifest`;
  $('keys-line').textContent = t.keys;
  $('loading-text').textContent = t.loading;
  $('ended-text').textContent = t.ended;
  $('play-again').textContent = t.again;
  $('mute').textContent = t.mute;
  $('speech').textContent = t.speech;
  $('screen').setAttribute('aria-label', pack.title + t.screen);
  $('integer-scale').textContent = t.integerScale;
  $('results-intro').textContent = t.results;
  showFullscreenState();
  for (const b of document.querySelectorAll('button[data-key]')) {
    b.textContent = t.buttons[b.dataset.key];
    const name = t.buttonNames[b.dataset.key];
    if (name)
      b.setAttribute('aria-label', name);
  }
  const switcher = $('language');
  switcher.replaceChildren();
  for (const other of edition.packs) {
    if (other.lang === pack.lang)
      continue;
    const b = document.createElement('button');
    b.type = 'button';
    b.className = 'language';
    b.lang = other.lang;
    b.dataset.lang = other.lang;
    b.textContent = (UI_TEXT[other.lang] || {}).language || other.lang;
    // The other pack is another program: start over in it, once the
    // player agrees to lose a test under way.
    b.addEventListener('click', () => {
      if (switchGuard.midTest() && !window.confirm(t.switchMidTest))
        return;
      localStorage.setItem('shindan.lang', other.lang);
      const url = new URL(location.href);
      url.searchParams.set('lang', other.lang);
      location.href = url.toString();
    });
    switcher.append(b);
  }
}

// ---- Full screen

function showFullscreenState() {
  const t = texts();
  $('fullscreen').textContent = document.fullscreenElement ? t.leaveFullscreen : t.fullscreen;
}
document.addEventListener('fullscreenchange', showFullscreenState);

// Over the picture in full screen, the controls show while the pointer
// moves and for a while after.
let pointerRest = 0;
document.querySelector('main').addEventListener('pointermove', (e) => {
  if (e.pointerType !== 'mouse')
    return;
  const main = e.currentTarget;
  main.classList.add('pointer-active');
  clearTimeout(pointerRest);
  pointerRest = setTimeout(() => main.classList.remove('pointer-active'), 2500);
});

$('fullscreen').addEventListener('click', () => {
  const main = document.querySelector('main');
  if (document.fullscreenElement)
    document.exitFullscreen().catch(() => {});
  else if (main.requestFullscreen)
    main.requestFullscreen().catch(() => {});
  else if (main.webkitRequestFullscreen)
    main.webkitRequestFullscreen();
});

// ---- Settings kept across visits: a toggle button each

// Makes the button a switch kept in the browser's storage under key; calls
// apply with its state now and at every change.
export function settingButton(id, key, apply) {
  const button = $(id);
  const set = (on) => {
    button.setAttribute('aria-pressed', on ? 'true' : 'false');
    apply(on);
  };
  set(localStorage.getItem(key) === '1');
  button.addEventListener('click', () => {
    const on = button.getAttribute('aria-pressed') !== 'true';
    try {
      localStorage.setItem(key, on ? '1' : '0');
    } catch (_) {
      // Not kept; it still holds for this visit.
    }
    set(on);
  });
}

// ---- The score panel: the analysis in the edition's words

function signed(score) {
  return score > 0 ? `+${score}` : String(score);
}

// Fills the panel with the eight scores of an analysis, in trait order.
export function showScores(scores, hiddenTest) {
  const t = texts();
  $('scores-title').textContent = hiddenTest ? t.hiddenScores : t.scores;
  const rows = scores.map((score, i) => {
    const row = document.createElement('tr');
    const name = document.createElement('th');
    name.scope = 'row';
    name.textContent = t.traits[i];
    const value = document.createElement('td');
    value.textContent = signed(score);
    row.append(name, value);
    return row;
  });
  $('scores').replaceChildren(...rows);
  $('score-panel').hidden = false;
  $('results').hidden = false;
}

// A line of the eight scores, for sharing.
export function scoresLine(scores, hiddenTest) {
  const t = texts();
  const list = scores.map((score, i) => `${t.traits[i]} ${signed(score)}`).join(t === UI_TEXT.ja ? '、' : ', ');
  return `${edition.pack.title}${hiddenTest ? ` (${t.buttons.shift})` : ''}: ${list}`;
}

// ---- The end

$('play-again').addEventListener('click', () => location.reload());

// The program has ended: the notice offers to play again.
export function showEnded() {
  $('ended').hidden = false;
  $('play-again').focus();
}

export function showFailure(error) {
  $('loading-text').textContent = texts().failed + (error && error.message ? error.message : error);
}

// Shows the line of keys once a key is used, on devices whose pointer says
// nothing of a keyboard.
window.addEventListener('keydown', () => {
  document.body.classList.add('keyboard');
  layout();
}, { once: true });
