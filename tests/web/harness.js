// What the browser tests share: a static server for the site, a headless
// Chromium driven by puppeteer-core, test packs made with the site's own
// packing script, the headless replay of a browser run, and PNG reading.
'use strict';

const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const puppeteer = require('puppeteer-core');

const config = {
  site: process.env.SHINDAN_WEB_SITE,
  assets: process.env.SHINDAN_ASSET_DIR,
  tool: process.env.SHINDAN_TOOL,
  pack: process.env.SHINDAN_WEB_PACK,
  tuneCache: process.env.SHINDAN_TUNE_CACHE,
  chromium: process.env.SHINDAN_CHROMIUM || '/usr/bin/chromium',
};

const KEY_NAMES = ['enter', 'shift', 'space', 'up', 'down'];
const PUPPETEER_KEYS = { enter: 'Enter', shift: 'Shift', space: 'Space', up: 'ArrowUp', down: 'ArrowDown' };

function tempDir(name) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `shindan-web-${name}-`));
}

// ---- Static server: the site at /, extra packs at /test-packs/

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.css': 'text/css',
  '.json': 'application/json',
  '.wasm': 'application/wasm',
};

// With isolated, the pages are cross-origin isolated: the browser's clock then
// reads to a few microseconds instead of a tenth of a millisecond. hold, given
// a path, may answer a promise: that file is sent once it settles.
// requests, given, gets the path of every request.
function serve(site, extra, { isolated = false, hold = () => null, requests = null } = {}) {
  const server = http.createServer(async (req, res) => {
    const url = new URL(req.url, 'http://127.0.0.1');
    if (requests)
      requests.push(url.pathname);
    await hold(url.pathname);
    let file;
    const name = decodeURIComponent(url.pathname);
    if (name.startsWith('/test-packs/') && extra)
      file = path.join(extra, path.basename(name));
    else
      file = path.join(site, path.normalize(name).replace(/^(\.\.[/\\])+/, ''));
    if (file.endsWith('/'))
      file += 'index.html';
    fs.readFile(file, (err, data) => {
      if (err) {
        res.writeHead(404);
        res.end();
        return;
      }
      const headers = {
        'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
        'Content-Length': data.length,
      };
      if (isolated) {
        headers['Cross-Origin-Opener-Policy'] = 'same-origin';
        headers['Cross-Origin-Embedder-Policy'] = 'require-corp';
      }
      res.writeHead(200, headers);
      res.end(data);
    });
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve(server));
  });
}

// ---- Browser

async function launch() {
  const profile = tempDir('profile');
  const browser = await puppeteer.launch({
    executablePath: config.chromium,
    headless: true,
    userDataDir: profile,
    args: [
      '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      // WebGL without a graphics processor: the page's screen as players
      // with one get it.
      '--enable-unsafe-swiftshader',
      // Containers often give /dev/shm only a few megabytes.
      '--disable-dev-shm-usage',
    ],
  });
  return { browser, profile };
}

// A phone held upright: a touch screen, two device pixels to a CSS pixel.
const PHONE = { width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 2 };

// Opens the game page and collects what the page reports.
// The page starts in the language of `languages` (the browser's preference)
// unless the query names one; by default Japanese. With phone, the page is
// seen on a phone's touch screen.
async function openGame(t, query = '&lang=ja', languages = null, { phone = false, prepare = null } = {}) {
  const page = await t.browser.newPage();
  // What a test puts in place of the browser's own before the page runs.
  if (prepare)
    await prepare(page);
  // Anything the page's Content-Security-Policy turned away.
  await page.evaluateOnNewDocument(() => {
    window.refused = [];
    document.addEventListener('securitypolicyviolation',
      (e) => window.refused.push(`${e.violatedDirective} ${e.blockedURI}`));
  });
  if (languages) {
    await page.evaluateOnNewDocument((l) => {
      Object.defineProperty(navigator, 'languages', { get: () => l });
      Object.defineProperty(navigator, 'language', { get: () => l[0] });
    }, languages);
  }
  await page.setViewport(phone ? PHONE : { width: 900, height: 760 });
  // missing: what the page asked for in vain, by path.
  const seen = { dialogs: [], errors: [], missing: [] };
  page.on('response', (r) => {
    if (r.status() >= 400)
      seen.missing.push(new URL(r.url()).pathname);
  });
  page.on('dialog', async (d) => {
    seen.dialogs.push(d.message());
    await d.accept();
  });
  page.on('pageerror', (e) => seen.errors.push(e.message));
  await page.goto(`${t.origin}/?test${query}`);
  await page.waitForFunction(() => window.shindanTest && shindanTest.frames >= 1, { timeout: 60000 });
  return { page, seen };
}

