// The browser edition's light start and its play without a network: a
// test started before its pictures are in waits at its start and then plays
// exactly as the headless program does; a second visit with the server
// gone plays a whole test from the service worker's cache, tunes included;
// a new build replaces the kept site whole, and a build the server only
// half has is never kept.
//
//   node offline_test.js [SCENARIO...]
//
// Needs the same environment as browser_test.js.
'use strict';

const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const h = require('./harness');

const { assert } = h;

const RESULT_FILE = '分析結果.txt';

function packList(site = h.config.site) {
  return JSON.parse(fs.readFileSync(path.join(site, 'packs.json'), 'utf8'));
}

// A server of its own, which the scenario can stop: its open connections
// go down with it, so the browser finds nobody there.
async function ownServer(site, options) {
  const server = await h.serve(site, null, options);
  return {
    origin: `http://127.0.0.1:${server.address().port}`,
    stop() {
      server.close();
      server.closeAllConnections();
    },
  };
}

// Taps Space on the title and plays twelve answers and the analysis to its
// closing sound; answers the frames to compare and the run to replay.
async function playTest(page) {
  await page.evaluate(() => shindanTest.armOnSound('noise', 'noize01.wav'));
  await h.tapUntilSound(page, h.keyTap, 'space', 'noize01.wav', 0);
  await page.evaluate(() => shindanTest.armOnSound('question', 'c_move.wav'));
  for (let q = 0; q < 12; ++q) {
    await h.tapUntilSound(page, h.keyTap, 'down', 'c_move.wav', await h.sounds(page, 'c_move.wav'));
    await h.tapUntilSound(page, h.keyTap, 'space', 'push.wav', q);
  }
  await page.evaluate(() => shindanTest.armOnSound('analysis', 'end.wav'));
  await h.tapUntilSound(page, h.keyTap, 'space', 'end.wav', 0);
  await page.waitForFunction((name) => shindanTest.files.some((f) => f.name === name), { timeout: 60000 },
    RESULT_FILE);
  return {
    noise: await h.capture(page, 'noise'),
    question: await h.capture(page, 'question'),
    analysis: await h.capture(page, 'analysis'),
    run: await page.evaluate(() => ({ startTick: shindanTest.startTick, log: shindanTest.log })),
  };
}

// The played frames against the headless program's replay of the same
// frames and keys.
function matchesReplay(played) {
  const dir = h.replay(played.run, [
    ['noise.png', played.noise.frame],
    ['question.png', played.question.frame],
    ['analysis.png', played.analysis.frame],
  ]);
  h.assertSameScreen(played.noise, path.join(dir, 'noise.png'), 'noise');
  h.assertSameScreen(played.question, path.join(dir, 'question.png'), 'question');
  h.assertSameScreen(played.analysis, path.join(dir, 'analysis.png'), 'analysis');
  return fs.readFileSync(path.join(dir, RESULT_FILE));
}

// Until the service worker of this visit has kept the whole site.
async function siteKept(page) {
  await page.waitForFunction(async () => {
    const r = await navigator.serviceWorker.getRegistration();
    return Boolean(r && r.active && r.active.state === 'activated');
  }, { timeout: 120000, polling: 200 });
}

function cacheState(page) {
  return page.evaluate(async () => {
    const names = (await caches.keys()).filter((k) => k.startsWith('shindan-'));
    const kept = {};
    for (const name of names)
      kept[name] = (await (await caches.open(name)).keys()).map((r) => new URL(r.url).pathname).sort();
    return { names, kept, controlled: Boolean(navigator.serviceWorker.controller) };
  });
}

function siteVersion(site) {
  return /"version": "([0-9a-f]+)"/.exec(fs.readFileSync(path.join(site, 'sw.js'), 'utf8'))[1];
}

