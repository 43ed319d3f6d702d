#include "bench/moments.h"

#include <cstdint>

#include "app/assets.h"
#include "app/frame.h"
#include "app/transitions.h"
#include "game/game.h"

namespace shindan {
namespace {

void only_scene(std::uint8_t title_on, std::uint8_t question_on, std::uint8_t analysis_on) {
  scenes.title_active = title_on;
  scenes.question_active = question_on;
  scenes.analysis_active = analysis_on;
}

void show_question() {
  only_scene(0, 1, 0);
  scenes.question_number = 3;
  scenes.question_shown = 1;
  questions.need_new_question = 0;
  questions.question_picture = picture_q001 + 7;
  scenes.qdisp_active = 0;
  questions.background_timer = 0.0f;
}

void full_gauges() {
  for (int t = 0; t < trait_count; ++t)
    scoring.trait_scores[t][0] = static_cast<std::int8_t>(t % 2 == 0 ? 100 : -100);
  only_scene(0, 0, 1);
  scenes.shift_mode = 0;
}

}  // namespace

void moment_empty() {
  only_scene(0, 0, 0);
}

void moment_noise() {
  only_scene(1, 0, 0);
  scenes.title_step = 17;
  transitions.wait_elapsed = 0.0f;
}

void moment_fade() {
  only_scene(1, 0, 0);
  scenes.title_step = 11;
  transitions.fade_elapsed = 1.0f;
}

void moment_answering() {
  show_question();
  questions.answer_active = 1;
  questions.collect_active = 0;
  scenes.answer_cursor = 1;
  questions.cursor_timer = 0.0f;
}

void moment_flash() {
  show_question();
  questions.answer_active = 0;
  questions.collect_active = 1;
  questions.collect_frame = 8;
  questions.collect_timer = 0.0f;
}

void moment_analysis() {
  full_gauges();
  scenes.analysis_step = 21;
}

void moment_closing_wipe() {
  full_gauges();
  scenes.analysis_step = 22;
  analysis.mask_frame = 4;
  analysis.mask_row = 5;
  analysis.mask_timer = 0.0f;
}

const frame_moment frame_moments[7] = {
    {"empty frame (clear, frame-time text, present)", moment_empty},
    {"noise frame (title step 17)", moment_noise},
    {"fade over the full-screen background (title step 11)", moment_fade},
    {"answering frame (background, cursors, question)", moment_answering},
    {"flash frame (answer confirmed)", moment_flash},
    {"analysis, eight full gauges (step 21)", moment_analysis},
    {"closing-wipe frame", moment_closing_wipe},
};

}  // namespace shindan