function frames(page) {
  return page.evaluate(() => shindanTest.frames);
}

// Waits until the game has run `count` more frames than it had at `from`.
async function untilFrame(page, frame) {
  await page.waitForFunction((f) => shindanTest.frames >= f || shindanTest.ended, { polling: 'raf', timeout: 60000 },
    frame);
}

// A tap on the picture at a point in picture pixels (640x480), with the
// touch screen where the page has one and the mouse otherwise; then waits
// `wait` frames.
async function pictureTap(page, x, y, wait = 4) {
  const at = await page.evaluate((px, py) => {
    const box = document.getElementById('screen').getBoundingClientRect();
    return { x: box.left + px * box.width / 640, y: box.top + py * box.height / 480, touch: navigator.maxTouchPoints > 0 };
  }, x, y);
  const start = await frames(page);
  if (at.touch)
    await page.touchscreen.tap(at.x, at.y);
  else
    await page.mouse.click(at.x, at.y);
  await untilFrame(page, start + wait);
}

// Presses a key through the page's real key events, holds it for two frames
// and leaves it up for two more, so that the game sees one press.
async function keyTap(page, key) {
  const start = await frames(page);
  await page.keyboard.down(PUPPETEER_KEYS[key]);
  await untilFrame(page, start + 2);
  await page.keyboard.up(PUPPETEER_KEYS[key]);
  await untilFrame(page, start + 4);
}

// A quick click on an on-screen button: the page holds the key until the
// game has seen it.
async function buttonTap(page, key) {
  const start = await frames(page);
  await page.click(`button[data-key="${key}"]`);
  await untilFrame(page, start + 4);
}

function sounds(page, name) {
  return page.evaluate((n) => shindanTest.sounds.filter((s) => s.name === n).length, name);
}

// Taps the key until the game has played `name` more than `before` times.
async function tapUntilSound(page, tap, key, name, before, limit = 400) {
  for (let i = 0; i < limit; ++i) {
    if ((await sounds(page, name)) > before)
      return;
    await tap(page, key);
  }
  assert.fail(`${name} never played while tapping ${key}`);
}

async function capture(page, tag) {
  await page.waitForFunction((t) => shindanTest.captures[t] !== undefined, { polling: 'raf', timeout: 60000 }, tag);
  return page.evaluate((t) => shindanTest.captures[t], tag);
}

// ---- Packs and replays

// A folder of the game's files, linked from the generated asset pack.
function gameFolder(name, leaveOut = []) {
  const dir = tempDir(name);
  for (const f of fs.readdirSync(config.assets)) {
    if (/\.(bm|wav|mid)$/.test(f) && !leaveOut.includes(f))
      fs.symlinkSync(path.join(config.assets, f), path.join(dir, f));
  }
  return dir;
}

function makePack(folder, out) {
  execFileSync(config.pack, [folder, out, '--cache', config.tuneCache, '--level', '1', '--slim', config.tool], { stdio: 'inherit' });
}

// The replay script that gives the headless program the browser's frames:
// the same clock steps and the same keys, frame by frame; shots where the
// browser captured.
function replayScript(run, shots) {
  const lines = [];
  let tick = run.startTick;
  let ms = -1;
  let bits = 0;
  run.log.forEach(([frameTick, frameBits], i) => {
    const step = (frameTick - tick) >>> 0;
    tick = frameTick;
    if (step !== ms) {
      lines.push(`ms ${step}`);
      ms = step;
    }
    KEY_NAMES.forEach((name, k) => {
      const down = (frameBits >> k) & 1;
      if (down !== ((bits >> k) & 1))
        lines.push(`${down ? 'down' : 'up'} ${name}`);
    });
    bits = frameBits;
    lines.push('frames 1');
    for (const [file, frame] of shots) {
      if (frame === i + 1)
        lines.push(`shot ${file}`);
    }
  });
  return lines.join('\n') + '\n';
}

