// Timed fades and waits, paced by frame_seconds, and the scene steps built on
// them. One of each at a time: the accumulators are shared by every caller.
#pragma once

#include <cstdint>

namespace shindan {

struct image_slot;

struct transition_record {
  float fade_elapsed = 0.0f;
  float wait_elapsed = 0.0f;
};
extern transition_record transitions;

// Draws the region fading in over seconds; answers the transparency it drew
// with, or exactly -1.0 on the call at which the fade completes.
float fade_blit(std::int32_t x, std::int32_t y, float seconds, image_slot* slot, std::int32_t left, std::int32_t top,
                std::int32_t right, std::int32_t bottom);
// True while the wait runs, false once when the time is up.
bool wait_timer(float seconds);

// A scene's fade step: keeps the fade's result in scene_fade and answers
// whether the fade completed.
bool fade_step(std::int32_t x, std::int32_t y, float seconds, image_slot* slot, std::int32_t left, std::int32_t top,
               std::int32_t right, std::int32_t bottom);
// A scene's wait step: keeps the wait's state in scene_waiting and answers
// whether the time is up.
bool wait_step(float seconds);
// A key jump may cut a fade or wait short; the next step's timing must start
// from nothing.
void zero_timers();

}  // namespace shindan
