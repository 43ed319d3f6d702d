// The site as a slow phone on mobile data gets it, for scripts/bench-web:
// bytes served before the title's first frame and the time to it, and the
// longest main-thread task once the title shows; then Lighthouse's mobile
// scores.
//
// The network is slowed at the server, not in the browser: DevTools slows
// only the page's own requests, and the page unpacks its later packs in a
// worker whose fetches it would leave fast. Here every response, the
// worker's and the service worker's included, waits a round trip (two on a
// new connection) and then shares one downlink of the given rate with all
// the others, chunk by chunk; the bytes are counted as they leave. Text,
// scripts and WebAssembly go gzip-compressed, as any web server sends them
// to a browser that asks (the packs are gzip already).
'use strict';

const crypto = require('node:crypto');
const fs = require('node:fs');
const zlib = require('node:zlib');
const http = require('node:http');
const path = require('node:path');
const { spawn } = require('node:child_process');

const PHONE = {
  cpu: 4,               // times slower
  downBytesPerMs: 200,  // 1.6 Mbit/s
  roundTripMs: 150,
};
const CHUNK = 8192;
const COMPRESSED = new Set(['.html', '.js', '.css', '.json', '.webmanifest', '.wasm']);

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.css': 'text/css',
  '.json': 'application/json',
  '.webmanifest': 'application/manifest+json',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
};

const sleep = (ms) => new Promise((r) => setTimeout(r, Math.max(0, ms)));

// A static server of site over a phone's link. sent holds [epoch ms, bytes]
// for every chunk that left; busy counts responses still going.
function phoneServer(site) {
  const state = { sent: [], busy: 0, lastDone: Date.now(), linkFree: 0 };
  const server = http.createServer(async (req, res) => {
    ++state.busy;
    try {
      const fresh = !req.socket.seenRequest;
      req.socket.seenRequest = true;
      await sleep(PHONE.roundTripMs * (fresh ? 2 : 1));
      let name = decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname);
      if (name.endsWith('/'))
        name += 'index.html';
      const file = path.join(site, path.normalize(name).replace(/^(\.\.[/\\])+/, ''));
      let data;
      try {
        data = fs.readFileSync(file);
      } catch (_) {
        res.writeHead(404);
        res.end();
        return;
      }
      // Validators, as any static server gives them: the service worker's
      // second fetch of a file the page has just fetched is then answered
      // from the browser's cache, or with a 304 and no body.
      const etag = `"${crypto.createHash('sha1').update(data).digest('hex')}"`;
      if (req.headers['if-none-match'] === etag) {
        res.writeHead(304, { ETag: etag });
        res.end();
        return;
      }
      const headers = {
        'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
        'ETag': etag,
        'Last-Modified': fs.statSync(file).mtime.toUTCString(),
      };
      if (COMPRESSED.has(path.extname(file)) && /\bgzip\b/.test(req.headers['accept-encoding'] || '')) {
        data = zlib.gzipSync(data, { level: 6 });
        headers['Content-Encoding'] = 'gzip';
      }
      headers['Content-Length'] = data.length;
      res.writeHead(200, headers);
      for (let at = 0; at < data.length; at += CHUNK) {
        const chunk = data.subarray(at, at + CHUNK);
        const now = Date.now();
        const start = Math.max(now, state.linkFree);
        state.linkFree = start + chunk.length / PHONE.downBytesPerMs;
        await sleep(state.linkFree - now);
        res.write(chunk);
        state.sent.push([Date.now(), chunk.length]);
      }
      res.end();
    } finally {
      --state.busy;
      state.lastDone = Date.now();
    }
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve({ server, state })));
}

// Registered before the page's own scripts: every main-thread task of 50 ms
// or more, with its start.
function watchLongTasks() {
  window.longTasks = [];
  new PerformanceObserver((list) => {
    for (const e of list.getEntries())
      window.longTasks.push([e.startTime, e.duration]);
  }).observe({ type: 'longtask', buffered: true });
}

// The tasks' own processor time, from a trace of the page's thread. On a
// busy machine a task's wall time grows with everybody else's work (the
// workers and the graphics process share its two cores here), so the
// processor time is the measure that belongs to the page. Chromium's
// slowdown keeps the thread busy rather than asleep, so that time is already
// the slowed one, and is taken as it is. Counted from the title's first
// frame to the page's 'measured' mark, which the bench sets before it stops
// the trace (stopping it is a long task of its own).
const TRACE_CATEGORIES = ['toplevel', 'blink.user_timing', 'devtools.timeline'];

