// The page around the game: loading, the canvas, keys and on-screen buttons,
// Web Audio, message boxes, the end notice and the written files. The
// program (shindan.js with its WebAssembly) reaches this page only through
// the `host` object below; its platform/web backend calls these functions.
'use strict';

(() => {
  const SCREEN_W = 640;
  const SCREEN_H = 480;
  // The order of the game's keys in the program (plat_key).
  const KEY_NAMES = ['enter', 'shift', 'space', 'up', 'down'];
  const EVENT_CLOSE = 1;
  const EVENT_TUNE_ENDED = 2;
  // A tap shorter than this is stretched: the game reads keys once a frame,
  // and a press it never sees would be lost.
  const MIN_HOLD_FRAMES = 2;
  // Written files are looked for this often, in frames (a quarter second).
  const SYNC_EVERY_FRAMES = 15;
  const GAME_DIR = '/game';

  const params = new URLSearchParams(location.search);
  const testMode = params.has('test');

  const UI_TEXT = {
    ja: {
      keys: 'スペース：開始・決定　シフト：裏診断　上下：答えを選ぶ　エンター：結果を消去　Esc：終了',
      loading: '読み込み中…',
      failed: '読み込みに失敗しました：',
      ended: 'ゲームは終了しました。',
      again: 'もう一度遊ぶ',
      fullscreen: '全画面',
      results: '診断結果のファイル（クリックで保存）',
      buttons: { up: '↑ 上', down: '↓ 下', space: 'スペース', shift: 'シフト', enter: 'エンター' },
      language: '日本語',
    },
    en: {
      keys: 'Space: start, choose · Shift: special test · Up/Down: pick an answer · Enter: clear results · Esc: quit',
      loading: 'Loading…',
      failed: 'Loading failed: ',
      ended: 'The game has ended.',
      again: 'Play again',
      fullscreen: 'Full screen',
      results: 'The analysis file (click to save)',
      buttons: { up: '↑ Up', down: '↓ Down', space: 'Space', shift: 'Shift', enter: 'Enter' },
      language: 'English',
    },
  };

  const $ = (id) => document.getElementById(id);
  const canvas = $('screen');

  // ---- The screen
  //
  // With WebGL 2 the program's 16-bit pixels go to the graphics processor as
  // they are, one texture upload a frame, and a shader widens each channel
  // there (repeating its top bits, as the desktop builds show them). Without
  // it a 2D canvas takes the pixels already widened to red, green, blue and
  // alpha bytes. ?screen=2d chooses the 2D canvas.

  const VERTEX_SHADER = `#version 300 es
    void main() {
      // One triangle that covers the whole canvas.
      gl_Position = vec4(float((gl_VertexID & 1) << 2) - 1.0, float((gl_VertexID & 2) << 1) - 1.0, 0.0, 1.0);
    }`;
  const FRAGMENT_SHADER = `#version 300 es
    precision highp float;
    precision highp int;
    precision highp usampler2D;
    uniform usampler2D screen;
    uniform bool fiveFiveFive;
    out vec4 colour;
    void main() {
      ivec2 at = ivec2(gl_FragCoord.xy);
      uint p = texelFetch(screen, ivec2(at.x, ${SCREEN_H - 1} - at.y), 0).r;
      uvec3 c;
      if (fiveFiveFive) {
        c = uvec3((p >> 10u) & 31u, (p >> 5u) & 31u, p & 31u);
        c = (c << 3u) | (c >> 2u);
      } else {
        c = uvec3(p >> 11u, (p >> 5u) & 63u, p & 31u);
        c = uvec3((c.r << 3u) | (c.r >> 2u), (c.g << 2u) | (c.g >> 4u), (c.b << 3u) | (c.b >> 2u));
      }
      colour = vec4(vec3(c) / 255.0, 1.0);
    }`;

  function glScreen() {
    const gl = canvas.getContext('webgl2', {
      alpha: false, antialias: false, depth: false, stencil: false,
      // The tests read the picture back after the frame.
      preserveDrawingBuffer: testMode,
    });
    if (!gl)
      return null;
    let texture = null;
    let fiveFiveFive = null;
    let flag = null;
    let pixels = null;  // the program's memory as 16-bit words

    function build() {
      const shader = (type, source) => {
        const s = gl.createShader(type);
        gl.shaderSource(s, source);
        gl.compileShader(s);
        return s;
      };
      const program = gl.createProgram();
      gl.attachShader(program, shader(gl.VERTEX_SHADER, VERTEX_SHADER));
      gl.attachShader(program, shader(gl.FRAGMENT_SHADER, FRAGMENT_SHADER));
      gl.linkProgram(program);
      if (!gl.getProgramParameter(program, gl.LINK_STATUS))
        return false;
      gl.useProgram(program);
      flag = gl.getUniformLocation(program, 'fiveFiveFive');
      fiveFiveFive = null;
      texture = gl.createTexture();
      gl.bindTexture(gl.TEXTURE_2D, texture);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.NEAREST);
      gl.texStorage2D(gl.TEXTURE_2D, 1, gl.R16UI, SCREEN_W, SCREEN_H);
      gl.viewport(0, 0, SCREEN_W, SCREEN_H);
      return gl.getError() === gl.NO_ERROR;
    }
    if (!build())
      return null;
    // A lost context shows nothing until it is back; the next frame then
    // draws the whole screen again.
    let lost = false;
    canvas.addEventListener('webglcontextlost', (e) => {
      e.preventDefault();
      lost = true;
    });
    canvas.addEventListener('webglcontextrestored', () => {
      lost = !build();
    });

    return {
      packed: true,
      present(memory, offset, pitch, five) {
        if (lost)
          return;
        if (!pixels || pixels.buffer !== memory)
          pixels = new Uint16Array(memory);
        if (five !== fiveFiveFive) {
          gl.uniform1i(flag, five ? 1 : 0);
          fiveFiveFive = five;
        }
        gl.pixelStorei(gl.UNPACK_ROW_LENGTH, pitch / 2);
        gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, SCREEN_W, SCREEN_H, gl.RED_INTEGER, gl.UNSIGNED_SHORT, pixels,
          offset / 2);
        gl.drawArrays(gl.TRIANGLES, 0, 3);
      },
      rgb() {
        const data = new Uint8Array(SCREEN_W * SCREEN_H * 4);
        gl.readPixels(0, 0, SCREEN_W, SCREEN_H, gl.RGBA, gl.UNSIGNED_BYTE, data);
        // The rows come bottom up.
        const rgb = new Uint8Array(SCREEN_W * SCREEN_H * 3);
        for (let y = 0, j = 0; y < SCREEN_H; ++y) {
          for (let i = (SCREEN_H - 1 - y) * SCREEN_W * 4, end = i + SCREEN_W * 4; i < end; i += 4, j += 3) {
            rgb[j] = data[i];
            rgb[j + 1] = data[i + 1];
            rgb[j + 2] = data[i + 2];
          }
        }
        return rgb;
      },
    };
  }

  function canvasScreen() {
    const context = canvas.getContext('2d', { willReadFrequently: testMode });
    let image = null;  // over the program's memory, made again when it grows
    let imageOffset = 0;
    return {
      packed: false,
      present(memory, offset) {
        if (!image || image.data.buffer !== memory || imageOffset !== offset) {
          image = new ImageData(new Uint8ClampedArray(memory, offset, SCREEN_W * SCREEN_H * 4), SCREEN_W, SCREEN_H);
          imageOffset = offset;
        }
        context.putImageData(image, 0, 0);
      },
      rgb() {
        const data = context.getImageData(0, 0, SCREEN_W, SCREEN_H).data;
        const rgb = new Uint8Array(SCREEN_W * SCREEN_H * 3);
        for (let i = 0, j = 0; i < data.length; i += 4, j += 3) {
          rgb[j] = data[i];
          rgb[j + 1] = data[i + 1];
          rgb[j + 2] = data[i + 2];
        }
        return rgb;
      },
    };
  }

  // Made once the packs are on their way: a WebGL context takes a while to
  // set up, and the downloads need not wait for it.
  let screenMade = null;
  function screen() {
    if (!screenMade)
      screenMade = (params.get('screen') !== '2d' && glScreen()) || canvasScreen();
    return screenMade;
  }

  // ---- Language and packs

  let packs = [];
  let pack = null;  // the edition: { lang, title, first, later } as packs.json has it

  function chooseLanguage() {
    const wanted = params.get('lang') || localStorage.getItem('shindan.lang');
    if (wanted && packs.some((p) => p.lang === wanted))
      return wanted;
    for (const l of navigator.languages || [navigator.language || '']) {
      const base = String(l).toLowerCase().split('-')[0];
      if (packs.some((p) => p.lang === base))
        return base;
    }
    // Languages that name no edition get the English one: such a player is
    // unlikely to read Japanese.
    return packs.some((p) => p.lang === 'en') ? 'en' : packs[0].lang;
  }

  function applyTexts() {
    const t = UI_TEXT[pack.lang] || UI_TEXT.ja;
    document.documentElement.lang = pack.lang;
    document.title = pack.title;
    $('page-title').textContent = pack.title;
    $('keys-line').textContent = t.keys;
    $('loading-text').textContent = t.loading;
    $('ended-text').textContent = t.ended;
    $('play-again').textContent = t.again;
    $('fullscreen').textContent = t.fullscreen;
    $('results-intro').textContent = t.results;
    for (const b of document.querySelectorAll('button[data-key]'))
      b.textContent = t.buttons[b.dataset.key];
    const switcher = $('language');
    switcher.replaceChildren();
    for (const other of packs) {
      if (other.lang === pack.lang)
        continue;
      const b = document.createElement('button');
      b.type = 'button';
      b.className = 'language';
      b.dataset.lang = other.lang;
      b.textContent = (UI_TEXT[other.lang] || {}).language || other.lang;
      // The other pack is another program: start over in it.
      b.addEventListener('click', () => {
        localStorage.setItem('shindan.lang', other.lang);
        const url = new URL(location.href);
        url.searchParams.set('lang', other.lang);
        location.href = url.toString();
      });
      switcher.append(b);
    }
  }

  // ---- Screen size: the whole picture, whole-number scaling when it fits

  function layout() {
    const main = document.querySelector('main');
    const full = document.fullscreenElement === main;
    const controls = $('controls');
    const header = document.querySelector('header');
    const width = full ? window.innerWidth : document.documentElement.clientWidth;
    let height = window.innerHeight - controls.offsetHeight;
    if (!full)
      height -= header.offsetHeight;
    let scale = Math.min(width / SCREEN_W, Math.max(height, 120) / SCREEN_H);
    if (scale >= 1)
      scale = Math.floor(scale);
    // Sharp pixels when enlarging; shrinking pixel by pixel would drop whole
    // rows of the text in the pictures, so a small screen gets smoothing.
    canvas.classList.toggle('smooth', scale < 1);
    const stage = $('stage');
    stage.style.width = `${Math.floor(SCREEN_W * scale)}px`;
    stage.style.height = `${Math.floor(SCREEN_H * scale)}px`;
  }
  window.addEventListener('resize', layout);
  document.addEventListener('fullscreenchange', layout);

  $('fullscreen').addEventListener('click', () => {
    const main = document.querySelector('main');
    if (document.fullscreenElement)
      document.exitFullscreen().catch(() => {});
    else if (main.requestFullscreen)
      main.requestFullscreen().catch(() => {});
    else if (main.webkitRequestFullscreen)
      main.webkitRequestFullscreen();
  });

  // ---- Keys

  const keys = KEY_NAMES.map(() => ({
    keyboard: false,
    pointers: new Set(),
    down: false,      // what the game sees
    since: 0,         // frames run when it went down
    releasing: false, // up, but held on until the game has seen it
  }));
  let framesRun = 0;
  const events = [];

  function press(index) {
    const k = keys[index];
    k.releasing = false;
    if (!k.down) {
      k.down = true;
      k.since = framesRun;
    }
  }

  function letGo(index) {
    const k = keys[index];
    if (k.keyboard || k.pointers.size > 0 || !k.down)
      return;
    if (framesRun - k.since >= MIN_HOLD_FRAMES)
      k.down = false;
    else
      k.releasing = true;
  }

  function releaseAll() {
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
      if (running)
        events.push(EVENT_CLOSE);
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

  // ---- Audio

  let audio = null;
  function audioContext() {
    if (!audio) {
      const Context = window.AudioContext || window.webkitAudioContext;
      if (Context)
        audio = new Context();
    }
    return audio;
  }
  // Browsers start sound only after the player has touched the page.
  function unlockAudio() {
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

  // ---- Tunes: rendered beforehand (NAME.opus beside NAME.mid), decoded once
  //
  // The tunes may come in a pack that arrives after the program has started:
  // a tune of that pack counts as there from the start, and it sounds once
  // its pack is in. Until then the game sees it playing, as it would while
  // any tune decodes; it never sees an end it did not hear.

  // Path -> Promise that settles once the pack bringing that file is in (or
  // has failed); only for files that were not there when the program started.
  const arriving = new Map();
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
          bytes = Module.FS.readFile(opus);
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
    source.connect(audio.destination);
    source.onended = () => {
      if (token !== tuneToken)
        return;
      tune.source = null;
      tune.playing = false;
      testRecord('tunes', { what: 'ended', name: tune.name });
      events.push(EVENT_TUNE_ENDED);
    };
    tune.source = source;
    source.start();
    testRecord('tunes', { what: 'start', name: tune.name });
  }

  // ---- Written files: kept in the browser's storage and offered for download

  let packNames = new Set();
  const seenFiles = new Map();  // name -> mtime

  function storageKey(name) {
    return `shindan.file.${pack.lang}.${name}`;
  }

  function toBase64(bytes) {
    let s = '';
    for (let i = 0; i < bytes.length; i += 0x8000)
      s += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(s);
  }

  function fromBase64(text) {
    const s = atob(text);
    const bytes = new Uint8Array(s.length);
    for (let i = 0; i < s.length; ++i)
      bytes[i] = s.charCodeAt(i);
    return bytes;
  }

  let resultUrl = null;
  function offerFile(name, bytes) {
    const link = $('result-file');
    if (resultUrl)
      URL.revokeObjectURL(resultUrl);
    resultUrl = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    link.href = resultUrl;
    link.download = name;
    link.textContent = name;
    let text;
    try {
      text = new TextDecoder('shift_jis').decode(bytes);
    } catch (_) {
      text = new TextDecoder().decode(bytes);
    }
    $('result-text').textContent = text.replace(/\r\n?/g, '\n');
    $('results').hidden = false;
  }

  function syncFiles() {
    const FS = Module.FS;
    let names;
    try {
      names = FS.readdir(GAME_DIR);
    } catch (_) {
      return;
    }
    for (const name of names) {
      if (name === '.' || name === '..' || packNames.has(name))
        continue;
      const path = `${GAME_DIR}/${name}`;
      let stat;
      try {
        stat = FS.stat(path);
      } catch (_) {
        continue;
      }
      if (!FS.isFile(stat.mode))
        continue;
      const mtime = stat.mtime.getTime();
      if (seenFiles.get(name) === mtime)
        continue;
      seenFiles.set(name, mtime);
      const bytes = FS.readFile(path);
      try {
        localStorage.setItem(storageKey(name), toBase64(bytes));
      } catch (_) {
        // Storage full or refused: the download link still works.
      }
      offerFile(name, bytes);
      testRecord('files', { name, size: bytes.length });
    }
  }

  function restoreFiles() {
    const prefix = storageKey('');
    for (let i = 0; i < localStorage.length; ++i) {
      const key = localStorage.key(i);
      if (!key.startsWith(prefix))
        continue;
      const name = key.slice(prefix.length);
      if (!name || name.includes('/') || packNames.has(name))
        continue;
      const bytes = fromBase64(localStorage.getItem(key));
      const path = `${GAME_DIR}/${name}`;
      Module.FS.writeFile(path, bytes);
      seenFiles.set(name, Module.FS.stat(path).mtime.getTime());
      offerFile(name, bytes);
    }
  }

  // ---- Test hooks (only with ?test): what the program did, frame by frame

  const test = testMode ? {
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
  } : null;
  if (test)
    window.shindanTest = test;

  function testRecord(list, entry) {
    if (test)
      test[list].push(Object.assign({ frame: framesRun + 1 }, entry));
  }

  function screenRgb() {
    return screen().rgb();
  }

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
        hit = framesRun === arm.frame;
      else
        hit = sameBytes(rgb || (rgb = screenRgb()), arm.equals);
      if (!hit)
        return true;
      rgb = rgb || screenRgb();
      test.captures[arm.tag] = { frame: framesRun, rgb: toBase64(rgb) };
      return false;
    });
  }

  // ---- The host: what the program's web backend calls

  let running = false;
  let frameSounds = [];

  const host = {
    keyDown(index) {
      return index >= 0 && index < keys.length && keys[index].down;
    },
    pollEvent() {
      return events.length ? events.shift() : 0;
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
      screen().present(memory, offset, pitch, fiveFiveFive);
    },
    // The screen as red, green, blue and alpha bytes, row by row, at offset
    // in the program's memory; shown without copying them first.
    present(memory, offset) {
      screen().present(memory, offset);
    },
    started(tick) {
      running = true;
      if (test)
        test.startTick = tick;
    },
    frameDone(tick) {
      ++framesRun;
      if (test) {
        if (framesRun === 1)
          test.firstFrameAt = performance.now();
        let bits = 0;
        keys.forEach((k, i) => {
          if (k.down)
            bits |= 1 << i;
        });
        test.log.push([tick, bits]);
        test.frames = framesRun;
        testCaptures(frameSounds);
      }
      frameSounds = [];
      keys.forEach((k) => {
        if (k.releasing && framesRun - k.since >= MIN_HOLD_FRAMES) {
          k.releasing = false;
          k.down = false;
        }
      });
      if (framesRun % SYNC_EVERY_FRAMES === 0)
        syncFiles();
      if (framesRun === 1)
        firstFrameRun();
      if (framesRun === 2) {
        decodeAhead.forEach(decodeTune);
        decodeAhead = [];
      }
    },
    ended() {
      running = false;
      syncFiles();
      releaseAll();
      $('ended').hidden = false;
      $('play-again').focus();
      if (test)
        test.ended = true;
    },
    cursor(show) {
      canvas.style.cursor = show ? '' : 'none';
    },

    openSound() {
      return audioContext() !== null;
    },
    closeSound() {
      for (const s of sounds.values()) {
        if (s.source) {
          try {
            s.source.stop();
          } catch (_) {
            // Already over.
          }
        }
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
      frameSounds.push(s.name);
      if (s.source) {
        try {
          s.source.stop();
        } catch (_) {
          // Already over.
        }
        s.source = null;
      }
      if (!audioRunning())
        return;
      const source = audio.createBufferSource();
      source.buffer = s.buffer;
      source.connect(audio.destination);
      source.start();
      s.source = source;
    },
    releaseSound(id) {
      const s = sounds.get(id);
      if (s && s.source) {
        try {
          s.source.stop();
        } catch (_) {
          // Already over.
        }
      }
      sounds.delete(id);
    },

    openTune(path) {
      host.closeTune();
      let exists = arriving.has(path);
      try {
        exists = exists || Module.FS.isFile(Module.FS.stat(path).mode);
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

  // ---- Loading

  let Module = null;
  let firstFrameRun = null;
  const afterFirstFrame = new Promise((resolve) => {
    firstFrameRun = resolve;
  });

  function setProgress(fraction) {
    $('progress').value = Math.max(0, Math.min(1, fraction));
  }

  function unpack(raw) {
    const bytes = new Uint8Array(raw);
    const headerLength = new DataView(raw).getUint32(0, true);
    const header = JSON.parse(new TextDecoder().decode(bytes.subarray(4, 4 + headerLength)));
    const files = [];
    let at = 4 + headerLength;
    for (const [name, size] of header.files) {
      files.push([name, bytes.subarray(at, at + size)]);
      at += size;
    }
    return files;
  }

  // Answers the pack's files as [name, bytes]; onBytes(got, total) follows
  // the download (total 0 while unknown). The pack is unpacked as it comes
  // in, by the browser's own gzip, on this thread: a worker would first take
  // longer to start than the whole pack takes to unpack.
  async function fetchPack(url, onBytes = () => {}) {
    const response = await fetch(url);
    if (!response.ok)
      throw new Error(url + ': ' + response.status);
    const total = Number(response.headers.get('Content-Length')) || 0;
    let got = 0;
    const counted = response.body.pipeThrough(new TransformStream({
      transform(chunk, controller) {
        got += chunk.byteLength;
        onBytes(got, total);
        controller.enqueue(chunk);
      },
    }));
    return unpack(await new Response(counted.pipeThrough(new DecompressionStream('gzip'))).arrayBuffer());
  }

  // The progress bar follows the packs the program needs before it starts,
  // by their bytes downloaded (and unpacked as they come); 1 once it starts.
  function progressOf(first) {
    const got = first.map(() => 0);
    const totals = first.map((p) => p.size || 0);
    return (i) => (bytes, total) => {
      got[i] = bytes;
      if (!totals[i])
        totals[i] = total;
      const all = totals.reduce((a, b) => a + b, 0);
      // Until every size is known the bar cannot say how far it is.
      if (all > 0 && totals.every((t) => t > 0))
        setProgress(0.95 * got.reduce((a, b) => a + b, 0) / all);
    };
  }

  // The files of a pack into the program's folder; they keep their bytes
  // where the pack was unpacked, no copies.
  function placeFiles(files) {
    for (const [name, data] of files)
      Module.FS.writeFile(`${GAME_DIR}/${name}`, data, { canOwn: true });
  }

  function loadScript(src) {
    return new Promise((resolve, reject) => {
      const s = document.createElement('script');
      s.src = src;
      s.onload = resolve;
      s.onerror = () => reject(new Error(src));
      document.head.append(s);
    });
  }

  async function start() {
    layout();
    const stage = (name) => {
      if (test)
        test.loadTimes[name] = performance.now();
    };
    // The program compiles while the list of packs and the pack come in.
    const program = loadScript('shindan.js').then(() => {
      stage('script');
      return window.createShindan({
        host,
        noInitialRun: true,
        print: (s) => console.log(s),
        printErr: (s) => console.warn(s),
      });
    }).then((m) => (stage('program'), m));
    // (Its failure is reported below, once the packs are known.)
    program.catch(() => {});

    packs = await (await fetch('packs.json')).json();
    const lang = chooseLanguage();
    pack = packs.find((p) => p.lang === lang);
    applyTexts();
    layout();
    // ?pack=URL: one pack with every file, in place of the edition's.
    const custom = params.get('pack');
    const first = custom ? [{ file: custom, size: 0 }] : pack.first;
    const later = custom ? [] : pack.later || [];

    const progress = progressOf(first);
    const firstFiles = Promise.all(first.map((p, i) => fetchPack(p.file, progress(i))))
      .then((lists) => (stage('pack'), lists.flat()));
    // The packs the program can start without are fetched once the first
    // frame shows, so that they take nothing from the way there.
    const laterPacks = later.map((p) => afterFirstFrame.then(() => fetchPack(p.file)).catch(() => null));
    screen();
    if (test)
      test.screen = screen().packed ? 'webgl2' : '2d';
    const [files, ready] = await Promise.all([firstFiles, program]);
    Module = ready;
    const FS = Module.FS;
    FS.mkdir(GAME_DIR);
    packNames = new Set(files.map(([name]) => name));
    for (const p of later) {
      for (const name of p.names)
        packNames.add(name);
    }
    placeFiles(files);
    later.forEach((p, i) => {
      const done = laterPacks[i].then((got) => {
        if (got)
          placeFiles(got);
        // Whatever did not come stays missing from now on.
        for (const name of p.names)
          arriving.delete(`${GAME_DIR}/${name}`);
      });
      for (const name of p.names)
        arriving.set(`${GAME_DIR}/${name}`, done);
    });
    FS.chdir(GAME_DIR);
    restoreFiles();
    // Tunes are decoded ahead, so that the first one starts at once, but
    // only once the title shows.
    decodeAhead = [...packNames].filter((name) => name.endsWith('.opus')).map((name) => `${GAME_DIR}/${name}`);
    if (test)
      test.fs = Module.FS;
    setProgress(1);
    $('loading').hidden = true;
    stage('main');
    Module.callMain([]);
  }

  $('play-again').addEventListener('click', () => location.reload());

  start().catch((error) => {
    const t = UI_TEXT[pack ? pack.lang : 'ja'] || UI_TEXT.ja;
    $('loading-text').textContent = t.failed + (error && error.message ? error.message : error);
    console.error(error);
  });
})();
