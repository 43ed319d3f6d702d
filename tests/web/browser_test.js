// The browser edition in a real headless Chromium: whole tests played with
// real key events and with the on-screen buttons, compared pixel for pixel
// and byte for byte with the headless replay of the same frames; a missing
// sound, Esc, and a looping tune.
//
//   node browser_test.js [SCENARIO...]
//
// Needs SHINDAN_WEB_SITE, SHINDAN_ASSET_DIR, SHINDAN_TOOL, SHINDAN_WEB_PACK and
// SHINDAN_TUNE_CACHE (set by CTest) and puppeteer-core on NODE_PATH.
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const h = require('./harness');

const { assert } = h;

const RESULT_FILE = '分析結果.txt';

// The waiting title of a first test, as the headless program draws it.
let titleReference = null;
function titleRgb() {
  if (!titleReference) {
    const dir = h.gameFolder('title');
    fs.writeFileSync(path.join(dir, 'title.txt'), 'frames 1\ntap space\nuntil title 7\nshot title.png\n');
    require('node:child_process').execFileSync(h.config.tool, ['replay', 'title.txt'], { cwd: dir, stdio: 'ignore' });
    titleReference = h.readPng(path.join(dir, 'title.png')).toString('base64');
  }
  return titleReference;
}

async function waitForTitle(page, tap) {
  await page.evaluate((ref) => shindanTest.armOnEqual('title', ref), titleRgb());
  // Space skips the fades to the waiting title.
  await tap(page, 'space');
  return h.capture(page, 'title');
}

async function resultLink(page) {
  return page.evaluate(async () => {
    const link = document.getElementById('result-file');
    const bytes = new Uint8Array(await (await fetch(link.href)).arrayBuffer());
    let s = '';
    for (const b of bytes)
      s += String.fromCharCode(b);
    return {
      download: link.getAttribute('download'),
      bytes: btoa(s),
      text: document.getElementById('result-text').textContent,
      shown: !document.getElementById('results').hidden,
    };
  });
}

// One whole test from the first title to the written result file. `extra`
// says how many more times Down is pressed for each answer, so the answers
// differ from question to question.
async function playWholeTest(page, tap, startKey, extra) {
  // The title fades in over its first three seconds.
  await page.evaluate(() => shindanTest.armOnFrame('fade', shindanTest.frames + 1));
  const title = await waitForTitle(page, tap);
  const fade = await h.capture(page, 'fade');
  await tap(page, startKey);
  // Space skips the introduction up to its noise screen, drawn from the
  // shared random generator.
  await page.evaluate(() => shindanTest.armOnSound('noise', 'noize01.wav'));
  await h.tapUntilSound(page, tap, 'space', 'noize01.wav', 0);
  const noise = await h.capture(page, 'noise');

  await page.evaluate(() => shindanTest.armOnSound('question', 'c_move.wav'));
  for (let q = 0; q < 12; ++q) {
    // Down moves the cursor only once the answers can be chosen.
    await h.tapUntilSound(page, tap, 'down', 'c_move.wav', await h.sounds(page, 'c_move.wav'));
    for (let i = 0; i < extra[q % extra.length]; ++i)
      await tap(page, 'down');
    await h.tapUntilSound(page, tap, 'space', 'push.wav', q);
  }
  const question = await h.capture(page, 'question');

  // Space skips the build-up of the analysis and, once it stands, starts the
  // closing wipe; the frame that plays the closing sound shows it whole.
  await page.evaluate(() => shindanTest.armOnSound('analysis', 'end.wav'));
  await h.tapUntilSound(page, tap, 'space', 'end.wav', 0);
  const analysis = await h.capture(page, 'analysis');

  await page.waitForFunction((name) => shindanTest.files.some((f) => f.name === name), { timeout: 60000 },
    RESULT_FILE);
  const run = await page.evaluate(() => ({ startTick: shindanTest.startTick, log: shindanTest.log }));
  return { fade, title, noise, question, analysis, run };
}

