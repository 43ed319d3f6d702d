// The diagnosis game: its three scenes, the answer weights and trait scores,
// and the result file.
#pragma once

#include <cstdint>

#include "app/keys.h"

namespace shindan {

// ---- scoring
constexpr int trait_count = 8;
constexpr int pool_size = 48;
// trait_scores[t][s]: trait t in set s (0 normal, 1 Shift), each -100..100.
extern std::int8_t trait_scores[trait_count][2];
extern char trait_labels[trait_count][60];
// The labels as Shift-JIS: 16 bytes each, padded with full-width spaces.
extern const char trait_label_table[trait_count][20];
// answer_weights[row][answer][trait] for q001 + row.
extern const std::int8_t answer_weights[pool_size][3][trait_count];

void apply_answer(int row, int answer, int set);
void reset_scores();

// ---- result file
extern char result_text[256];
// "分析結果.txt" in Shift-JIS.
extern const char result_file_name[];
void write_result_file();

// ---- title scene
extern std::int32_t title_zoom_frame;
extern float title_zoom_scale_x, title_zoom_scale_y;
extern const float zoom_table_x[38];
extern const float zoom_table_y[38];
extern key_latch title_space_latch, shift_latch, enter_latch;
bool title_scene();

// ---- question scene
extern std::uint8_t asked_questions[pool_size];
extern std::int8_t question_picture;
extern std::uint8_t need_new_question;
extern std::uint8_t answer_active;
extern std::uint8_t collect_active;
extern std::uint8_t end_sound_pending;
extern std::int32_t drawn_index;
extern key_latch up_latch, down_latch, confirm_latch;
// Animation frames and their timers (hundredths of a second); they carry on
// across questions and tests.
extern std::int32_t background_frame, background_reverse;
extern std::int32_t qdisp_frame, cursor_frame, collect_frame;
extern float background_timer, qdisp_timer, cursor_timer, collect_timer;
extern const float qdisp_scales_x[8];
extern const float qdisp_scales_y[8];
// Picture slot of q001; q001 + n lies in slot question_slot_base + n.
constexpr int question_slot_base = 21;
constexpr int fixed_set_first = 48;  // q049, the first of the fixed questions
bool is_question_asked(int index);
void animate_background();
bool qdisp_effect();
void draw_cursors();
bool collect_effect();
bool question_scene();

// ---- analysis scene
extern std::int8_t shown_set;
extern std::int8_t gauge_value;
extern float gauge_timer;
extern std::int32_t mask_frame, mask_row;
extern float mask_timer;
extern std::int32_t band_frame;
extern key_latch analysis_space_latch;
bool analysis_scene();
void draw_gauge(int trait, int value);
bool animate_gauge(int trait, int target);
void draw_figure(std::int32_t x, std::int32_t y, int digits, int value);

}  // namespace shindan
