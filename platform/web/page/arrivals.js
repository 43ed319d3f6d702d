// The packs that come after the start: the question and analysis pictures,
// the other sounds, and the tunes. They are fetched one after another once
// the title shows, and unpacked in a worker (pack-worker.js), so that the
// page's thread, which runs the title, never stops long for them. The
// program asks here whether a file is still on its way (web_files.cpp,
// web_sound.cpp) and fills its pictures and sounds in as they arrive; a test
// started before they are all in waits at its start (input.js holds the
// press back) with the progress shown.

import { $, GAME_DIR, testing } from './common.js';
import { holdStarts, letStartsThrough } from './input.js';
import { texts } from './ui.js';

// What the later packs bring: name -> 0 coming, 1 here, 2 never; the
// pictures' sizes; how many packs have settled; per pack, its size and the
// bytes so far (only the packs of pictures and sounds count for the
// progress, not the tunes); the program's own count of pictures filled in.
const late = {
  names: new Map(),
  pictures: new Map(),
  arrivals: 0,
  sizes: [],
  got: [],
  done: 0,
  total: 0,
  ready: true,
};
let waitingShown = false;

function gameName(path) {
  const dir = `${GAME_DIR}/`;
  return path.startsWith(dir) ? path.slice(dir.length) : path;
}

const forTests = (name) => /\.(bm|wav)$/i.test(name);

// Mostly the download; the last tenth is the program taking the files in.
function showProgress() {
  if (!waitingShown)
    return;
  const size = late.sizes.reduce((a, b) => a + b, 0);
  const got = late.got.reduce((a, b) => a + b, 0);
  const bytes = size > 0 ? Math.min(1, got / size) : 1;
  const taken = late.total > 0 ? late.done / late.total : 0;
  $('progress').value = 0.9 * bytes + 0.1 * taken;
}

function showWaiting() {
  if (waitingShown || late.ready)
    return;
  waitingShown = true;
  $('loading-text').textContent = texts().waiting;
  $('loading').hidden = false;
  showProgress();
}

// ---- Fetching: in the worker, tried three times

let worker = null;
let nextJob = 1;
const jobs = new Map();  // id -> { resolve, reject, onBytes }

function unpackInWorker(url, onBytes) {
  if (!worker) {
    worker = new Worker('pack-worker.js');
    worker.addEventListener('message', (e) => {
      const d = e.data;
      const job = jobs.get(d.id);
      if (!job)
        return;
      if (d.error) {
        jobs.delete(d.id);
        job.reject(new Error(d.error));
      } else if (d.raw) {
        jobs.delete(d.id);
        const bytes = new Uint8Array(d.raw);
        let at = d.at;
        job.resolve(d.files.map(([name, size]) => {
          const file = [name, bytes.subarray(at, at + size)];
          at += size;
          return file;
        }));
      } else {
        job.onBytes(d.got, d.total);
      }
    });
  }
  return new Promise((resolve, reject) => {
    const id = nextJob++;
    jobs.set(id, { resolve, reject, onBytes });
    worker.postMessage({ id, url: new URL(url, location.href).href });
  });
}

const pause = (ms) => new Promise((r) => setTimeout(r, ms));

async function fetchLater(p, onBytes, fallback) {
  for (let attempt = 0; attempt < 3; ++attempt) {
    try {
      return typeof Worker === 'function' ? await unpackInWorker(p.file, onBytes) : await fallback(p.file, onBytes);
    } catch (error) {
      console.warn(error);
      await pause(1000 << attempt);
    }
  }
  return null;
}

// Takes note of what the later packs bring, then, once `when` settles,
// fetches them one after another in the listed order. Answers a promise per
// pack of its files ([name, bytes]), or of null when it could not be had;
// fallback(url, onBytes) fetches a pack where there are no workers.
export function fetchInTurn(later, when, fallback) {
  for (const p of later) {
    for (const name of p.names)
      late.names.set(name, 0);
    for (const [name, size] of Object.entries(p.pictures || {}))
      late.pictures.set(name, size);
  }
  const onBytes = later.map((p, i) => {
    late.sizes.push(p.names.some(forTests) ? p.size || 0 : 0);
    late.got.push(0);
    return (got) => {
      late.got[i] = got;
      showProgress();
    };
  });
  late.ready = !later.some((p) => p.names.some(forTests));
  if (!late.ready)
    holdStarts(showWaiting);
  const settle = [];
  const packs = later.map(() => new Promise((resolve) => settle.push(resolve)));
  when.then(async () => {
    for (let i = 0; i < later.length; ++i)
      settle[i](await fetchLater(later[i], onBytes[i], fallback));
  });
  return packs;
}

// A later pack is in its place, or will not come.
export function packSettled(p, got) {
  for (const name of p.names)
    late.names.set(name, got ? 1 : 2);
  ++late.arrivals;
}

// What the program asks about the files of the later packs.
export const arrivalsHost = {
  // 0 while on its way, 1 once in the program's folder, 2 when it will not
  // come (as for any file no later pack brings).
  fileState(path) {
    const name = gameName(path);
    return late.names.has(name) ? late.names.get(name) : 2;
  },
  // [width, height] of a picture still on its way, else null.
  pictureComing(path) {
    const name = gameName(path);
    return late.names.get(name) === 0 ? late.pictures.get(name) || null : null;
  },
  arrivals() {
    return late.arrivals;
  },
  lateProgress(done, total) {
    late.done = done;
    late.total = total;
    showProgress();
  },
  // Every picture and sound the program asked for is in (or never comes).
  filesReady() {
    if (late.ready)
      return;
    late.ready = true;
    if (testing.record)
      testing.record.filesReadyAt = performance.now();
    letStartsThrough();
    if (waitingShown) {
      waitingShown = false;
      $('loading').hidden = true;
    }
  },
};
