// Timed fades and waits. Each keeps one accumulator shared by all callers, so
// only one fade and one wait can be in progress; a scene that abandons a step
// early zeroes them itself.
#include "app/transitions.h"

#include "app/frame.h"
#include "app/shell.h"
#include "gfx/gfx.h"

namespace shindan {

transition_record transitions;

float fade_blit(std::int32_t x, std::int32_t y, float seconds, image_slot* slot, std::int32_t left, std::int32_t top,
                std::int32_t right, std::int32_t bottom) {
  // The time is added first, so even the first call is already partly faded in.
  transitions.fade_elapsed += shell.frame_seconds;
  if (transitions.fade_elapsed >= seconds) {
    transitions.fade_elapsed = 0.0f;
    // The last frame shows the picture fully; -1 tells the caller it is over
    // and can be compared exactly because a running fade never goes below 0.
    draw_image_translucent(x, y, 0.0f, slot, left, top, right, bottom);
    return -1.0f;
  }
  const float transparency = 1.0f - transitions.fade_elapsed / seconds;
  draw_image_translucent(x, y, transparency, slot, left, top, right, bottom);
  return transparency;
}

bool wait_timer(float seconds) {
  transitions.wait_elapsed += shell.frame_seconds;
  if (transitions.wait_elapsed >= seconds) {
    transitions.wait_elapsed = 0.0f;
    return false;
  }
  return true;
}

bool fade_step(std::int32_t x, std::int32_t y, float seconds, image_slot* slot, std::int32_t left, std::int32_t top,
               std::int32_t right, std::int32_t bottom) {
  scenes.scene_fade = fade_blit(x, y, seconds, slot, left, top, right, bottom);
  return scenes.scene_fade == -1.0f;
}

bool wait_step(float seconds) {
  scenes.scene_waiting = wait_timer(seconds) ? 1 : 0;
  return scenes.scene_waiting == 0;
}

void zero_timers() {
  transitions.wait_elapsed = 0.0f;
  transitions.fade_elapsed = 0.0f;
}

}  // namespace shindan
