// Fetches and unpacks the packs that come after the start, away from the
// page's thread: on a slow phone, unzipping a few megabytes there would
// stop the title's animation for a moment.
//
// Asked { id, url }, it answers { id, got, total } as the bytes come in,
// then { id, raw, files, at } with the unpacked pack (its buffer handed
// over, not copied): files [[name, size], ...] lie one after another in raw
// from byte at. A failure answers { id, error }.
'use strict';

const PROGRESS_STEP = 32768;

async function unpack(id, url) {
  const response = await fetch(url);
  if (!response.ok)
    throw new Error(`${url}: ${response.status}`);
  const total = Number(response.headers.get('Content-Length')) || 0;
  let got = 0;
  let told = 0;
  const counted = response.body.pipeThrough(new TransformStream({
    transform(chunk, controller) {
      got += chunk.byteLength;
      if (got - told >= PROGRESS_STEP || got === total) {
        told = got;
        self.postMessage({ id, got, total });
      }
      controller.enqueue(chunk);
    },
  }));
  const raw = await new Response(counted.pipeThrough(new DecompressionStream('gzip'))).arrayBuffer();
  const headerLength = new DataView(raw).getUint32(0, true);
  const header = JSON.parse(new TextDecoder().decode(new Uint8Array(raw, 4, headerLength)));
  self.postMessage({ id, raw, files: header.files, at: 4 + headerLength }, [raw]);
}

self.addEventListener('message', (e) => {
  const { id, url } = e.data;
  unpack(id, url).catch((error) => self.postMessage({ id, error: String((error && error.message) || error) }));
});
