// The frame driver: first-frame loading, the one-time game reset, the scene
// dispatch and the scene and step flags the scenes share.
#pragma once

#include <cstdint>

#include "app/assets.h"

namespace shindan {

struct scene_record {
  std::uint8_t assets_loaded = 0;
  std::uint8_t game_initialised = 0;

  std::uint8_t title_active = 0;
  std::uint8_t question_active = 0;
  std::uint8_t analysis_active = 0;
  std::int8_t title_step = 0;
  std::int8_t analysis_step = 0;
  std::uint8_t shift_mode = 0;
  std::int8_t round_number = 0;
  std::uint8_t first_test = 1;
  std::uint8_t pool_refilled = 0;
  float scene_fade = 0.0f;
  std::uint8_t scene_waiting = 0;

  // Handed from the title to the question scene.
  std::uint8_t qdisp_active = 0;
  std::uint8_t question_shown = 0;
  std::int8_t question_number = 0;
  std::int8_t answer_cursor = 0;

  char frame_time_text[100] = {};
};
extern scene_record scenes;

void run_frame();

// Puts every record of the program back as it is when the process starts,
// for tools and tests that run the program more than once in one process.
void reset_program_state();

}  // namespace shindan
