// The page around the game, one module for each of its concerns: the screen
// (screen.js), keys, buttons and taps (input.js, touch.js), sound
// (audio.js), packs and loading (packs.js), the written files and the
// shared picture (files.js, share.js), the page's texts and controls
// (ui.js), and the bridge the program calls (bridge.js). The program
// (shindan.js with its WebAssembly) reaches the page only through that
// bridge.

import { testMode } from './common.js';
import { setMuted } from './audio.js';
import { readView } from './bridge.js';
import { registerServiceWorker } from './offline.js';
import { start } from './packs.js';
import { setIntegerScale } from './screen.js';
import { settingButton, showFailure, switchGuard } from './ui.js';
import './share.js';
import './touch.js';

settingButton('mute', 'shindan.mute', setMuted);
settingButton('integer-scale', 'shindan.integer-scale', setIntegerScale);
switchGuard.midTest = () => {
  const view = readView();
  return view !== null && view.inTest;
};

async function main() {
  // The test hooks must be in place before the program runs its first frame.
  if (testMode)
    await import('./test-hooks.js');
  registerServiceWorker();
  await start();
}

main().catch((error) => {
  showFailure(error);
  console.error(error);
});