// Runs the browser's frames on the headless program in a fresh folder of the
// same files; answers the folder (with the shots and any written file).
function replay(run, shots, leaveOut = []) {
  const dir = gameFolder('replay', leaveOut);
  fs.writeFileSync(path.join(dir, 'run.txt'), replayScript(run, shots));
  execFileSync(config.tool, ['replay', 'run.txt'], { cwd: dir, stdio: ['ignore', 'ignore', 'inherit'] });
  if (process.env.SHINDAN_WEB_KEEP)
    console.log(`replay kept in ${dir}`);
  return dir;
}

// RGB bytes of an 8-bit RGB PNG, as the replay writes them.
function readPng(file) {
  const data = fs.readFileSync(file);
  let at = 8;
  let width = 0;
  let height = 0;
  const idat = [];
  while (at < data.length) {
    const length = data.readUInt32BE(at);
    const type = data.toString('latin1', at + 4, at + 8);
    const body = data.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      assert.equal(body[8], 8, 'bit depth');
      assert.equal(body[9], 2, 'RGB colour');
      assert.equal(body[12], 0, 'no interlace');
    } else if (type === 'IDAT') {
      idat.push(body);
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * 3;
  const out = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    const row = out.subarray(y * stride, (y + 1) * stride);
    const prev = y > 0 ? out.subarray((y - 1) * stride, y * stride) : Buffer.alloc(stride);
    for (let x = 0; x < stride; ++x) {
      const a = x >= 3 ? row[x - 3] : 0;
      const b = prev[x];
      const c = x >= 3 ? prev[x - 3] : 0;
      let v = line[x];
      if (filter === 1) {
        v += a;
      } else if (filter === 2) {
        v += b;
      } else if (filter === 3) {
        v += (a + b) >> 1;
      } else if (filter === 4) {
        const p = a + b - c;
        const pa = Math.abs(p - a);
        const pb = Math.abs(p - b);
        const pc = Math.abs(p - c);
        v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      row[x] = v & 255;
    }
  }
  return out;
}

// Compares a browser capture with a replay shot; on a difference names the
// first differing pixel and how many differ.
function assertSameScreen(captured, pngFile, what) {
  const browser = Buffer.from(captured.rgb, 'base64');
  const headless = readPng(pngFile);
  assert.equal(browser.length, headless.length, `${what}: size`);
  let first = -1;
  let count = 0;
  for (let i = 0; i < browser.length; i += 3) {
    if (browser[i] !== headless[i] || browser[i + 1] !== headless[i + 1] || browser[i + 2] !== headless[i + 2]) {
      if (first < 0)
        first = i / 3;
      ++count;
    }
  }
  assert.equal(count, 0,
    `${what} (frame ${captured.frame}): ${count} pixels differ, first at (${first % 640}, ${Math.floor(first / 640)})`);
}

// ---- Scenario runner

// A scenario may hold back files of the site: t.hold(path) answers a
// function that sends the file once called.
async function run(scenarios) {
  const only = process.argv.slice(2);
  const chosen = only.length ? scenarios.filter((s) => only.includes(s.name)) : scenarios;
  assert.ok(chosen.length > 0, `no scenario named ${only.join(' ')}`);
  const extra = tempDir('packs');
  const held = new Map();
  const requests = [];
  const server = await serve(config.site, extra, { hold: (name) => held.get(name) || null, requests });
  const origin = `http://127.0.0.1:${server.address().port}`;
  let passed = 0;
  let failed = 0;
  for (const scenario of chosen) {
    const { browser, profile } = await launch();
    requests.length = 0;
    const t = {
      browser, origin, packs: extra, requests,
      hold(name) {
        let release;
        held.set(name, new Promise((r) => {
          release = r;
        }));
        return () => {
          held.delete(name);
          release();
        };
      },
    };
    const started = Date.now();
    try {
      await scenario.run(t);
      ++passed;
      console.log(`ok ${scenario.name} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
    } catch (e) {
      ++failed;
      console.log(`not ok ${scenario.name}: ${e.stack || e}`);
    } finally {
      await browser.close();
      fs.rmSync(profile, { recursive: true, force: true });
    }
  }
  server.close();
  fs.rmSync(extra, { recursive: true, force: true });
  console.log(`${passed} passed, ${failed} failed`);
  process.exitCode = failed ? 1 : 0;
}

module.exports = {
  assert, config, serve, launch, openGame, frames, untilFrame, keyTap, buttonTap, pictureTap, sounds, tapUntilSound,
  capture,
  gameFolder, makePack, replay, readPng, assertSameScreen, run, tempDir,
};
