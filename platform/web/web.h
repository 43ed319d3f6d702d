// The browser backend: the program runs in a web page, one loop turn per
// animation frame. The page (page/page.js) keeps a `host` object that owns
// the canvas, the keys, Web Audio and the written files; the functions here
// reach it through small EM_JS bridges.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace shindan::web {

// The clock the program reads: taken once at the start of each loop turn,
// so that both readings of a frame see the same millisecond.
void latch_tick();
std::uint32_t latched_tick();

}  // namespace shindan::web
