// Packs and loading: the list of editions (packs.json), the packs of the
// chosen one fetched and unpacked into the program's folder, the program
// itself, and its start once everything it needs first is in.

import { $, GAME_DIR, arriving, edition, game, params, testing } from './common.js';
import { decodeLater } from './audio.js';
import { frameWatch, host } from './bridge.js';
import { restoreFiles } from './files.js';
import { layout, screen } from './screen.js';
import { applyTexts, chooseLanguage } from './ui.js';

const afterFirstFrame = new Promise((resolve) => {
  frameWatch.first = resolve;
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
    game.Module.FS.writeFile(`${GAME_DIR}/${name}`, data, { canOwn: true });
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

// A pack named in the address is taken only from this site: a link must not
// make the game's page show somebody else's pictures. Answers the pack's
// address, or null when there is none or it lies elsewhere.
function ownPack(wanted) {
  if (!wanted)
    return null;
  let url;
  try {
    url = new URL(wanted, location.href);
  } catch (_) {
    url = null;
  }
  if (!url || url.origin !== location.origin) {
    console.warn(`pack ${wanted} ignored: only packs of this site are loaded`);
    return null;
  }
  return url.href;
}

export async function start() {
  layout();
  const stage = (name) => {
    if (testing.record)
      testing.record.loadTimes[name] = performance.now();
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

  edition.packs = await (await fetch('packs.json')).json();
  const lang = chooseLanguage();
  const pack = edition.packs.find((p) => p.lang === lang);
  edition.pack = pack;
  applyTexts();
  layout();
  // ?pack=PATH: one pack with every file, in place of the edition's.
  const custom = ownPack(params.get('pack'));
  const first = custom ? [{ file: custom, size: 0 }] : pack.first;
  const later = custom ? [] : pack.later || [];

  const progress = progressOf(first);
  const firstFiles = Promise.all(first.map((p, i) => fetchPack(p.file, progress(i))))
    .then((lists) => (stage('pack'), lists.flat()));
  // The packs the program can start without are fetched once the first
  // frame shows, so that they take nothing from the way there.
  const laterPacks = later.map((p) => afterFirstFrame.then(() => fetchPack(p.file)).catch(() => null));
  screen();
  if (testing.record)
    testing.record.screen = screen().packed ? 'webgl2' : '2d';
  const [files, ready] = await Promise.all([firstFiles, program]);
  game.Module = ready;
  const FS = ready.FS;
  FS.mkdir(GAME_DIR);
  const packNames = new Set(files.map(([name]) => name));
  edition.packNames = packNames;
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
  decodeLater([...packNames].filter((name) => name.endsWith('.opus')).map((name) => `${GAME_DIR}/${name}`));
  if (testing.record)
    testing.record.fs = FS;
  setProgress(1);
  $('loading').hidden = true;
  stage('main');
  game.Module.callMain([]);
}

