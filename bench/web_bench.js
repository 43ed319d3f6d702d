// Drives scripts/bench-web: the frame benchmark page in a headless Chromium,
// the site's size, and how soon the title's first frame shows.
//
//   node web_bench.js BENCH_SITE SITE
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const h = require('../tests/web/harness');

function siteSize(dir) {
  let raw = 0;
  let gz = 0;
  for (const entry of fs.readdirSync(dir, { withFileTypes: true, recursive: true })) {
    if (!entry.isFile())
      continue;
    const data = fs.readFileSync(path.join(entry.parentPath || entry.path, entry.name));
    raw += data.length;
    gz += zlib.gzipSync(data, { level: 9 }).length;
  }
  return { raw, gz };
}

const mb = (n) => `${(n / 1e6).toFixed(2)} MB`;

async function main() {
  const [benchSite, site] = process.argv.slice(2);
  const { browser, profile } = await h.launch();
  try {
    // Frames.
    let server = await h.serve(benchSite, null, { isolated: true });
    let page = await browser.newPage();
    const lines = [];
    const done = new Promise((resolve) => {
      page.on('console', (m) => {
        const text = m.text();
        if (text.startsWith('|'))
          lines.push(text);
        if (text.startsWith('web-bench:'))
          resolve(text);
      });
    });
    await page.goto(`http://127.0.0.1:${server.address().port}/${process.env.BENCH_QUERY || ""}`);
    const end = await done;
    if (end !== 'web-bench: done')
      throw new Error(end);
    console.log(lines.join('\n'));
    await page.close();
    server.close();

    // Size.
    const size = siteSize(site);
    console.log(`\nsite: ${mb(size.raw)} raw, ${mb(size.gz)} with gzip (each file at level 9)`);

    // First frames, each load in a fresh context with nothing cached.
    server = await h.serve(site);
    const first = [];
    const stages = [];
    for (let i = 0; i < 5; ++i) {
      const context = await browser.createBrowserContext();
      page = await context.newPage();
      await page.goto(`http://127.0.0.1:${server.address().port}/?test`);
      await page.waitForFunction(() => window.shindanTest && shindanTest.frames >= 2, { timeout: 60000 });
      const t = await page.evaluate(() => Object.assign({ frame: shindanTest.firstFrameAt }, shindanTest.loadTimes));
      first.push(t.frame);
      stages.push(t);
      await context.close();
    }
    server.close();
    const median = (key) => stages.map((t) => t[key]).sort((a, b) => a - b)[2].toFixed(0);
    console.log(`loading, median ms after the start: pack ${median('pack')}, script ${median('script')}, ` +
      `program ready ${median('program')}, files in place ${median('main')}, first frame ${median('frame')}`);
    first.sort((a, b) => a - b);
    console.log(`title's first frame after the page starts loading: median ${first[2].toFixed(0)} ms ` +
      `(fastest ${first[0].toFixed(0)} ms, slowest ${first[4].toFixed(0)} ms, 5 loads)`);
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

main().catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
