// The analysis kept as a picture to share: the screen's own 640x480 pixels
// as a PNG, taken from the program's frame once the whole analysis stands,
// handed to the system's share sheet with a line of the scores, or saved as
// a download where the browser cannot share files.

import { $, SCREEN_H, SCREEN_W, edition, game, testing } from './common.js';
import { VIEW_ANALYSIS, frameWatch, readScores, readView } from './bridge.js';
import { shownRgb } from './screen.js';
import { scoresLine, showScores, texts } from './ui.js';

const PICTURE_NAME = '分析結果.png';

let result = null;  // { blob, scores, hiddenTest }

// ---- PNG: 8-bit RGB, unfiltered rows, compressed by the browser

let crcTable = null;
function crc32(bytes) {
  if (!crcTable) {
    crcTable = new Uint32Array(256);
    for (let n = 0; n < 256; ++n) {
      let c = n;
      for (let k = 0; k < 8; ++k)
        c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
      crcTable[n] = c >>> 0;
    }
  }
  let c = 0xffffffff;
  for (const b of bytes)
    c = crcTable[(c ^ b) & 255] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, body) {
  const out = new Uint8Array(12 + body.length);
  const view = new DataView(out.buffer);
  view.setUint32(0, body.length);
  for (let i = 0; i < 4; ++i)
    out[4 + i] = type.charCodeAt(i);
  out.set(body, 8);
  view.setUint32(8 + body.length, crc32(out.subarray(4, 8 + body.length)));
  return out;
}

export async function encodePng(rgb, width, height) {
  const stride = width * 3;
  const raw = new Uint8Array((stride + 1) * height);
  for (let y = 0; y < height; ++y)
    raw.set(rgb.subarray(y * stride, (y + 1) * stride), y * (stride + 1) + 1);
  // 'deflate' is the zlib stream a PNG holds.
  const packed = new Response(new Blob([raw]).stream().pipeThrough(new CompressionStream('deflate')));
  const idat = new Uint8Array(await packed.arrayBuffer());
  const header = new Uint8Array(13);
  const view = new DataView(header.buffer);
  view.setUint32(0, width);
  view.setUint32(4, height);
  header.set([8, 2, 0, 0, 0], 8);  // 8 bits, RGB, deflate, no filter set, no interlace
  const signature = new Uint8Array([137, 80, 78, 71, 13, 10, 26, 10]);
  return new Blob([signature, chunk('IHDR', header), chunk('IDAT', idat), chunk('IEND', new Uint8Array(0))],
    { type: 'image/png' });
}

// ---- Keeping the analysis

function canShareFiles(file) {
  try {
    return typeof navigator.share === 'function' && typeof navigator.canShare === 'function' &&
      navigator.canShare({ files: [file] });
  } catch (_) {
    return false;
  }
}

function pictureFile(blob) {
  return new File([blob], PICTURE_NAME, { type: 'image/png' });
}

async function keep(rgb, scores, hiddenTest) {
  const blob = await encodePng(rgb, SCREEN_W, SCREEN_H);
  result = { blob, scores, hiddenTest };
  const t = texts();
  $('share').textContent = canShareFiles(pictureFile(blob)) ? t.share : t.save;
  $('share').hidden = false;
}

// The analysis stands from the frame after it was built until Space starts
// the closing wipe, whose first frame still shows it whole: the frame after
// one that ended with the analysis standing shows all of it, whether the
// player has already pressed Space or not.
let stoodBefore = false;
let standingScores = null;
let kept = false;

frameWatch.after.push(() => {
  const view = readView();
  const standing = view !== null && view.kind === VIEW_ANALYSIS;
  if (stoodBefore && !kept) {
    kept = true;
    const rgb = shownRgb();
    if (rgb) {
      showScores(standingScores.scores, standingScores.hiddenTest);
      if (testing.record)
        testing.record.picture = { frame: game.frames, scores: standingScores.scores };
      keep(rgb, standingScores.scores, standingScores.hiddenTest).catch((e) => console.warn(e));
    }
  }
  if (standing)
    standingScores = { scores: readScores(), hiddenTest: view.hiddenTest };
  else if (!stoodBefore)
    kept = false;
  stoodBefore = standing;
});

// ---- Sharing

function save(blob) {
  const link = document.createElement('a');
  const url = URL.createObjectURL(blob);
  link.href = url;
  link.download = PICTURE_NAME;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

$('share').addEventListener('click', async () => {
  if (!result)
    return;
  const file = pictureFile(result.blob);
  if (!canShareFiles(file)) {
    save(result.blob);
    return;
  }
  const address = location.origin + location.pathname;
  try {
    await navigator.share({
      files: [file],
      title: edition.pack.title,
      text: `${scoresLine(result.scores, result.hiddenTest)} ${address}`,
    });
  } catch (e) {
    // The player closed the share sheet: nothing to do. Any other refusal
    // still leaves the picture with the player.
    if (!e || e.name !== 'AbortError')
      save(result.blob);
  }
});
