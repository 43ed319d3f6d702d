// The analysis scene: band, scale and, trait by trait, a label, a growing
// gauge and a signed figure; then the help line, a closing wipe and the way
// back to the title.
#include "app/frame.h"
#include "app/keys.h"
#include "app/shell.h"
#include "app/transitions.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "sound/sound.h"

namespace shindan {

analysis_record analysis;

namespace {

// The label of trait k in the shown set; the picture's top row is unused.
std::int32_t label_top(int trait) {
  return 224 * analysis.shown_set + 28 * (trait + 1);
}
std::int32_t label_y(int trait) {
  return 110 + 36 * trait;
}

void draw_band() {
  draw_image(224, 15, &images[picture_bunseki], 0, 32 * analysis.band_frame, 192, 32 * analysis.band_frame + 32);
}
void draw_scale() {
  draw_image(194, 60, &images[picture_memori], 0, 0, 450, 40);
}
void draw_label(int trait) {
  draw_image(2, label_y(trait), &images[picture_result], 0, label_top(trait), 224, label_top(trait) + 28);
}
void draw_row(int trait) {
  draw_label(trait);
  draw_gauge(trait, scoring.trait_scores[trait][analysis.shown_set]);
}
void draw_rows_before(int count) {
  for (int k = 0; k < count; ++k)
    draw_row(k);
}
void draw_help() {
  draw_image(110, 425, &images[picture_result_help], 0, 0, 400, 24);
  // The second line tells the player that the question pool starts over.
  if (scenes.round_number == 3)
    draw_image(110, 450, &images[picture_result_help], 0, 24, 400, 48);
}
void draw_board() {
  draw_band();
  draw_scale();
  draw_rows_before(trait_count);
  draw_help();
}

void handle_space() {
  poll_key(plat_key::space, &analysis.analysis_space_latch);
  if (analysis.analysis_space_latch != key_pressed)
    return;
  if (scenes.analysis_step == 21) {
    play_sound(audio.sounds[sound_end]);
    stop_music();
    analysis.gauge_value = 0;
    analysis.mask_frame = 0;
    analysis.mask_row = 10;
    scenes.analysis_step = 22;
    zero_timers();
  }
  if (scenes.analysis_step >= 4 && scenes.analysis_step <= 19) {
    play_sound(audio.sounds[sound_result]);
    scenes.analysis_step = 20;
    zero_timers();
  }
  if (scenes.analysis_step <= 3) {
    play_sound(audio.sounds[sound_result]);
    scenes.analysis_step = 4;
    zero_timers();
  }
}

// Each step uncovers one more row of cells from the bottom up in the current
// mask frame, over the previous frame; after eight passes the screen is black.
void closing_wipe() {
  analysis.mask_timer += shell.frame_seconds * 100.0f;
  // The step comes once the timer has really reached 1.8 hundredths. The
  // float nearest 1.8 lies just below it, so an 18 ms frame (or two of 9 ms)
  // has not got there yet; comparing against 1.8f would step one frame early.
  if (static_cast<double>(analysis.mask_timer) >= 1.8) {
    analysis.mask_timer = 0.0f;
    analysis.mask_row -= 1;
    if (analysis.mask_row == -1) {
      analysis.mask_row = 9;
      analysis.mask_frame += 1;
      if (analysis.mask_frame == 8) {
        scenes.analysis_step = 23;
        return;
      }
    }
  }
  draw_board();
  image_slot* mask = &images[picture_mask];
  for (int c = 0; c < 10; ++c) {
    for (int r = 0; r < 10; ++r) {
      if (r > analysis.mask_row) {
        draw_image(64 * c, 48 * r, mask, 64 * analysis.mask_frame, 0, 64 * analysis.mask_frame + 64, 48);
      } else if (analysis.mask_frame > 0) {
        draw_image(64 * c, 48 * r, mask, 64 * (analysis.mask_frame - 1), 0, 64 * analysis.mask_frame, 48);
      }
    }
  }
}

// Back to the title for the next frame; the question pool's cycle advances
// after every normal test.
void end_scene() {
  scenes.title_active = 1;
  scenes.title_step = 0;
  scenes.question_active = 0;
  scenes.analysis_active = 0;
  scenes.analysis_step = 0;
  if (scenes.shift_mode == 0)
    scenes.round_number = static_cast<std::int8_t>(scenes.round_number + 1);
  if (scenes.round_number >= 4) {
    scenes.round_number = 0;
    for (auto& entry : questions.asked_questions)
      entry = 255;
    scenes.pool_refilled = 1;
  }
  scenes.shift_mode = 0;
  write_result_file();
}

}  // namespace

void draw_figure(std::int32_t x, std::int32_t y, int digits, int value) {
  image_slot* figure = &images[picture_figure];
  const long long n = value < 0 ? -static_cast<long long>(value) : value;
  int count = 1;
  for (long long q = n; q >= 10; q /= 10)
    ++count;
  const std::int32_t sign_left = value >= 0 ? 100 : 110;
  draw_image(x + 10 * (digits - count - 1), y, figure, sign_left, 0, sign_left + 10, 16);
  long long power = 1;
  for (int p = 1; p < digits; ++p)
    power *= 10;
  for (int p = digits; p >= 1; --p, power /= 10) {
    const std::int32_t d = static_cast<std::int32_t>((n / power) % 10);
    if (count > p - 1)
      draw_image(x + 10 * (digits - p), y, figure, 10 * d, 0, 10 * d + 10, 16);
  }
}

void draw_gauge(int trait, int value) {
  const std::int32_t y = 112 + 36 * trait;
  const std::int32_t top = 24 * trait + 2;
  image_slot* gage = &images[picture_gage];
  // One 2-pixel slice per unit; either sign starts at x = 424.
  if (value >= 0) {
    for (int i = 0; i < value; ++i)
      draw_image(424 + 2 * i, y, gage, 0, top, 2, top + 20);
  } else {
    for (int i = 0; i > value; --i)
      draw_image(424 + 2 * i, y, gage, 0, top, 2, top + 20);
  }
  draw_figure(188, 118 + 36 * trait, 3, value);
}

bool animate_gauge(int trait, int target) {
  draw_gauge(trait, analysis.gauge_value);
  analysis.gauge_timer += shell.frame_seconds * 100.0f;
  if (analysis.gauge_timer >= 4.0f) {
    analysis.gauge_timer = 0.0f;
    if (target >= 0) {
      analysis.gauge_value = static_cast<std::int8_t>(analysis.gauge_value + 1);
      if (analysis.gauge_value >= target) {
        analysis.gauge_value = 0;
        return false;
      }
    } else {
      analysis.gauge_value = static_cast<std::int8_t>(analysis.gauge_value - 1);
      if (analysis.gauge_value <= target) {
        analysis.gauge_value = 0;
        return false;
      }
    }
  }
  return true;
}

bool analysis_scene() {
  scenes.first_test = 0;
  analysis.shown_set = scenes.shift_mode == 1 ? 1 : 0;
  handle_space();

  const int step = scenes.analysis_step;
  switch (step) {
    case 0:
      if (fade_step(224, 15, 7.0f, &images[picture_bunseki], 0, 32 * analysis.band_frame, 192,
                    32 * analysis.band_frame + 32))
        scenes.analysis_step = 1;
      break;
    case 1:
      draw_band();
      if (wait_step(1.0f))
        scenes.analysis_step = 2;
      break;
    case 2:
      draw_band();
      if (fade_step(194, 60, 3.0f, &images[picture_memori], 0, 0, 450, 40))
        scenes.analysis_step = 3;
      break;
    case 3:
      draw_band();
      draw_scale();
      if (wait_step(1.0f)) {
        play_sound(audio.sounds[sound_result]);
        scenes.analysis_step = 4;
      }
      break;
    case 4:
    case 6:
    case 8:
    case 10:
    case 12:
    case 14:
    case 16:
    case 18: {
      // The label of trait k fades in.
      const int k = (step - 4) / 2;
      draw_band();
      draw_scale();
      draw_rows_before(k);
      if (fade_step(2, label_y(k), 2.0f, &images[picture_result], 0, label_top(k), 224, label_top(k) + 28)) {
        scenes.analysis_step = static_cast<std::int8_t>(step + 1);
      }
      break;
    }
    case 5:
    case 7:
    case 9:
    case 11:
    case 13:
    case 15:
    case 17:
    case 19: {
      // The gauge of trait k grows to its score.
      const int k = (step - 5) / 2;
      draw_band();
      draw_scale();
      draw_rows_before(k);
      draw_label(k);
      if (!animate_gauge(k, scoring.trait_scores[k][analysis.shown_set])) {
        play_sound(audio.sounds[sound_result]);
        scenes.analysis_step = static_cast<std::int8_t>(step + 1);
      }
      break;
    }
    case 20:
      draw_band();
      draw_scale();
      draw_rows_before(trait_count);
      if (fade_step(110, 425, 3.0f, &images[picture_result_help], 0, 0, 400, 24))
        scenes.analysis_step = 21;
      if (scenes.round_number == 3)
        draw_image_translucent(110, 450, scenes.scene_fade, &images[picture_result_help], 0, 24, 400, 48);
      break;
    case 21:
      draw_board();
      analysis.mask_frame = 0;
      analysis.mask_row = 10;
      break;
    case 22:
      closing_wipe();
      break;
    case 23:
      if (wait_step(3.0f))
        scenes.analysis_step = 24;
      break;
    case 24:
      end_scene();
      return false;
    default:
      break;
  }
  return true;
}

}  // namespace shindan
