// Playing without a network: the service worker (sw.js) keeps the whole
// site, both editions with their tunes, once it has been visited.
//
// It is registered once this visit has everything it needs (siteLoaded), so
// that keeping the site takes nothing from the start. When a new build has
// been installed beside the one this page runs, a button offers it: the page
// then lets it take over and reloads.

import { $ } from './common.js';
import { texts } from './ui.js';

let loaded;
const allIn = new Promise((resolve) => {
  loaded = resolve;
});

// The packs of this visit are all in (or failed).
export function siteLoaded() {
  loaded();
}

function offerUpdate(worker) {
  if ($('update'))
    return;
  const b = document.createElement('button');
  b.type = 'button';
  b.id = 'update';
  b.textContent = texts().update;
  b.addEventListener('click', () => {
    navigator.serviceWorker.addEventListener('controllerchange', () => location.reload());
    worker.postMessage('take-over');
  });
  document.querySelector('header').append(b);
}

// A worker that has installed while an older one controls this page.
function offerWhenInstalled(worker) {
  if (!worker || !navigator.serviceWorker.controller)
    return;
  const show = () => {
    if (worker.state === 'installed')
      offerUpdate(worker);
  };
  worker.addEventListener('statechange', show);
  show();
}

export function registerServiceWorker() {
  if (!('serviceWorker' in navigator) || !window.isSecureContext)
    return;
  allIn.then(() => navigator.serviceWorker.register('sw.js', { updateViaCache: 'none' })).then((registration) => {
    offerWhenInstalled(registration.waiting || registration.installing);
    registration.addEventListener('updatefound', () => offerWhenInstalled(registration.installing));
  }).catch((error) => console.warn(error));
}
