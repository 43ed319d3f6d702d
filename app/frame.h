// The frame driver: first-frame loading, the one-time game reset, the scene
// dispatch and the scene and step flags the scenes share.
#pragma once

#include <cstdint>

namespace shindan {

extern std::uint8_t assets_loaded;
extern std::uint8_t game_initialised;

extern std::uint8_t title_active;
extern std::uint8_t question_active;
extern std::uint8_t analysis_active;
extern std::int8_t title_step;
extern std::int8_t analysis_step;
extern std::uint8_t shift_mode;
extern std::int8_t round_number;
extern std::uint8_t first_test;
extern std::uint8_t pool_refilled;
extern float scene_fade;
extern std::uint8_t scene_waiting;

// Handed from the title to the question scene.
extern std::uint8_t qdisp_active;
extern std::uint8_t question_shown;
extern std::int8_t question_number;
extern std::int8_t answer_cursor;

extern char frame_time_text[100];

struct picture_asset {
  int slot;
  const char* file_name;
};
struct sound_asset {
  int slot;
  const char* file_name;
};
// The files the first frame loads, in loading order.
extern const picture_asset picture_assets[82];
extern const sound_asset sound_assets[8];

void run_frame();

}  // namespace shindan