// Plays a whole test in the browser, replays its frames headless, and
// compares the screens and the result file; then reloads the page and finds
// the file again.
async function wholeTestMatchesReplay(t, tap, startKey, extra, screen) {
  // WebGL asked for by name: on a machine without a graphics processor the
  // page would choose the 2D canvas itself.
  const { page, seen } = await h.openGame(t, screen === '2d' ? '&lang=ja&screen=2d' : '&lang=ja&screen=webgl');
  // The screen the test compares is the one asked for.
  assert.equal(await page.evaluate(() => shindanTest.screen), screen);
  const played = await playWholeTest(page, tap, startKey, extra);
  const dir = h.replay(played.run, [
    ['fade.png', played.fade.frame],
    ['title.png', played.title.frame],
    ['noise.png', played.noise.frame],
    ['question.png', played.question.frame],
    ['analysis.png', played.analysis.frame],
  ]);
  h.assertSameScreen(played.fade, path.join(dir, 'fade.png'), 'title fading in');
  h.assertSameScreen(played.title, path.join(dir, 'title.png'), 'waiting title');
  h.assertSameScreen(played.noise, path.join(dir, 'noise.png'), 'noise');
  h.assertSameScreen(played.question, path.join(dir, 'question.png'), 'question');
  h.assertSameScreen(played.analysis, path.join(dir, 'analysis.png'), 'analysis');

  const expected = fs.readFileSync(path.join(dir, RESULT_FILE));
  const link = await resultLink(page);
  assert.ok(link.shown, 'the result file is offered');
  assert.equal(link.download, RESULT_FILE);
  assert.deepEqual(Buffer.from(link.bytes, 'base64'), expected, 'result file bytes');
  assert.ok(!expected.includes(0x0a), 'the file keeps carriage returns only');
  assert.equal(link.text, new TextDecoder('shift_jis').decode(expected).replace(/\r\n?/g, '\n'));

  // The file survives a reload of the page.
  await page.reload();
  await page.waitForFunction(() => window.shindanTest && shindanTest.frames >= 1, { timeout: 60000 });
  const kept = await resultLink(page);
  assert.ok(kept.shown, 'the result file is offered after a reload');
  assert.deepEqual(Buffer.from(kept.bytes, 'base64'), expected, 'result file bytes after a reload');
  assert.deepEqual(seen.dialogs, []);
  assert.deepEqual(seen.errors, []);
}

// A one-note General-MIDI file about a quarter of a second long.
// A quarter-second note and a rest to the end of track at 1.5 s (120 beats a
// minute), where the tune must loop: not when the note has died away, nor at
// the rendering's end a second later.
const SHORT_TUNE_END = 1.5;
function shortMidi() {
  const track = Buffer.from([
    0x00, 0xc0, 0x00,              // piano
    0x00, 0x90, 0x3c, 0x64,        // note on
    0x30, 0x80, 0x3c, 0x40,        // note off after 48 of 96 ticks a beat
    0x81, 0x70, 0xff, 0x2f, 0x00,  // end of track 240 ticks later
  ]);
  const head = Buffer.from([0x4d, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0, 96]);
  const length = Buffer.alloc(4);
  length.writeUInt32BE(track.length);
  return Buffer.concat([head, Buffer.from('MTrk', 'latin1'), length, track]);
}

// ---- The page on a phone

// The centres of the three answers on the question picture.
const ANSWER_Y = [343, 379, 415];

function view(page) {
  return page.evaluate(() => shindanTest.view());
}

function untilView(page, condition, ...args) {
  return page.waitForFunction(`(${condition})(shindanTest.view(), ...${JSON.stringify(args)})`,
    { polling: 'raf', timeout: 60000 });
}

// A tap in the middle of the picture, as the keys' `tap(page, key)`; there
// it is Space on every screen but the questions'.
const middleTap = (page) => h.pictureTap(page, 320, 240);

// The pack's words file as the game reads it: key -> its lines.
function packWords() {
  const words = {};
  for (const line of fs.readFileSync(path.join(h.config.assets, 'words.txt'), 'utf8').split('\n')) {
    const at = line.indexOf('=');
    if (line.startsWith('#') || at < 1)
      continue;
    (words[line.slice(0, at)] = words[line.slice(0, at)] || []).push(line.slice(at + 1));
  }
  return words;
}

// In place of the browser's voice (headless Chromium has none): a recorder
// of what the page asks it to say, with a voice of each edition's language.
async function recordSpeech(page) {
  await page.evaluateOnNewDocument(() => {
    window.spoken = [];
    const voices = [{ name: 'Test English', lang: 'en-US', localService: true },
      { name: 'Test Japanese', lang: 'ja-JP', localService: true }];
    Object.defineProperty(window, 'speechSynthesis', {
      configurable: true,
      value: {
        speak: (u) => window.spoken.push({ text: u.text, lang: u.lang, voice: u.voice && u.voice.name }),
        cancel: () => window.spoken.push({ cancel: true }),
        getVoices: () => voices,
        addEventListener() {},
      },
    });
    window.SpeechSynthesisUtterance = class {
      constructor(text) {
        this.text = text;
        this.lang = '';
        this.voice = null;
      }
    };
  });
}

// The scores the result file holds, in trait order.
function fileScores(bytes) {
  return new TextDecoder('shift_jis').decode(bytes).split('\r').filter((l) => l).map((l) => Number(/-?\d+$/.exec(l)[0]));
}

// navigator.share and canShare replaced by a recorder that keeps what it
// was handed; as many browsers do, it takes files.
async function recordShares(page) {
  await page.evaluate(() => {
    window.shared = [];
    Object.defineProperty(Navigator.prototype, 'canShare', {
      configurable: true, value: (data) => Boolean(data && data.files && data.files.length),
    });
    Object.defineProperty(Navigator.prototype, 'share', {
      configurable: true,
      async value(data) {
        const file = data.files[0];
        const bytes = new Uint8Array(await file.arrayBuffer());
        let s = '';
        for (const b of bytes)
          s += String.fromCharCode(b);
        window.shared.push({ name: file.name, type: file.type, text: data.text, png: btoa(s) });
      },
    });
  });
}

