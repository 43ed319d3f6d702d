// The diagnosis game: its three scenes, the answer weights and trait scores,
// and the result file.
#pragma once

#include <cstdint>

#include "app/keys.h"

namespace shindan {

// ---- scoring
constexpr int trait_count = 8;
constexpr int pool_size = 48;
struct scoring_record {
  // trait_scores[t][s]: trait t in set s (0 normal, 1 Shift), each -100..100.
  std::int8_t trait_scores[trait_count][2] = {};
  char trait_labels[trait_count][60] = {};
  // The result file's text as last written.
  char result_text[256] = {};
};
extern scoring_record scoring;
// The labels as Shift-JIS: 16 bytes each, padded with full-width spaces.
extern const char trait_label_table[trait_count][20];
// answer_weights[row][answer][trait] for q001 + row.
extern const std::int8_t answer_weights[pool_size][3][trait_count];

void apply_answer(int row, int answer, int set);
void reset_scores();

// ---- result file
// "分析結果.txt" in Shift-JIS.
extern const char result_file_name[];
// Written when the analysis starts and again when it ends.
void write_result_file();

// ---- title scene
struct title_record {
  std::int32_t title_zoom_frame = 0;
  float title_zoom_scale_x = 0.0f, title_zoom_scale_y = 0.0f;
  key_latch title_space_latch = key_up, shift_latch = key_up, enter_latch = key_up;
};
extern title_record title;
extern const float zoom_table_x[38];
extern const float zoom_table_y[38];
bool title_scene();

// ---- question scene
struct question_record {
  std::uint8_t asked_questions[pool_size] = {};
  std::int8_t question_picture = 0;
  std::uint8_t need_new_question = 1;
  std::uint8_t answer_active = 0;
  std::uint8_t collect_active = 0;
  std::uint8_t end_sound_pending = 0;
  std::int32_t drawn_index = 0;
  key_latch up_latch = key_up, down_latch = key_up, confirm_latch = key_up;
  // Animation frames and their timers (hundredths of a second); they carry
  // on across questions and tests.
  std::int32_t background_frame = 0, background_reverse = 0;
  std::int32_t qdisp_frame = 0, cursor_frame = 0, collect_frame = 0;
  float background_timer = 0.0f, qdisp_timer = 0.0f, cursor_timer = 0.0f, collect_timer = 0.0f;
};
extern question_record questions;
extern const float qdisp_scales_x[8];
extern const float qdisp_scales_y[8];
constexpr int fixed_set_first = 48;  // q049, the first of the fixed questions
bool is_question_asked(int index);
void animate_background();
bool qdisp_effect();
void draw_cursors();
bool collect_effect();
bool question_scene();

// ---- analysis scene
struct analysis_record {
  std::int8_t shown_set = 0;
  std::int8_t gauge_value = 0;
  float gauge_timer = 0.0f;
  std::int32_t mask_frame = 0, mask_row = 0;
  float mask_timer = 0.0f;
  std::int32_t band_frame = 0;
  key_latch analysis_space_latch = key_up;
};
extern analysis_record analysis;
bool analysis_scene();
void draw_gauge(int trait, int value);
bool animate_gauge(int trait, int target);
void draw_figure(std::int32_t x, std::int32_t y, int digits, int value);

}  // namespace shindan
