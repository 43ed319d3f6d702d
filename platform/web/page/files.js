// The files the program writes (the analysis result): kept in the browser's
// storage, so that a later visit finds them, and offered for download with
// their text shown.

import { $, GAME_DIR, edition, fromBase64, game, testRecord, toBase64 } from './common.js';

const seenFiles = new Map();  // name -> mtime

function storageKey(name) {
  return `shindan.file.${edition.pack.lang}.${name}`;
}

let resultUrl = null;
function offerFile(name, bytes) {
  const link = $('result-file');
  if (resultUrl)
    URL.revokeObjectURL(resultUrl);
  resultUrl = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  link.href = resultUrl;
  link.download = name;
  link.textContent = name;
  let text;
  try {
    text = new TextDecoder('shift_jis').decode(bytes);
  } catch (_) {
    text = new TextDecoder().decode(bytes);
  }
  $('result-text').textContent = text.replace(/\r\n?/g, '\n');
  $('results').hidden = false;
}

export function syncFiles() {
  const FS = game.Module.FS;
  let names;
  try {
    names = FS.readdir(GAME_DIR);
  } catch (_) {
    return;
  }
  for (const name of names) {
    if (name === '.' || name === '..' || edition.packNames.has(name))
      continue;
    const path = `${GAME_DIR}/${name}`;
    let stat;
    try {
      stat = FS.stat(path);
    } catch (_) {
      continue;
    }
    if (!FS.isFile(stat.mode))
      continue;
    const mtime = stat.mtime.getTime();
    if (seenFiles.get(name) === mtime)
      continue;
    seenFiles.set(name, mtime);
    const bytes = FS.readFile(path);
    try {
      localStorage.setItem(storageKey(name), toBase64(bytes));
    } catch (_) {
      // Storage full or refused: the download link still works.
    }
    offerFile(name, bytes);
    testRecord('files', { name, size: bytes.length });
  }
}

export function restoreFiles() {
  const prefix = storageKey('');
  for (let i = 0; i < localStorage.length; ++i) {
    const key = localStorage.key(i);
    if (!key.startsWith(prefix))
      continue;
    const name = key.slice(prefix.length);
    if (!name || name.includes('/') || edition.packNames.has(name))
      continue;
    const bytes = fromBase64(localStorage.getItem(key));
    const path = `${GAME_DIR}/${name}`;
    game.Module.FS.writeFile(path, bytes);
    seenFiles.set(name, game.Module.FS.stat(path).mtime.getTime());
    offerFile(name, bytes);
  }
}

