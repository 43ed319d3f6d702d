// Keyboard latches: a polled key's down state turned into one-shot presses.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace shindan {

using key_latch = std::uint32_t;
constexpr key_latch key_up = 0;        // up, release already reported
constexpr key_latch key_pressed = 1;   // went down at this poll
constexpr key_latch key_released = 2;  // went up at this poll
constexpr key_latch key_held = 3;      // down, press already reported

// Reads the key's state and advances the latch in place.
void poll_key(plat_key key, key_latch* latch);

}  // namespace shindan
