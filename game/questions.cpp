// The question scene: twelve questions, each appearing behind a zoom, chosen
// with the cursors, confirmed with a flash and scored at once; then two
// seconds of noise before the analysis.
#include "app/frame.h"
#include "app/keys.h"
#include "app/shell.h"
#include "app/transitions.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "sound/sound.h"

namespace shindan {

std::uint8_t asked_questions[pool_size] = {};
std::int8_t question_picture = 0;
std::uint8_t need_new_question = 1;
std::uint8_t answer_active = 0;
std::uint8_t collect_active = 0;
std::uint8_t end_sound_pending = 0;
std::int32_t drawn_index = 0;
key_latch up_latch = key_up, down_latch = key_up, confirm_latch = key_up;

std::int32_t background_frame = 0, background_reverse = 0;
std::int32_t qdisp_frame = 0, cursor_frame = 0, collect_frame = 0;
float background_timer = 0.0f, qdisp_timer = 0.0f, cursor_timer = 0.0f, collect_timer = 0.0f;

const float qdisp_scales_x[8] = {0.1f, 0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 4.0f};
const float qdisp_scales_y[8] = {0.1f, 0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 4.0f};

namespace {

constexpr int mainback_slot = 9;
constexpr int qdisp_slot = 10;
constexpr int cursor_left_slot = 11;
constexpr int cursor_right_slot = 12;
constexpr int collect_slot = 13;

constexpr int sound_cursor_moved = 0;
constexpr int sound_confirmed = 1;
constexpr int sound_question_appears = 5;
constexpr int sound_closing_noise = 7;

constexpr int questions_per_test = 12;

// The answer bands lie 36 pixels apart; cursors and flash reach two pixels
// above and below the chosen band.
std::int32_t answer_row_y(int cursor) {
  return 328 + 36 * cursor;
}

void choose_picture() {
  if (shift_mode == 1) {
    question_picture = static_cast<std::int8_t>(question_slot_base + fixed_set_first + question_number);
    return;
  }
  if (need_new_question != 1)
    return;
  // Never endless: at most 47 entries are taken when a draw starts.
  do {
    drawn_index = shindan::rand() % pool_size;
  } while (is_question_asked(drawn_index));
  asked_questions[round_number * questions_per_test + question_number] = static_cast<std::uint8_t>(drawn_index);
  question_picture = static_cast<std::int8_t>(question_slot_base + drawn_index);
  need_new_question = 0;
}

void draw_question() {
  image_slot* picture = &images[question_picture];
  draw_image(166, 100, picture, 0, 0, 308, 196);
  draw_image(166, 330, picture, 0, 196, 308, 224);
  draw_image(166, 366, picture, 0, 224, 308, 252);
  draw_image(166, 402, picture, 0, 252, 308, 280);
}

void read_answer_keys() {
  poll_key(vk_up, &up_latch);
  poll_key(vk_down, &down_latch);
  if (up_latch == key_pressed) {
    play_sound(sounds[sound_cursor_moved]);
    answer_cursor = static_cast<std::int8_t>(answer_cursor - 1);
    if (answer_cursor < 0)
      answer_cursor = 2;
  }
  if (down_latch == key_pressed) {
    play_sound(sounds[sound_cursor_moved]);
    answer_cursor = static_cast<std::int8_t>(answer_cursor + 1);
    if (answer_cursor > 2)
      answer_cursor = 0;
  }
  poll_key(vk_space, &confirm_latch);
  if (confirm_latch == key_pressed) {
    play_sound(sounds[sound_confirmed]);
    answer_active = 0;
    collect_active = 1;
    end_sound_pending = 1;
    // The closing wait after the twelfth answer must start from nothing.
    wait_elapsed = 0.0f;
    fade_elapsed = 0.0f;
  }
}

}  // namespace

bool is_question_asked(int index) {
  // A free entry (255) reads as -1 and so never matches a pool index.
  for (int i = 0; i < pool_size; ++i) {
    if (static_cast<std::int8_t>(asked_questions[i]) == index)
      return true;
  }
  return false;
}

void animate_background() {
  background_timer += frame_seconds * 100.0f;
  draw_image(0, 0, &images[mainback_slot], 0, 480 * background_frame, 640, 480 * background_frame + 480);
  if (background_timer >= 15.0f) {
    background_timer = 0.0f;
    // Swings 0..11 and back.
    if (background_reverse == 0) {
      background_frame += 1;
      if (background_frame == 11)
        background_reverse = 1;
    } else {
      background_frame -= 1;
      if (background_frame == 0)
        background_reverse = 0;
    }
  }
}

bool qdisp_effect() {
  // The effect ends with frame and timer both at 0, so this marks the first
  // call of every appearance.
  if (qdisp_frame == 0 && qdisp_timer == 0.0f)
    play_sound(sounds[sound_question_appears]);
  qdisp_timer += frame_seconds * 100.0f;
  const std::int32_t f = qdisp_frame;
  draw_image_scaled_centred(320, 240, &images[qdisp_slot], qdisp_scales_x[f], qdisp_scales_y[f], 0, 216 * f, 320,
                            216 * f + 216);
  if (qdisp_timer >= 4.0f) {
    qdisp_timer = 0.0f;
    qdisp_frame += 1;
    // The question appears under the last, largest frame.
    if (qdisp_frame == 7)
      question_shown = 1;
    if (qdisp_frame == 8) {
      qdisp_frame = 0;
      answer_active = 1;
      return false;
    }
  }
  return true;
}

void draw_cursors() {
  cursor_timer += frame_seconds * 100.0f;
  const std::int32_t y = answer_row_y(answer_cursor);
  const std::int32_t f = cursor_frame;
  draw_image_additive(125, y, &images[cursor_left_slot], 0, 32 * f, 32, 32 * f + 32);
  draw_image_additive(487, y, &images[cursor_right_slot], 0, 32 * f, 32, 32 * f + 32);
  if (cursor_timer >= 8.0f) {
    cursor_timer = 0.0f;
    cursor_frame += 1;
    if (cursor_frame == 8)
      cursor_frame = 0;
  }
}

bool collect_effect() {
  collect_timer += frame_seconds * 100.0f;
  const std::int32_t f = collect_frame;
  draw_image_additive(160, answer_row_y(answer_cursor), &images[collect_slot], 0, 32 * f, 320, 32 * f + 32);
  if (collect_timer >= 1.0f) {
    collect_timer = 0.0f;
    collect_frame += 1;
    if (collect_frame == 16) {
      collect_frame = 0;
      qdisp_active = 1;
      question_shown = 0;
      need_new_question = 1;
      // The fixed set is scored with the weights of the pool's first rows,
      // into its own score set.
      if (shift_mode == 1) {
        apply_answer(question_number, answer_cursor, 1);
      } else {
        apply_answer(question_picture - question_slot_base, answer_cursor, 0);
      }
      answer_cursor = 0;
      question_number = static_cast<std::int8_t>(question_number + 1);
      return false;
    }
  }
  return true;
}

bool question_scene() {
  animate_background();

  if (answer_active == 1) {
    draw_cursors();
    read_answer_keys();
  }

  if (question_shown == 1) {
    choose_picture();
    draw_question();
  }

  if (qdisp_active == 1)
    qdisp_active = qdisp_effect() ? 1 : 0;
  if (collect_active == 1)
    collect_active = collect_effect() ? 1 : 0;

  if (question_number < questions_per_test)
    return true;

  // All twelve answered: two seconds of noise, then the analysis.
  if (end_sound_pending == 1)
    play_sound(sounds[sound_closing_noise]);
  answer_active = 0;
  question_shown = 0;
  qdisp_active = 0;
  collect_active = 0;
  end_sound_pending = 0;
  fill_noise(0, 0, screen_width, screen_height);
  scene_waiting = wait_timer(2.0f) ? 1 : 0;
  if (scene_waiting == 1)
    return true;
  analysis_active = 1;
  stop_music();
  play_music("bgm03.mid");
  return false;
}

}  // namespace shindan
