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

// A file of the program's folder that may still be on its way in a later pack.
enum file_arrival : std::uint8_t { file_coming, file_here, file_never };
file_arrival file_state(const char* path);

// After each frame: fills in the pictures and sounds whose packs have
// arrived since the start, a few at a time, and tells the page once all are in.
void bring_in_late_files();
// Fills in the sounds that have arrived, until the deadline (on
// emscripten_get_now's clock); true when none is awaited any more.
bool bring_in_late_sounds(double deadline);

}  // namespace shindan::web
