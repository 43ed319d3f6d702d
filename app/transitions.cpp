// Timed fades and waits. Each keeps one accumulator shared by all callers, so
// only one fade and one wait can be in progress; a scene that abandons a step
// early zeroes them itself.
#include "app/transitions.h"

#include "app/shell.h"
#include "gfx/gfx.h"

namespace shindan {

float fade_elapsed = 0.0f;
float wait_elapsed = 0.0f;

float fade_blit(std::int32_t x, std::int32_t y, float seconds, image_slot* slot, std::int32_t left, std::int32_t top,
                std::int32_t right, std::int32_t bottom) {
  // The time is added first, so even the first call is already partly faded in.
  fade_elapsed += frame_seconds;
  if (fade_elapsed >= seconds) {
    fade_elapsed = 0.0f;
    // The last frame shows the picture fully; -1 tells the caller it is over
    // and can be compared exactly because a running fade never goes below 0.
    draw_image_translucent(x, y, 0.0f, slot, left, top, right, bottom);
    return -1.0f;
  }
  const float transparency = 1.0f - fade_elapsed / seconds;
  draw_image_translucent(x, y, transparency, slot, left, top, right, bottom);
  return transparency;
}

bool wait_timer(float seconds) {
  wait_elapsed += frame_seconds;
  if (wait_elapsed >= seconds) {
    wait_elapsed = 0.0f;
    return false;
  }
  return true;
}

}  // namespace shindan
