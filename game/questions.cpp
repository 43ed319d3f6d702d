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

question_record questions;

const float qdisp_scales_x[8] = {0.1f, 0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 4.0f};
const float qdisp_scales_y[8] = {0.1f, 0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 4.0f};

namespace {

constexpr int questions_per_test = 12;

// The answer bands lie 36 pixels apart; cursors and flash reach two pixels
// above and below the chosen band.
std::int32_t answer_row_y(int cursor) {
  return 328 + 36 * cursor;
}

void choose_picture() {
  if (scenes.shift_mode == 1) {
    questions.question_picture = static_cast<std::int8_t>(picture_q001 + fixed_set_first + scenes.question_number);
    return;
  }
  if (questions.need_new_question != 1)
    return;
  // Never endless: at most 47 entries are taken when a draw starts.
  do {
    questions.drawn_index = shindan::rand() % pool_size;
  } while (is_question_asked(questions.drawn_index));
  questions.asked_questions[scenes.round_number * questions_per_test + scenes.question_number] =
      static_cast<std::uint8_t>(questions.drawn_index);
  questions.question_picture = static_cast<std::int8_t>(picture_q001 + questions.drawn_index);
  questions.need_new_question = 0;
}

void draw_question() {
  image_slot* picture = &images[questions.question_picture];
  draw_image(166, 100, picture, 0, 0, 308, 196);
  draw_image(166, 330, picture, 0, 196, 308, 224);
  draw_image(166, 366, picture, 0, 224, 308, 252);
  draw_image(166, 402, picture, 0, 252, 308, 280);
}

void read_answer_keys() {
  poll_key(plat_key::up, &questions.up_latch);
  poll_key(plat_key::down, &questions.down_latch);
  if (questions.up_latch == key_pressed) {
    play_sound(audio.sounds[sound_c_move]);
    scenes.answer_cursor = static_cast<std::int8_t>(scenes.answer_cursor - 1);
    if (scenes.answer_cursor < 0)
      scenes.answer_cursor = 2;
  }
  if (questions.down_latch == key_pressed) {
    play_sound(audio.sounds[sound_c_move]);
    scenes.answer_cursor = static_cast<std::int8_t>(scenes.answer_cursor + 1);
    if (scenes.answer_cursor > 2)
      scenes.answer_cursor = 0;
  }
  poll_key(plat_key::space, &questions.confirm_latch);
  if (questions.confirm_latch == key_pressed) {
    play_sound(audio.sounds[sound_push]);
    questions.answer_active = 0;
    questions.collect_active = 1;
    questions.end_sound_pending = 1;
    // The closing wait after the twelfth answer must start from nothing.
    zero_timers();
  }
}

}  // namespace

bool is_question_asked(int index) {
  // A free entry (255) reads as -1 and so never matches a pool index.
  for (int i = 0; i < pool_size; ++i) {
    if (static_cast<std::int8_t>(questions.asked_questions[i]) == index)
      return true;
  }
  return false;
}

void animate_background() {
  questions.background_timer += shell.frame_seconds * 100.0f;
  draw_image(0, 0, &images[picture_mainback], 0, 480 * questions.background_frame, 640,
             480 * questions.background_frame + 480);
  if (questions.background_timer >= 15.0f) {
    questions.background_timer = 0.0f;
    // Swings 0..11 and back.
    if (questions.background_reverse == 0) {
      questions.background_frame += 1;
      if (questions.background_frame == 11)
        questions.background_reverse = 1;
    } else {
      questions.background_frame -= 1;
      if (questions.background_frame == 0)
        questions.background_reverse = 0;
    }
  }
}

bool qdisp_effect() {
  // The effect ends with frame and timer both at 0, so this marks the first
  // call of every appearance.
  if (questions.qdisp_frame == 0 && questions.qdisp_timer == 0.0f)
    play_sound(audio.sounds[sound_scale_up]);
  questions.qdisp_timer += shell.frame_seconds * 100.0f;
  const std::int32_t f = questions.qdisp_frame;
  draw_image_scaled_centred(320, 240, &images[picture_qdisp_eff], qdisp_scales_x[f], qdisp_scales_y[f], 0, 216 * f, 320,
                            216 * f + 216);
  if (questions.qdisp_timer >= 4.0f) {
    questions.qdisp_timer = 0.0f;
    questions.qdisp_frame += 1;
    // The question appears under the last, largest frame.
    if (questions.qdisp_frame == 7)
      scenes.question_shown = 1;
    if (questions.qdisp_frame == 8) {
      questions.qdisp_frame = 0;
      questions.answer_active = 1;
      return false;
    }
  }
  return true;
}

void draw_cursors() {
  questions.cursor_timer += shell.frame_seconds * 100.0f;
  const std::int32_t y = answer_row_y(scenes.answer_cursor);
  const std::int32_t f = questions.cursor_frame;
  draw_image_additive(125, y, &images[picture_cursol], 0, 32 * f, 32, 32 * f + 32);
  draw_image_additive(487, y, &images[picture_cursol_r], 0, 32 * f, 32, 32 * f + 32);
  if (questions.cursor_timer >= 8.0f) {
    questions.cursor_timer = 0.0f;
    questions.cursor_frame += 1;
    if (questions.cursor_frame == 8)
      questions.cursor_frame = 0;
  }
}

bool collect_effect() {
  questions.collect_timer += shell.frame_seconds * 100.0f;
  const std::int32_t f = questions.collect_frame;
  draw_image_additive(160, answer_row_y(scenes.answer_cursor), &images[picture_collect_eff], 0, 32 * f, 320,
                      32 * f + 32);
  if (questions.collect_timer >= 1.0f) {
    questions.collect_timer = 0.0f;
    questions.collect_frame += 1;
    if (questions.collect_frame == 16) {
      questions.collect_frame = 0;
      scenes.qdisp_active = 1;
      scenes.question_shown = 0;
      questions.need_new_question = 1;
      // The fixed set is scored with the weights of the pool's first rows,
      // into its own score set.
      if (scenes.shift_mode == 1) {
        apply_answer(scenes.question_number, scenes.answer_cursor, 1);
      } else {
        apply_answer(questions.question_picture - picture_q001, scenes.answer_cursor, 0);
      }
      scenes.answer_cursor = 0;
      scenes.question_number = static_cast<std::int8_t>(scenes.question_number + 1);
      return false;
    }
  }
  return true;
}

bool question_scene() {
  animate_background();

  if (questions.answer_active == 1) {
    draw_cursors();
    read_answer_keys();
  }

  if (scenes.question_shown == 1) {
    choose_picture();
    draw_question();
  }

  if (scenes.qdisp_active == 1)
    scenes.qdisp_active = qdisp_effect() ? 1 : 0;
  if (questions.collect_active == 1)
    questions.collect_active = collect_effect() ? 1 : 0;

  if (scenes.question_number < questions_per_test)
    return true;

  // All twelve answered: two seconds of noise, then the analysis.
  if (questions.end_sound_pending == 1)
    play_sound(audio.sounds[sound_noize02]);
  questions.answer_active = 0;
  scenes.question_shown = 0;
  scenes.qdisp_active = 0;
  questions.collect_active = 0;
  questions.end_sound_pending = 0;
  fill_noise(0, 0, screen_width, screen_height);
  if (!wait_step(2.0f))
    return true;
  scenes.analysis_active = 1;
  stop_music();
  play_music("bgm03.mid");
  // The scores are final now. The file is written here as well as when the
  // analysis ends, with the same bytes, so that a player who leaves with Esc
  // during the analysis or its wipe still keeps the test just seen.
  write_result_file();
  return false;
}

}  // namespace shindan