async function downloadsTo(page, dir) {
  const cdp = await page.target().createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: dir });
}

async function waitForFile(file) {
  for (let i = 0; i < 200 && !fs.existsSync(file); ++i)
    await new Promise((r) => setTimeout(r, 50));
  assert.ok(fs.existsSync(file), `${path.basename(file)} was saved`);
}

function pngCapture(bytes, frame) {
  const file = path.join(h.tempDir('png'), 'picture.png');
  fs.writeFileSync(file, bytes);
  return { frame, rgb: h.readPng(file).toString('base64') };
}

// A whole normal test on a phone by taps on the picture alone, to the
// result file and the shared picture of the analysis, both compared with
// the headless replay of the same frames. On the way: a tap on the question
// text does nothing, a tap moves the mark and a second confirms it, and the
// language switch asks before it drops the test under way.
async function tapsAlone(t) {
  const { page, seen } = await h.openGame(t, '&lang=ja', null, { phone: true });
  await recordShares(page);
  // Taps skip the title's fades, start a normal test and skip the
  // introduction to its noise.
  await h.tapUntilSound(page, middleTap, 'space', 'noize01.wav', 0);
  // The introduction is already part of the test: leaving it asks first.
  assert.ok((await view(page)).inTest, 'the introduction counts as the test');
  const moves = () => h.sounds(page, 'c_move.wav');
  for (let q = 0; q < 12; ++q) {
    // A tap in the very frame the answers open counts, though the game does
    // not yet take a press of the Space that confirmed the last answer.
    const atOnce = q === 5;
    if (atOnce) {
      await page.evaluate((y) => {
        const watch = () => {
          const v = shindanTest.view();
          if (!(v && v.kind === 1 && v.answersOpen)) {
            requestAnimationFrame(watch);
            return;
          }
          const canvas = document.getElementById('screen');
          const box = canvas.getBoundingClientRect();
          canvas.dispatchEvent(new PointerEvent('pointerdown', {
            pointerId: 9, isPrimary: true, button: 0, bubbles: true, cancelable: true,
            clientX: box.left + 320 * box.width / 640, clientY: box.top + y * box.height / 480,
          }));
        };
        requestAnimationFrame(watch);
      }, ANSWER_Y[0]);
    }
    await untilView(page, (v) => v && v.kind === 1 && v.answersOpen);
    if (q === 0) {
      const before = await page.evaluate(() => ({ sounds: shindanTest.sounds.length, frame: shindanTest.frames }));
      await h.pictureTap(page, 320, 200, 8);
      const after = await page.evaluate((f) => ({
        sounds: shindanTest.sounds.length,
        keys: shindanTest.log.slice(f).some(([, bits]) => bits !== 0),
      }), before.frame);
      assert.deepEqual(after, { sounds: before.sounds, keys: false }, 'a tap on the question text does nothing');
      assert.equal((await view(page)).marked, 0);
    }
    if (q === 1) {
      // Mid-test, the language switch asks first; declined, nothing changes.
      await page.evaluate(() => {
        window.asked = [];
        window.confirm = (text) => (window.asked.push(text), false);
      });
      const frame = await h.frames(page);
      await page.tap('#language button');
      await h.untilFrame(page, frame + 4);
      assert.equal((await page.evaluate(() => window.asked)).length, 1, 'the switch asked');
      assert.ok(await page.evaluate(() => window.shindanTest.view().kind === 1), 'still in the test');
    }
    if (q === 2) {
      // Two quick taps on a button are two presses, though the second
      // comes before the game has seen the first end.
      const twoTaps = (key) => page.evaluate((k) => {
        const button = document.querySelector(`button[data-key="${k}"]`);
        for (const id of [7, 8]) {
          for (const type of ['pointerdown', 'pointerup'])
            button.dispatchEvent(new PointerEvent(type, { pointerId: id, isPrimary: true, bubbles: true }));
        }
      }, key);
      const before = await moves();
      await twoTaps('down');
      await untilView(page, (v) => v.marked === 2);
      await twoTaps('up');
      await untilView(page, (v) => v.marked === 0);
      await page.waitForFunction((n) => shindanTest.sounds.filter((s) => s.name === 'c_move.wav').length >= n,
        { timeout: 60000 }, before + 4);
    }
    // The answers differ from question to question: bottom, middle, top.
    const answer = [2, 1, 0][q % 3];
    const moved = await moves();
    if (!atOnce)
      await h.pictureTap(page, 320, ANSWER_Y[answer]);
    if (answer !== 0) {
      await untilView(page, (v, a) => v.marked === a, answer);
      // One press a step, each heard.
      await page.waitForFunction((n) => shindanTest.sounds.filter((s) => s.name === 'c_move.wav').length >= n,
        { timeout: 60000 }, moved + answer);
      assert.equal(await moves(), moved + answer, 'one move sound a step');
      assert.equal(await h.sounds(page, 'push.wav'), q, 'moving confirms nothing');
      await h.pictureTap(page, 320, ANSWER_Y[answer]);
    }
    await page.waitForFunction((n) => shindanTest.sounds.filter((s) => s.name === 'push.wav').length > n,
      { timeout: 60000 }, q);
  }
  // Taps skip the analysis's build-up and end it.
  await h.tapUntilSound(page, middleTap, 'space', 'end.wav', 0);
  await page.waitForFunction((name) => shindanTest.files.some((f) => f.name === name), { timeout: 60000 },
    RESULT_FILE);
  const picture = await page.evaluate(() => shindanTest.picture);
  assert.ok(picture, 'the analysis was kept as a picture');
  const run = await page.evaluate(() => ({ startTick: shindanTest.startTick, log: shindanTest.log }));
  const dir = h.replay(run, [['analysis.png', picture.frame]]);
  const expected = fs.readFileSync(path.join(dir, RESULT_FILE));
  assert.deepEqual(Buffer.from((await resultLink(page)).bytes, 'base64'), expected, 'result file bytes');

  // The score panel: the edition's trait names and the file's scores.
  const scores = fileScores(expected);
  assert.deepEqual(picture.scores, scores);
  const panel = await page.evaluate(() => [...document.querySelectorAll('#scores tr')]
    .map((r) => [r.querySelector('th').textContent, r.querySelector('td').textContent]));
  const signed = scores.map((s) => (s > 0 ? `+${s}` : String(s)));
  assert.deepEqual(panel.map(([, s]) => s), signed);
  assert.deepEqual(panel.map(([n]) => n).slice(0, 2), ['精神的強さ', '優しさ']);

  // Shared: the analysis screen's own pixels, and a line of the scores.
  await page.waitForSelector('#share:not([hidden])');
  assert.equal(await page.$eval('#share', (b) => b.textContent), '結果を共有');
  await page.tap('#share');
  await page.waitForFunction(() => window.shared.length === 1, { timeout: 60000 });
  const shared = (await page.evaluate(() => window.shared))[0];
  assert.equal(shared.name, '分析結果.png');
  assert.equal(shared.type, 'image/png');
  const png = Buffer.from(shared.png, 'base64');
  h.assertSameScreen(pngCapture(png, picture.frame), path.join(dir, 'analysis.png'), 'shared analysis');
  assert.ok(shared.text.includes(`精神的強さ ${signed[0]}`) && shared.text.includes(`他人を愛する心 ${signed[7]}`),
    shared.text);
  assert.ok(shared.text.endsWith(` ${t.origin}/`), 'the page address ends the line');
  assert.ok(!shared.text.includes('\n'), 'one line');

  // Where the browser cannot share files, the same picture is saved.
  const downloads = h.tempDir('downloads');
  await downloadsTo(page, downloads);
  await page.evaluate(() => {
    Object.defineProperty(Navigator.prototype, 'canShare', { configurable: true, value: () => false });
  });
  await page.tap('#share');
  await waitForFile(path.join(downloads, '分析結果.png'));
  assert.deepEqual(fs.readFileSync(path.join(downloads, '分析結果.png')), png, 'the saved picture');

  assert.deepEqual(seen.dialogs, []);
  assert.deepEqual(seen.errors, []);
  assert.deepEqual(await page.evaluate(() => window.refused), []);
}

