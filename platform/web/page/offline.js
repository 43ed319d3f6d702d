// Playing without a network: the service worker that keeps the site once it
// has been visited. Not registered yet; the page calls this at its start.
export function registerServiceWorker() {}
