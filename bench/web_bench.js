// Drives scripts/bench-web: the frame benchmark page in a headless Chromium,
// the site's size, how soon the title's first frame shows, the same on a
// slow phone's link and processor, and Lighthouse's scores.
//
//   node web_bench.js BENCH_SITE SITE [LIGHTHOUSE]
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const h = require('../tests/web/harness');
const phone = require('./web_phone');

function siteSize(dir) {
  let raw = 0;
  let gz = 0;
  const files = [];
  for (const entry of fs.readdirSync(dir, { withFileTypes: true, recursive: true })) {
    if (!entry.isFile())
      continue;
    const file = path.join(entry.parentPath || entry.path, entry.name);
    const data = fs.readFileSync(file);
    const packed = zlib.gzipSync(data, { level: 9 }).length;
    files.push({ name: path.relative(dir, file), raw: data.length, gz: packed });
    raw += data.length;
    gz += packed;
  }
  files.sort((a, b) => b.raw - a.raw);
  return { raw, gz, files };
}

const mb = (n) => `${(n / 1e6).toFixed(2)} MB`;

async function main() {
  const [benchSite, site, lighthouseBin] = process.argv.slice(2);
  const { browser, profile } = await h.launch();
  try {
    // Frames: with WebGL 2, then with the 2D canvas, each asked for by name
    // (without a graphics processor the page itself would choose the 2D
    // canvas).
    const frameServer = await h.serve(benchSite, null, { isolated: true });
    for (const query of ['?screen=webgl', '?screen=2d']) {
      const page = await browser.newPage();
      const lines = [];
      const done = new Promise((resolve) => {
        page.on('console', (m) => {
          const text = m.text();
          if (text.startsWith('|') || text.startsWith('screen:'))
            lines.push(text);
          if (text.startsWith('web-bench:'))
            resolve(text);
        });
      });
      await page.goto(`http://127.0.0.1:${frameServer.address().port}/${query}`);
      const end = await done;
      if (end !== 'web-bench: done')
        throw new Error(end);
      console.log(lines.join('\n') + '\n');
      await page.close();
    }
    frameServer.close();

    // Size.
    const size = siteSize(site);
    console.log(`site: ${mb(size.raw)} raw, ${mb(size.gz)} with gzip (each file at level 9)`);
    for (const f of size.files)
      console.log(`  ${f.name.padEnd(20)} ${mb(f.raw).padStart(9)} raw ${mb(f.gz).padStart(9)} gzip`);

    // First frames, each load in a fresh context with nothing cached.
    const server = await h.serve(site);
    const first = [];
    const stages = [];
    const loads = 9;
    for (let i = 0; i < loads; ++i) {
      const context = await browser.createBrowserContext();
      const page = await context.newPage();
      await page.goto(`http://127.0.0.1:${server.address().port}/?test`);
      await page.waitForFunction(() => window.shindanTest && shindanTest.frames >= 2, { timeout: 60000 });
      const t = await page.evaluate(() => Object.assign({ frame: shindanTest.firstFrameAt }, shindanTest.loadTimes));
      first.push(t.frame);
      stages.push(t);
      await context.close();
    }
    server.close();
    const mid = Math.floor(loads / 2);
    const median = (key) => stages.map((t) => t[key]).sort((a, b) => a - b)[mid].toFixed(0);
    console.log(`\nloading, median ms after the start: packs needed first ${median('pack')}, script ${median('script')}, ` +
      `program ready ${median('program')}, files in place ${median('main')}, first frame ${median('frame')}`);
    first.sort((a, b) => a - b);
    console.log(`title's first frame after the page starts loading: median ${first[mid].toFixed(0)} ms ` +
      `(fastest ${first[0].toFixed(0)} ms, slowest ${first[loads - 1].toFixed(0)} ms, ${loads} loads)`);

    await phone.phoneProfile(browser, site);
    await phone.lighthouse(site, lighthouseBin, h.serve);
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

main().catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
