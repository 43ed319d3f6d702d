// Timed fades and waits, paced by frame_seconds. One of each at a time: the
// accumulators are shared by every caller.
#pragma once

#include <cstdint>

namespace shindan {

struct image_slot;

extern float fade_elapsed;
extern float wait_elapsed;

// Draws the region fading in over seconds; answers the transparency it drew
// with, or exactly -1.0 on the call at which the fade completes.
float fade_blit(std::int32_t x, std::int32_t y, float seconds, image_slot* slot, std::int32_t left,
                std::int32_t top, std::int32_t right, std::int32_t bottom);
// True while the wait runs, false once when the time is up.
bool wait_timer(float seconds);

}  // namespace shindan
