// The page's service worker: it keeps the page's files in a cache, so that
// the page installs as an app and starts offline after the first visit.
// Every request of a file of the page is answered from the cache, which is
// refreshed from the network behind it: a new build shows at the next
// visit but one. Page addresses with a query (?edit, ?windowed, ...) are the
// same page.
const cacheName = 'pathwick';
const files = ['./', 'pathwick.js', 'pathwick.wasm', 'manifest.webmanifest',
               'pathwick-128.png', 'pathwick-256.png'];

// The files the page has just loaded come from the browser's HTTP cache
// where it still has them, so that the first visit loads nothing twice.
self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(cacheName).then((cache) => cache.addAll(
    files.map((file) => new Request(file, { cache: 'force-cache' })))));
});

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(cacheName).then(async (cache) => {
    const cached = await cache.match(event.request, { ignoreSearch: true });
    const fresh = fetch(event.request).then((response) => {
      if (response.ok) cache.put(event.request, response.clone());
      return response;
    });
    if (cached) {
      // Offline, the cached copy is all there is.
      event.waitUntil(fresh.catch(() => {}));
      return cached;
    }
    return fresh;
  }));
});