const scenarios = [
  {
    name: 'normal',
    run: (t) => wholeTestMatchesReplay(t, h.keyTap, 'space', [0, 1, 2, 1], 'webgl2'),
  },
  {
    name: 'shift',
    run: (t) => wholeTestMatchesReplay(t, h.keyTap, 'shift', [2, 0, 1], 'webgl2'),
  },
  {
    name: 'buttons',
    // Without WebGL the page draws into a 2D canvas: the same pixels.
    run: (t) => wholeTestMatchesReplay(t, h.buttonTap, 'space', [1, 2, 0], '2d'),
  },
  {
    name: 'missing-sound',
    async run(t) {
      const folder = h.gameFolder('nopush', ['push.wav']);
      h.makePack(folder, path.join(t.packs, 'nopush.pack'));
      const { page, seen } = await h.openGame(t, '&lang=ja&pack=test-packs/nopush.pack');
      // The game goes on to its title after the one box.
      await waitForTitle(page, h.keyTap);
      assert.deepEqual(seen.dialogs, ['ファイルオープンに失敗しました']);
      const boxes = await page.evaluate(() => shindanTest.boxes);
      assert.equal(boxes.length, 1);
      assert.equal(boxes[0].frame, 1, 'shown while the first frame loads');
      assert.deepEqual(seen.errors, []);
    },
  },
  {
    name: 'esc',
    async run(t) {
      const { page } = await h.openGame(t);
      await h.untilFrame(page, 3);
      await page.keyboard.press('Escape');
      await page.waitForFunction(() => shindanTest.ended, { timeout: 60000 });
      const state = await page.evaluate(() => ({
        notice: !document.getElementById('ended').hidden,
        text: document.getElementById('ended-text').textContent,
        button: document.getElementById('play-again').textContent,
        frames: shindanTest.frames,
      }));
      assert.ok(state.notice, 'the end notice shows');
      assert.equal(state.text, 'ゲームは終了しました。');
      assert.equal(state.button, 'もう一度遊ぶ');
      // No frame runs after the teardown.
      await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
      assert.equal(await h.frames(page), state.frames);
      // Playing again starts the program anew.
      await Promise.all([page.waitForNavigation(), page.click('#play-again')]);
      await page.waitForFunction(() => window.shindanTest && shindanTest.frames >= 2, { timeout: 60000 });
    },
  },
  {
    name: 'tune-loop',
    async run(t) {
      const folder = h.gameFolder('shorttune', ['bgm01.mid']);
      fs.writeFileSync(path.join(folder, 'bgm01.mid'), shortMidi());
      h.makePack(folder, path.join(t.packs, 'shorttune.pack'));
      const { page } = await h.openGame(t, '&lang=ja&pack=test-packs/shorttune.pack');
      await waitForTitle(page, h.keyTap);
      // Space on the waiting title starts the introduction and its tune.
      await h.keyTap(page, 'space');
      const tune = (what) => (e) => e.what === what && e.name === 'bgm01.mid';
      await page.waitForFunction(() => shindanTest.tunes.filter((e) => e.what === 'ended').length >= 2,
        { timeout: 60000 });
      // Then the introduction is skipped to its noise, which stops the tune.
      await h.tapUntilSound(page, h.keyTap, 'space', 'noize01.wav', 0);
      const log = await page.evaluate(() => shindanTest.tunes);
      const stop = log.findIndex(tune('stop'));
      assert.ok(stop > 0, 'the tune was stopped');
      const before = log.slice(0, stop);
      const after = log.slice(stop);
      // Each end made the game play the tune again from its start.
      before.forEach((e, i) => {
        if (tune('ended')(e))
          assert.ok(before.slice(i + 1).some(tune('play')) || i === before.length - 1, 'replayed after its end');
      });
      assert.ok(before.filter(tune('play')).length >= 3, 'played, ended and played again twice');
      assert.ok(before.filter(tune('start')).length >= 3, 'sounded three times');
      // Each time at its end of track, timed on the audio clock.
      before.filter(tune('ended')).forEach((e) =>
        assert.ok(Math.abs(e.after - SHORT_TUNE_END) < 0.15, `ended ${e.after} s after its start`));
      // Stopping is no end: nothing ends and nothing restarts the old tune.
      assert.equal(after.filter(tune('ended')).length, 0, 'no end after the stop');
      assert.equal(after.filter(tune('play')).length, 0, 'not played again after the stop');
      assert.ok(after.some((e) => e.what === 'play' && e.name === 'bgm02.mid'), 'the next tune plays');
    },
  },
  {
    name: 'tune-decoding',
    async run(t) {
      // A tune decoded in the worker a packet at a time must be
      // decodeAudioData's own samples, none lost or shifted at its start
      // (the encoder's priming) or its end; a file that way cannot read is
      // left to decodeAudioData.
      const { page, seen } = await h.openGame(t);
      const got = await page.evaluate(async () => {
        const { arriving, game } = await import('./common.js');
        const { decodeRendering } = await import('./audio.js');
        const path = '/game/bgm01.opus';
        await (arriving.get(path) || Promise.resolve());
        const bytes = game.Module.FS.readFile(path);
        const mine = await decodeRendering(bytes);
        const theirs = await new OfflineAudioContext(1, 1, 48000).decodeAudioData(bytes.slice().buffer);
        let worst = 0;
        for (let c = 0; mine && c < theirs.numberOfChannels; ++c) {
          const a = mine.getChannelData(c);
          const b = theirs.getChannelData(c);
          for (let i = 0; i < Math.min(a.length, b.length); ++i)
            worst = Math.max(worst, Math.abs(a[i] - b[i]));
        }
        return {
          decoded: mine !== null,
          shape: mine && [mine.length, mine.numberOfChannels, mine.sampleRate],
          want: [theirs.length, theirs.numberOfChannels, theirs.sampleRate],
          worst,
          cut: await decodeRendering(bytes.slice(0, bytes.length - 100)),
          notOgg: await decodeRendering(new Uint8Array(4096)),
        };
      });
      assert.ok(got.decoded, 'decoded with WebCodecs in the worker');
      assert.deepEqual(got.shape, got.want);
      assert.ok(got.worst < 1e-4, `samples differ by up to ${got.worst}`);
      assert.equal(got.cut, null, 'a cut file is left to decodeAudioData');
      assert.equal(got.notOgg, null, 'so is one that is not Ogg');
      assert.deepEqual(seen.errors, []);
    },
  },
  {
    name: 'late-tunes',
    async run(t) {
      // The tunes come after the program has started; here they are held
      // back until the title has asked for its tune.
      const packs = JSON.parse(fs.readFileSync(path.join(h.config.site, 'packs.json'), 'utf8'));
      const tunes = packs.find((p) => p.lang === 'ja').later.find((p) => p.names.includes('bgm01.opus'));
      assert.ok(tunes, 'the tunes come in a pack of their own');
      const release = t.hold(`/${tunes.file}`);
      const { page, seen } = await h.openGame(t);
      await waitForTitle(page, h.keyTap);
      await h.keyTap(page, 'space');
      const log = () => page.evaluate(() => shindanTest.tunes.map((e) => `${e.what} ${e.name}`));
      await h.untilFrame(page, (await h.frames(page)) + 30);
      // Asked for, and playing as far as the game can tell: nothing sounds
      // yet, and no end comes that would make the game start it again.
      assert.deepEqual(await log(), ['open bgm01.mid', 'play bgm01.mid']);
      release();
      await page.waitForFunction(() => shindanTest.tunes.some((e) => e.what === 'start'), { timeout: 60000 });
      assert.deepEqual(await log(), ['open bgm01.mid', 'play bgm01.mid', 'start bgm01.mid']);
      assert.deepEqual(seen.dialogs, []);
      assert.deepEqual(seen.errors, []);
    },
  },
  {
    name: 'taps',
    run: tapsAlone,
  },
  {
    name: 'pack-origin',
    async run(t) {
      // A pack of another site (here the same server under another name):
      // never asked for; the game starts with its own packs.
      const elsewhere = t.origin.replace('127.0.0.1', 'localhost');
      const { page, seen } = await h.openGame(t,
        `&lang=ja&pack=${encodeURIComponent(`${elsewhere}/test-packs/elsewhere.pack`)}`);
      await h.untilFrame(page, 3);
      assert.deepEqual(t.requests.filter((r) => r.includes('elsewhere')), []);
      assert.deepEqual(seen.dialogs, []);
      assert.ok(t.requests.some((r) => r.startsWith('/packs/')), 'the edition\'s packs came instead');
      // Script written into the page is refused, and so is eval in the
      // site's own script (evaluated here, the test's own is let through).
      fs.writeFileSync(path.join(t.packs, 'probe.js'),
        'try { window.evaluated = eval("true"); } catch (_) { window.evaluated = false; }\n');
      const ran = await page.evaluate(() => new Promise((resolve) => {
        const inline = document.createElement('script');
        inline.textContent = 'window.inlineRan = true;';
        document.head.append(inline);
        const probe = document.createElement('script');
        probe.src = '/test-packs/probe.js';
        probe.addEventListener('load', () => resolve({ inline: window.inlineRan === true, evaluated: window.evaluated }));
        document.head.append(probe);
      }));
      assert.deepEqual(ran, { inline: false, evaluated: false });
      await page.waitForFunction(() => window.refused.length >= 2);
      assert.ok((await page.evaluate(() => window.refused)).every((r) => r.startsWith('script-src')));
    },
  },
  {
    name: 'layout',
    async run(t) {
      const box = () => page.evaluate(() => {
        const stage = document.getElementById('stage').getBoundingClientRect();
        const controls = document.getElementById('controls').getBoundingClientRect();
        const canvas = document.getElementById('screen');
        return {
          width: stage.width, height: stage.height, bottom: Math.max(stage.bottom, controls.bottom),
          canvas: [canvas.width, canvas.height], ratio: devicePixelRatio,
          fullscreen: document.getElementById('fullscreen').textContent,
        };
      });
      const { page, seen } = await h.openGame(t, '&lang=en');
      // A laptop's screen: the picture as tall as the page's other parts
      // leave room for, not only a whole multiple of 640x480, and 4:3.
      await page.setViewport({ width: 1366, height: 768 });
      await h.untilFrame(page, 3);
      let b = await box();
      assert.ok(b.height > 600 && b.bottom <= 768, JSON.stringify(b));
      assert.ok(Math.abs(b.width * 3 - b.height * 4) < 4, JSON.stringify(b));
      assert.deepEqual(b.canvas, [Math.round(b.width * b.ratio), Math.round(b.height * b.ratio)]);
      // Full screen on a 1280x800 screen: its whole height, and the button
      // says it leaves.
      await page.setViewport({ width: 1280, height: 800 });
      await page.click('#fullscreen');
      await page.waitForFunction(() => document.fullscreenElement !== null);
      await h.untilFrame(page, (await h.frames(page)) + 2);
      b = await box();
      assert.deepEqual([b.width, b.height, b.fullscreen], [1066, 800, 'Leave full screen']);
      // Whole-number scaling: the largest whole multiple that fits, kept
      // for the next visit.
      await page.click('#integer-scale');
      await h.untilFrame(page, (await h.frames(page)) + 2);
      b = await box();
      assert.deepEqual([b.width, b.height], [640, 480]);
      await page.evaluate(() => document.exitFullscreen());
      await page.waitForFunction(() => document.getElementById('fullscreen').textContent === 'Full screen');
      await page.reload();
      await page.waitForFunction(() => window.shindanTest && shindanTest.frames >= 2, { timeout: 60000 });
      assert.equal(await page.$eval('#integer-scale', (e) => e.getAttribute('aria-pressed')), 'true');
      b = await box();
      assert.deepEqual([b.width, b.height], [640, 480]);
      await page.click('#integer-scale');
      await page.close();

      // A phone: the picture across the screen, everything on it, no line
      // of keys, and the language switch beside the title.
      const phone = await h.openGame(t, '&lang=en', null, { phone: true });
      const p = await phone.page.evaluate(() => {
        const stage = document.getElementById('stage').getBoundingClientRect();
        const controls = document.getElementById('controls').getBoundingClientRect();
        const title = document.getElementById('page-title').getBoundingClientRect();
        const switcher = document.querySelector('#language button').getBoundingClientRect();
        return {
          width: stage.width, bottom: controls.bottom,
          keys: getComputedStyle(document.getElementById('keys-line')).display,
          beside: switcher.left >= title.right && switcher.top < title.bottom && switcher.bottom > title.top,
        };
      });
      assert.deepEqual(p, { width: 390, bottom: p.bottom, keys: 'none', beside: true });
      assert.ok(p.bottom <= 844, 'the controls are on the screen');
      assert.deepEqual([...seen.errors, ...phone.seen.errors], []);
    },
  },
  {
    name: 'keys',
    async run(t) {
      const { page } = await h.openGame(t);
      await page.evaluate(() => {
        window.prevented = [];
        window.addEventListener('keydown', (e) => window.prevented.push([e.code, e.defaultPrevented]));
      });
      const bits = () => page.evaluate(() => shindanTest.log[shindanTest.log.length - 1][1]);
      // Held from keydown to keyup: the game sees Down in every frame.
      await page.keyboard.down('ArrowDown');
      await h.untilFrame(page, (await h.frames(page)) + 3);
      assert.equal(await bits(), 1 << 4, 'Down held');
      // Leaving the page lets go of every key, though no keyup came.
      await page.evaluate(() => window.dispatchEvent(new Event('blur')));
      await h.untilFrame(page, (await h.frames(page)) + 3);
      assert.equal(await bits(), 0, 'released on blur');
      await page.keyboard.up('ArrowDown');
      // The browser's own use of the game's keys (scrolling) is prevented.
      for (const key of ['Space', 'ArrowUp', 'Enter', 'Shift'])
        await page.keyboard.press(key);
      const prevented = await page.evaluate(() => window.prevented);
      assert.deepEqual(prevented.map(([, p]) => p), [true, true, true, true, true]);
    },
  },
  {
    name: 'speech',
    async run(t) {
      const words = packWords();
      const { page, seen } = await h.openGame(t, '&lang=ja', null, { prepare: recordSpeech });
      const region = () => page.$eval('#speech-text', (e) => e.textContent);
      const spoken = () => page.evaluate(() => window.spoken.splice(0));
      // The canvas has a name, and its words are in a live region.
      assert.equal(await page.$eval('#screen', (e) => e.getAttribute('aria-label')), `${words.title[0]}の画面`);
      assert.equal(await page.$eval('#speech-text', (e) => e.getAttribute('role')), 'status');
      assert.equal(await page.$eval('#speech', (b) => b.getAttribute('aria-pressed')), 'false');

      // Speech off: the region holds the title's words all the same, and
      // nothing is said.
      await waitForTitle(page, h.keyTap);
      await h.untilFrame(page, (await h.frames(page)) + 2);
      assert.equal(await region(), `${words.title[0]} ${words.prompt[0]}`);
      assert.deepEqual(await spoken(), []);

      // The switch: the game says so and then its screen, in a Japanese voice.
      await page.click('#speech');
      await h.untilFrame(page, (await h.frames(page)) + 4);
      const said = await spoken();
      assert.deepEqual(said[0], { cancel: true });
      assert.deepEqual(said.slice(1).map((u) => u.text), [words.speech_on[0], words.title[0], words.prompt[0]]);
      for (const u of said.slice(1))
        assert.deepEqual([u.lang, u.voice], ['ja', 'Test Japanese']);
      assert.equal(await page.$eval('#speech', (b) => b.getAttribute('aria-pressed')), 'true');

      // A question: its number, its text and the marked answer, in the
      // region and aloud; Down says the newly marked answer, cutting off.
      await h.keyTap(page, 'space');
      await h.tapUntilSound(page, h.keyTap, 'space', 'noize01.wav', 0);
      await untilView(page, (v) => v && v.answersOpen);
      const shown = await region();
      const number = words.question_number[0].replace('{n}', '1').replace('{total}', '12');
      const asked = Object.keys(words).filter((k) => /^q\d{3}$/.test(k) &&
        shown === `${number} ${words[k][0]} ${words[k][1]}`);
      assert.equal(asked.length, 1, shown);
      const q = words[asked[0]];
      await spoken();
      await h.keyTap(page, 'down');
      assert.equal(await region(), q[2]);
      assert.deepEqual(await spoken(), [{ cancel: true }, { text: q[2], lang: 'ja', voice: 'Test Japanese' }]);

      // V switches it off with a last word; the region goes on.
      await page.keyboard.press('KeyV');
      await h.untilFrame(page, (await h.frames(page)) + 4);
      assert.deepEqual((await spoken()).map((u) => u.text), [undefined, words.speech_off[0]]);
      assert.equal(await page.$eval('#speech', (b) => b.getAttribute('aria-pressed')), 'false');
      await h.keyTap(page, 'down');
      assert.equal(await region(), q[3]);
      assert.deepEqual(await spoken(), []);

      // On again, and kept for the next visit: the title is said at once.
      await page.click('#speech');
      await page.reload();
      await page.waitForFunction(() => window.shindanTest && shindanTest.frames >= 1, { timeout: 60000 });
      assert.equal(await page.$eval('#speech', (b) => b.getAttribute('aria-pressed')), 'true');
      await page.waitForFunction((w) => window.spoken.some((u) => u.text === w), { timeout: 60000 }, words.title[0]);
      assert.deepEqual(seen.errors, []);
      assert.deepEqual(await page.evaluate(() => window.refused), []);
    },
  },
  {
    name: 'language',
    async run(t) {
      const packs = JSON.parse(fs.readFileSync(path.join(h.config.site, 'packs.json'), 'utf8'));
      // The page's words: its buttons say what they do, in the edition's
      // language, and name no key.
      const texts = () => ({
        lang: document.documentElement.lang,
        title: document.title,
        buttons: [...document.querySelectorAll('#controls button')].map((b) => b.textContent),
        switches: [...document.querySelectorAll('#language button')].map((b) => b.textContent),
      });
      const JAPANESE = ['↑', '↓', '決定', '裏診断', '結果を消去', '読み上げ', '消音', '整数倍で表示', '全画面'];
      const ENGLISH = ['↑', '↓', 'Choose', 'The hidden test', 'Clear the results', 'Read aloud', 'Mute',
        'Whole-pixel scaling', 'Full screen'];
      // An English browser starts in the English pack when there is one,
      // with the page's own words in English too.
      const { page, seen } = await h.openGame(t, '', ['en-US', 'en']);
      const english = packs.find((p) => p.lang === 'en');
      const first = await page.evaluate(texts);
      if (!english) {
        assert.deepEqual(first, { lang: 'ja', title: packs[0].title, buttons: JAPANESE, switches: [] });
        return;
      }
      assert.deepEqual(first, { lang: 'en', title: english.title, buttons: ENGLISH, switches: ['日本語'] });
      for (const label of [...JAPANESE, ...ENGLISH])
        assert.doesNotMatch(label, /space|shift|enter|スペース|シフト|エンター/i);
      // Muting is kept for the next visit (and the language with it).
      await page.click('#mute');
      assert.equal(await page.$eval('#mute', (b) => b.getAttribute('aria-pressed')), 'true');
      // The switch starts the game again in the other pack.
      await Promise.all([page.waitForNavigation(), page.click('#language button')]);
      await page.waitForFunction(() => window.shindanTest && shindanTest.frames >= 2, { timeout: 60000 });
      const japanese = await page.evaluate(texts);
      assert.deepEqual(japanese, { lang: 'ja', title: packs[0].title, buttons: JAPANESE, switches: ['English'] });
      assert.equal(await page.$eval('#mute', (b) => b.getAttribute('aria-pressed')), 'true', 'still muted');
      assert.deepEqual(await page.evaluate(() => window.refused), []);
      // Each edition found every file it loads in its packs: no box.
      assert.deepEqual(seen.dialogs, []);
      // Every file the page names is on the site: what its head links to,
      // its scripts, and every edition's packs.
      const named = await page.evaluate(() => [...document.querySelectorAll('link[href], script[src]')]
        .map((e) => e.getAttribute('href') || e.getAttribute('src')));
      const packFiles = packs.flatMap((p) => [...p.first, ...(p.later || [])].map((f) => f.file));
      for (const file of new Set([...named, ...packFiles])) {
        const status = await page.evaluate(async (f) => (await fetch(f, { cache: 'no-store' })).status, file);
        assert.equal(status, 200, file);
      }
      assert.deepEqual(seen.missing, []);
    },
  },
];

h.run(scenarios).catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