function processorTimes(trace, origin, frameAt) {
  const events = trace.traceEvents || trace;
  // The first frame on the trace's clock: the page's mark, else the page's
  // start plus its own time of the first frame; the page's process is the
  // one that marked it.
  const mark = events.find((e) => e.name === 'first-frame');
  const start = events.filter((e) => e.name === 'navigationStart' && e.args && e.args.data &&
    String(e.args.data.documentLoaderURL || '').startsWith(origin)).pop();
  const from = mark ? mark.ts : start ? start.ts + frameAt * 1000 : 0;
  const end = events.find((e) => e.name === 'measured');
  const until = end ? end.ts : Infinity;
  const pid = (mark || start || {}).pid;
  const main = new Set(events.filter((e) => e.name === 'thread_name' && e.args.name === 'CrRendererMain' &&
    e.pid === pid).map((e) => `${e.pid}:${e.tid}`));
  // Tasks nest (a task runs inside the scheduler's own): only the outermost
  // of each is counted.
  const task = events.some((e) => e.name === 'ThreadControllerImpl::RunTask') ? 'ThreadControllerImpl::RunTask' : 'RunTask';
  let outerEnd = -1;
  const cpu = [];
  for (const e of events.filter((x) => x.name === task && x.ph === 'X' && x.ts >= from && x.ts + x.dur <= until &&
    main.has(`${x.pid}:${x.tid}`) && x.tdur !== undefined).sort((a, b) => a.ts - b.ts)) {
    if (e.ts < outerEnd)
      continue;
    outerEnd = e.ts + e.dur;
    cpu.push(e.tdur / 1000);
  }
  return { longest: cpu.length ? Math.max(...cpu) : 0, over: cpu.filter((ms) => ms >= 50).length };
}

// The first frame's time on the page's clock: its own mark where it sets
// one, else the test hooks' record.
function firstFrame() {
  const mark = performance.getEntriesByName('first-frame')[0];
  if (mark)
    return mark.startTime;
  return window.shindanTest && shindanTest.frames >= 1 ? shindanTest.firstFrameAt : null;
}

async function phoneLoad(browser, site, query) {
  const { server, state } = await phoneServer(site);
  const context = await browser.createBrowserContext();
  try {
    const page = await context.newPage();
    await page.setViewport({ width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 2 });
    const session = await page.createCDPSession();
    await session.send('Emulation.setCPUThrottlingRate', { rate: PHONE.cpu });
    await page.evaluateOnNewDocument(watchLongTasks);
    const origin = `http://127.0.0.1:${server.address().port}`;
    await page.tracing.start({ categories: TRACE_CATEGORIES });
    await page.goto(`${origin}/?test&lang=ja${query}`, { timeout: 120000 });
    await page.waitForFunction(firstFrame, { timeout: 120000, polling: 100 });
    const [frameAt, timeOrigin] = await page.evaluate(
      `[(${firstFrame.toString()})(), performance.timeOrigin]`);
    const frameEpoch = timeOrigin + frameAt;
    // Then the title plays on while the rest comes in, until the link has
    // been quiet for three seconds.
    const until = Date.now() + 120000;
    while (Date.now() < until && (state.busy > 0 || Date.now() - state.lastDone < 3000))
      await sleep(250);
    const tasks = await page.evaluate("performance.mark('measured'), window.longTasks");
    const cpu = processorTimes(JSON.parse(Buffer.from(await page.tracing.stop()).toString()), origin, frameAt);
    const after = tasks.filter(([start]) => start >= frameAt).map(([, d]) => d);
    const bytesBefore = state.sent.filter(([t]) => t <= frameEpoch).reduce((a, [, n]) => a + n, 0);
    const bytesAll = state.sent.reduce((a, [, n]) => a + n, 0);
    return {
      frameMs: frameAt,
      bytesBefore,
      bytesAll,
      longest: after.length ? Math.max(...after) : 0,
      longCount: after.length,
      longestCpu: cpu.longest,
      cpuOver: cpu.over,
    };
  } finally {
    await context.close();
    server.close();
  }
}

const kb = (n) => `${(n / 1000).toFixed(0)} KB`;