const scenarios = [
  {
    name: 'held-start',
    async run(t) {
      // The pictures and sounds of the tests are held back at the server.
      const lang = packList().find((p) => p.lang === 'ja');
      const held = lang.later.filter((p) => p.names.some((n) => /\.(bm|wav)$/.test(n)));
      assert.ok(held.length > 0, 'the tests\' pictures come after the start');
      assert.ok(!lang.first.some((p) => held.includes(p)));
      const releases = held.map((p) => t.hold(`/${p.file}`));
      const { page, seen } = await h.openGame(t);
      // The title fades in and waits from the files it came with.
      await page.waitForFunction(() => performance.getEntriesByName('first-frame').length === 1);
      const frames = await h.frames(page);
      await h.untilFrame(page, frames + 20);
      // Space now is kept from the game, with the progress shown.
      await page.keyboard.down('Space');
      await h.untilFrame(page, (await h.frames(page)) + 10);
      await page.keyboard.up('Space');
      await h.untilFrame(page, (await h.frames(page)) + 30);
      const waiting = await page.evaluate(() => ({
        shown: !document.getElementById('loading').hidden,
        text: document.getElementById('loading-text').textContent,
        seen: shindanTest.log.some(([, bits]) => bits & (1 << 2)),
        tunes: shindanTest.tunes.length,
      }));
      assert.deepEqual(waiting, { shown: true, text: '診断の準備中…', seen: false, tunes: 0 });
      // Once the files are in, the press reaches the game: the title goes
      // on, and the test then plays as the headless program plays it with
      // every file there from the start.
      releases.forEach((release) => release());
      await page.waitForFunction(() => shindanTest.log.some(([, bits]) => bits & (1 << 2)), { timeout: 60000 });
      assert.ok(await page.evaluate(() => document.getElementById('loading').hidden), 'the progress goes');
      const played = await playTest(page);
      matchesReplay(played);
      assert.deepEqual(seen.dialogs, []);
      assert.deepEqual(seen.errors, []);
    },
  },
  {
    name: 'offline',
    async run(t) {
      const server = await ownServer(h.config.site);
      const at = { browser: t.browser, origin: server.origin };
      const first = await h.openGame(at);
      await siteKept(first.page);
      // The second visit, with the server gone.
      server.stop();
      await first.page.close();
      const { page, seen } = await h.openGame(at);
      const state = await cacheState(page);
      assert.ok(state.controlled, 'the service worker answers the page');
      assert.deepEqual(state.names, [`shindan-${siteVersion(h.config.site)}`]);
      assert.equal(await page.evaluate(() => fetch('sw-missing.txt').then(() => 'served', () => 'no server')),
        'no server');
      const played = await playTest(page);
      const expected = matchesReplay(played);
      const file = await page.evaluate((name) => shindanTest.fs.readFile(`/game/${name}`), RESULT_FILE);
      assert.deepEqual(Buffer.from(Object.values(file)), expected, 'result file');
      // The tunes sounded from the kept packs: every tune the game let play
      // for three seconds or more (one skipped at once may be stopped before
      // its pack is in and the tune decoded, which on a busy machine takes a
      // second or two); and several tunes sounded.
      const tunes = await page.evaluate(() => shindanTest.tunes);
      const lasting = tunes.filter((e, i) => {
        if (e.what !== 'play')
          return false;
        const end = tunes.slice(i + 1).find((x) => x.name === e.name && /^(stop|close)$/.test(x.what));
        return !end || end.frame - e.frame >= 180;
      });
      assert.ok(lasting.length >= 1, JSON.stringify(tunes));
      assert.ok(new Set(tunes.filter((e) => e.what === 'start').map((e) => e.name)).size >= 2,
        `several tunes sounded: ${JSON.stringify(tunes)}`);
      for (const e of lasting) {
        const sounded = tunes.some((x) => x.what === 'start' && x.name === e.name && x.frame >= e.frame);
        assert.ok(sounded, `${e.name} sounded: ${JSON.stringify(tunes)}`);
      }
      assert.deepEqual(seen.dialogs, []);
      assert.deepEqual(seen.errors, []);
    },
  },
  {
    name: 'new-build',
    async run(t) {
      // A copy of the site, changed between visits as a new build would be.
      const site = h.tempDir('site');
      fs.cpSync(h.config.site, site, { recursive: true });
      const writer = path.join(__dirname, '..', '..', 'scripts', 'web-service-worker');
      const template = path.join(__dirname, '..', '..', 'platform', 'web', 'page', 'sw.js');
      const rebuild = () => execFileSync(writer, [site, template]);
      const server = await ownServer(site);
      const at = { browser: t.browser, origin: server.origin };
      try {
        const old = siteVersion(site);
        let { page } = await h.openGame(at);
        await siteKept(page);
        const before = await cacheState(page);
        assert.deepEqual(before.names, [`shindan-${old}`]);
        const files = before.kept[`shindan-${old}`];
        assert.ok(files.includes('/index.html') && files.includes('/shindan.wasm') && files.includes('/packs/tunes.pack'));

        // A build the server has only half: its worker lists a style sheet
        // the server does not hold. It is never kept, and the old one stays.
        fs.appendFileSync(path.join(site, 'page.css'), '\n/* next build */\n');
        rebuild();
        fs.appendFileSync(path.join(site, 'page.css'), '/* a later one, half copied */\n');
        await page.reload();
        await page.waitForFunction(() => window.shindanTest && shindanTest.frames >= 1, { timeout: 60000 });
        // Looked for at once, and followed until its install has failed.
        const outcome = await page.evaluate(async () => {
          const r = await navigator.serviceWorker.getRegistration();
          await r.update().catch(() => {});
          const w = r.installing || r.waiting;
          if (!w)
            return 'nothing installing';
          if (w.state !== 'redundant' && w.state !== 'installed') {
            await new Promise((resolve) => w.addEventListener('statechange', () => {
              if (w.state === 'redundant' || w.state === 'installed')
                resolve();
            }));
          }
          return w.state;
        });
        assert.equal(outcome, 'redundant', 'the half build\'s worker gives up');
        const half = await cacheState(page);
        assert.deepEqual(half.names, [`shindan-${old}`], 'a half build is not kept');
        assert.equal(await page.$('#update'), null, 'nothing offered');

        // The whole new build: offered, taken over on the player's word, and
        // then the only one kept.
        rebuild();
        const next = siteVersion(site);
        assert.notEqual(next, old);
        await page.reload();
        await page.waitForSelector('#update', { timeout: 60000 });
        await Promise.all([page.waitForNavigation({ timeout: 60000 }), page.click('#update')]);
        await page.waitForFunction(() => window.shindanTest && shindanTest.frames >= 1, { timeout: 60000 });
        const after = await cacheState(page);
        assert.deepEqual(after.names, [`shindan-${next}`]);
        assert.deepEqual(after.kept[`shindan-${next}`], files, 'the same files, all of them');
        const css = await page.evaluate(async () => (await (await caches.match('page.css')).text()));
        assert.equal(css, fs.readFileSync(path.join(site, 'page.css'), 'utf8'));
        ({ page } = await h.openGame(at));
        assert.ok((await cacheState(page)).controlled);
      } finally {
        server.stop();
        fs.rmSync(site, { recursive: true, force: true });
      }
    },
  },
];

h.run(scenarios).catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
