// The service worker: keeps the whole site, both editions with their tunes,
// so that the game loads and plays without a network after the first visit.
//
// Each build is one cache, named after the build's version, a hash of all
// the site's files (scripts/web-service-worker writes it and every file's
// own hash into the SITE line when the site is built). A new build installs
// beside the old one and takes over only once no page runs the old one, or
// when a page asks it to and reloads; its cache is filled whole and checked
// file by file against the hashes before that, so a page is always served
// one build, never a mix of two.
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

async function keep(cache, path, hash) {
  const url = new URL(path, self.registration.scope).href;
  if (await cache.match(url))
    return;  // kept by an install that was cut short
  // Asked of the server, not of the browser's cache, which may hold the
  // file of another build.
  const response = await fetch(url, { cache: 'no-cache' });
  if (!response.ok)
    throw new Error(`${path}: ${response.status}`);
  const bytes = await response.clone().arrayBuffer();
  if (hex(await crypto.subtle.digest('SHA-256', bytes)) !== hash)
    throw new Error(`${path} is not this build's`);
  await cache.put(url, response);
}

async function fill() {
  const cache = await caches.open(CACHE);
  const todo = Object.entries(SITE.files);
  try {
    await Promise.all(Array.from({ length: PARALLEL }, async () => {
      while (todo.length) {
        const [path, hash] = todo.shift();
        await keep(cache, path, hash);
      }
    }));
  } catch (error) {
    // The server holds another build by now, or went away: no half cache.
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