// The screen the page chooses (on this machine without a graphics
// processor, the 2D canvas), and WebGL 2 asked for by name, drawn here by
// the processor and read back on every frame.
async function phoneProfile(browser, site, loads = 3) {
  const all = {};
  for (const [what, query] of [['the screen the page chooses', ''], ['WebGL 2, asked for', '&screen=webgl']]) {
    const runs = [];
    for (let i = 0; i < loads; ++i)
      runs.push(await phoneLoad(browser, site, query));
    all[what] = runs;
    const median = (key) => runs.map((r) => r[key]).sort((a, b) => a - b)[Math.floor(loads / 2)];
    console.log(`\nphone profile, ${what} (CPU ${PHONE.cpu}x slower, ${PHONE.downBytesPerMs * 8 / 1000} Mbit/s down, ` +
      `${PHONE.roundTripMs} ms round trip; median of ${loads} fresh loads):`);
    console.log(`  served before the title's first frame  ${kb(median('bytesBefore')).padStart(9)}` +
      `   (target at most 400 KB)`);
    console.log(`  title's first frame after the start    ${(median('frameMs') / 1000).toFixed(2).padStart(7)} s`);
    console.log(`  served in all, once the link is quiet  ${kb(median('bytesAll')).padStart(9)}`);
    console.log(`  longest main-thread task after it      ${median('longest').toFixed(0).padStart(6)} ms` +
      `   (runs: ${runs.map((r) => `${r.longest.toFixed(0)} ms/${r.longCount}`).join(', ')} of 50 ms or more)`);
    console.log(`    in processor time (slowed)            ${median('longestCpu').toFixed(0).padStart(6)} ms` +
      `   (target under 50 ms; runs: ${runs.map((r) => `${r.longestCpu.toFixed(0)} ms/${r.cpuOver}`).join(', ')} of 50 ms or more)`);
  }
  return all;
}

// Lighthouse's mobile profile on the site as served from this machine, once
// with the screen the page chooses and once with WebGL 2 asked for: without
// a graphics processor WebGL runs on the processor (SwiftShader), and shows
// up as time on the page's thread that a phone would not spend there.
async function lighthouse(site, lighthouseBin, serve) {
  if (!lighthouseBin || !fs.existsSync(lighthouseBin)) {
    console.log('\nLighthouse: not installed (scripts/bench-web installs it from bench/lighthouse)');
    return null;
  }
  const server = await serve(site);
  const out = path.join(path.dirname(lighthouseBin), '..', '..', 'report.json');
  const reports = [];
  try {
    for (const query of ['', '?screen=webgl']) {
      await run(lighthouseBin, [
        `http://127.0.0.1:${server.address().port}/${query}`,
        '--output=json', `--output-path=${out}`, '--quiet',
        '--only-categories=performance,accessibility,best-practices,seo',
        '--chrome-flags=--headless=new --no-sandbox --disable-dev-shm-usage',
      ], Object.assign({}, process.env, { CHROME_PATH: '/usr/bin/chromium' }));
      const report = JSON.parse(fs.readFileSync(out, 'utf8'));
      reports.push(report);
      printLighthouse(report, query ? 'WebGL 2, asked for' : 'the screen the page chooses');
    }
  } finally {
    server.close();
  }
  return reports;
}

// Runs a program to its end without blocking this process: the server the
// program's browser loads the site from lives in this process, and a
// synchronous run would leave every request unanswered until the browser
// gives up.
function run(bin, args, env) {
  return new Promise((resolve, reject) => {
    const child = spawn(bin, args, { env, stdio: ['ignore', 'ignore', 'inherit'] });
    child.on('error', reject);
    child.on('exit', (code, signal) => (code === 0 ? resolve()
      : reject(new Error(`${path.basename(bin)} ended with ${signal || `status ${code}`}`))));
  });
}

function printLighthouse(report, what) {
  const score = (id) => Math.round(report.categories[id].score * 100);
  console.log(`\nLighthouse ${report.lighthouseVersion}, mobile, ${what}: performance ${score('performance')}, ` +
    `accessibility ${score('accessibility')}, best practices ${score('best-practices')}, SEO ${score('seo')}` +
    '   (target 100 for all but performance)');
  if (report.runtimeError)
    console.log(`  (${report.runtimeError.message})`);
  for (const [id, category] of Object.entries(report.categories)) {
    for (const ref of category.auditRefs) {
      const audit = report.audits[ref.id];
      if (ref.weight > 0 && audit.score !== null && audit.score < 1 && id !== 'performance')
        console.log(`  ${id}: ${audit.id}: ${audit.title}`);
    }
  }
  const metric = (id) => report.audits[id] && report.audits[id].displayValue;
  console.log(`  first contentful paint ${metric('first-contentful-paint')}, largest ${metric('largest-contentful-paint')}, ` +
    `total blocking time ${metric('total-blocking-time')}, speed index ${metric('speed-index')}`);
}

module.exports = { phoneProfile, lighthouse };
