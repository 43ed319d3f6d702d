// The service worker: keeps the whole site, both editions with their tunes,
// so that the game loads and plays without a network after the first visit.
//
// Each build is one cache, named after the build's version, a hash of all
// the site's files (scripts/web-service-worker writes it and every file's
// own hash into the SITE line when the site is built). A new build installs
// beside the old one and takes over only once no page runs the old one, or
// when a page asks it to and reloads; every file is fetched and checked
// against its hash before any is kept, so a page is always served one build,
// never a mix of two.
'use strict';

const SITE = { version: 'unbuilt', files: {} };  // replaced with the build's when the site is made
const PREFIX = 'shindan-';
const CACHE = PREFIX + SITE.version;
// Files fetched at once while filling the cache.
const PARALLEL = 4;

function hex(buffer) {
  return [...new Uint8Array(buffer)].map((b) => b.toString(16).padStart(2, '0')).join('');
}

// The site's path of a URL under this worker's scope, or null.
function sitePath(url) {
  const scope = self.registration.scope;
  if (!url.startsWith(scope))
    return null;
  return url.slice(scope.length).replace(/[?#].*$/, '');
}

async function fetchBytes(url, mode) {
  const response = await fetch(url, { cache: mode });
  if (!response.ok)
    throw new Error(`${url}: ${response.status}`);
  return [response, await response.arrayBuffer()];
}

// One file of this build, checked against its hash: [url, response]. Most
// files this visit has just fetched lie in the browser's cache, which is
// asked first, so that a phone does not download them twice; one that is
// not this build's there is asked of the server.
async function fetchChecked(path, hash) {
  const url = new URL(path, self.registration.scope).href;
  const matches = async (bytes) => hex(await crypto.subtle.digest('SHA-256', bytes)) === hash;
  let [response, bytes] = await fetchBytes(url, 'default');
  if (!await matches(bytes)) {
    [response, bytes] = await fetchBytes(url, 'reload');
    if (!await matches(bytes))
      throw new Error(`${path} is not this build's`);
  }
  // Kept as the bytes the page reads: only their type goes with them, not
  // the server's encoding or length.
  const type = response.headers.get('Content-Type');
  return [url, new Response(bytes, { headers: type ? { 'Content-Type': type } : {} })];
}

// The whole build is fetched and checked before anything is kept: a server
// that holds another build by now, or went away, leaves no cache behind.
async function fill() {
  const todo = Object.entries(SITE.files);
  const got = [];
  await Promise.all(Array.from({ length: PARALLEL }, async () => {
    while (todo.length) {
      const [path, hash] = todo.shift();
      got.push(await fetchChecked(path, hash));
    }
  }));
  const cache = await caches.open(CACHE);
  try {
    for (const [url, response] of got)
      await cache.put(url, response);
  } catch (error) {
    // Out of room: no half cache either.
    await caches.delete(CACHE);
    throw error;
  }
}

self.addEventListener('install', (event) => {
  event.waitUntil(fill());
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const key of await caches.keys()) {
      if (key.startsWith(PREFIX) && key !== CACHE)
        await caches.delete(key);
    }
  })());
});

// A page that found this build waiting asks for it now, then reloads.
self.addEventListener('message', (event) => {
  if (event.data === 'take-over')
    self.skipWaiting();
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET')
    return;
  let path = sitePath(request.url);
  if (path === null)
    return;
  // Every address of the page itself, whatever its query, is index.html.
  if (request.mode === 'navigate' && (path === '' || path === 'index.html'))
    path = 'index.html';
  if (!Object.prototype.hasOwnProperty.call(SITE.files, path))
    return;
  event.respondWith((async () => {
    const cache = await caches.open(CACHE);
    const kept = await cache.match(new URL(path, self.registration.scope).href);
    return kept || fetch(request);
  })());
});
