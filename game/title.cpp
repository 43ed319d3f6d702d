// The title scene: the waiting title, the introduction started with Space or
// Shift, the noise screen and the hand-over to the questions.
#include <iterator>

#include "app/frame.h"
#include "app/keys.h"
#include "app/transitions.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "sound/sound.h"

namespace shindan {

title_record title;

// One entry per frame of the table zoom, from entry 1; entry 0 is never read.
// The picture is squeezed and stretched in turn and settles at 1.0 by 1.0.
const float zoom_table_x[38] = {0.0f, 0.3f, 0.7f, 1.2f, 1.8f, 1.8f, 1.6f, 1.0f, 0.6f, 0.3f, 0.2f, 0.2f, 0.2f,
                                0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.2f, 0.2f, 0.3f, 0.5f, 1.0f, 2.0f, 2.0f, 2.0f,
                                1.8f, 1.4f, 1.2f, 1.0f, 0.8f, 0.7f, 0.5f, 0.8f, 1.0f, 1.1f, 1.1f, 1.0f};
const float zoom_table_y[38] = {0.0f, 0.1f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.3f, 0.4f, 0.5f, 0.7f, 1.2f,
                                1.8f, 2.4f, 2.4f, 2.2f, 1.8f, 1.6f, 0.5f, 0.2f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f,
                                0.2f, 0.3f, 0.5f, 1.0f, 1.2f, 1.3f, 1.5f, 1.2f, 1.0f, 0.9f, 0.9f, 1.0f};

namespace {

// A picture region and where it goes on the screen.
struct title_region {
  int slot;
  std::int32_t x, y;
  std::int32_t left, top, right, bottom;
};

constexpr title_region title_picture = {picture_title, 80, 120, 0, 0, 480, 60};
constexpr title_region create_line_1 = {picture_create, 0, 420, 0, 0, 640, 32};
constexpr title_region create_line_2 = {picture_create, 0, 450, 0, 32, 640, 64};
constexpr title_region prompt = {picture_spackye, 112, 280, 0, 0, 416, 32};
constexpr title_region background = {picture_hamon, 0, 0, 0, 0, 640, 480};
constexpr title_region message_1 = {picture_initmes1, 106, 84, 0, 0, 404, 28};
constexpr title_region message_2 = {picture_initmes2, 128, 208, 0, 0, 380, 92};
constexpr title_region message_3 = {picture_initmes3, 86, 386, 0, 0, 452, 60};

// Each screen builds up in layers, bottom first; a step draws the layers
// already shown and then fades in the next one or pauses over them.
constexpr const title_region* title_layers[] = {&title_picture, &create_line_1, &create_line_2, &prompt};
constexpr const title_region* intro_layers[] = {&background, &message_1, &message_2, &message_3};

// The steps in the order they run; scenes.title_step holds one of them.
enum title_step_name : std::int8_t {
  title_fades_in,
  title_rests,
  create_line_1_fades_in,
  create_line_1_rests,
  create_line_2_fades_in,
  create_line_2_rests,
  prompt_fades_in,
  waiting_for_a_key,
  background_shrinks,
  background_wobbles,
  background_rests,
  message_1_fades_in,
  message_1_rests,
  message_2_fades_in,
  message_2_rests,
  message_3_fades_in,
  messages_rest,
  noise_before_the_questions,
};

// What a step does over the layers it shows: fades in the next layer, pauses,
// waits for a key, or runs one of the frame-by-frame pieces.
enum class title_action { fade_next, pause, wait_for_key, shrink, wobble, noise };

struct title_step_row {
  title_step_name step;
  const title_region* const* layers;  // the screen's layers, bottom first
  int shown;                          // how many of them are drawn whole
  title_action action;
  float seconds;   // of the fade or the pause
  void (*then)();  // what the step's end does besides moving on, if anything
};

void draw_region(const title_region& r) {
  draw_image(r.x, r.y, &images[r.slot], r.left, r.top, r.right, r.bottom);
}

bool fade_region(const title_region& r, float seconds) {
  return fade_step(r.x, r.y, seconds, &images[r.slot], r.left, r.top, r.right, r.bottom);
}

// The Enter prompt shows its second row once the question pool has been
// refilled after a full cycle of tests.
void draw_enter_prompt(float transparency, bool translucent) {
  const std::int32_t top = scenes.pool_refilled == 1 ? 24 : 0;
  if (translucent) {
    draw_image_translucent(130, 310, transparency, &images[picture_enter], 0, top, 380, top + 24);
  } else {
    draw_image(130, 310, &images[picture_enter], 0, top, 380, top + 24);
  }
}

void draw_hamon_scaled(float scale_x, float scale_y) {
  draw_image_scaled_centred(320, 240, &images[background.slot], scale_x, scale_y, 0, 0, 640, 480);
}

// Six frames shrink the background from 2.5 times to nothing, with the
// introduction's sound; the seventh shows nothing and moves on.
bool shrink_background() {
  if (title.title_zoom_frame > 5) {
    title.title_zoom_frame = 0;
    return true;
  }
  title.title_zoom_frame = title.title_zoom_frame + 1;
  title.title_zoom_scale_x = title.title_zoom_scale_y = 3.0f - static_cast<float>(title.title_zoom_frame) * 0.5f;
  draw_hamon_scaled(title.title_zoom_scale_x, title.title_zoom_scale_y);
  play_sound(audio.sounds[sound_intoro]);
  return false;
}

// 38 frames: the zoom table's entries 1 to 37, then 37 once more.
bool wobble_background() {
  const bool last = title.title_zoom_frame > 36;
  if (!last)
    title.title_zoom_frame = title.title_zoom_frame + 1;
  draw_hamon_scaled(zoom_table_x[title.title_zoom_frame], zoom_table_y[title.title_zoom_frame]);
  if (last)
    title.title_zoom_frame = 0;
  return last;
}

void restart_zoom() {
  title.title_zoom_frame = 0;
}

void start_noise() {
  play_sound(audio.sounds[sound_noize01]);
  stop_music();
  play_music("bgm02.mid");
}

// The question scene runs later in this frame.
void hand_over_to_questions() {
  scenes.question_active = 1;
  scenes.qdisp_active = 1;
  scenes.question_shown = 0;
  scenes.question_number = 0;
  scenes.answer_cursor = 0;
}

using enum title_action;
constexpr title_step_row title_steps[] = {
    {title_fades_in, title_layers, 0, fade_next, 3.0f, nullptr},
    {title_rests, title_layers, 1, pause, 1.0f, nullptr},
    {create_line_1_fades_in, title_layers, 1, fade_next, 2.0f, nullptr},
    {create_line_1_rests, title_layers, 2, pause, 1.0f, nullptr},
    {create_line_2_fades_in, title_layers, 2, fade_next, 2.0f, nullptr},
    {create_line_2_rests, title_layers, 3, pause, 1.0f, nullptr},
    {prompt_fades_in, title_layers, 3, fade_next, 2.0f, restart_zoom},
    {waiting_for_a_key, title_layers, 4, wait_for_key, 0.0f, nullptr},
    {background_shrinks, intro_layers, 0, shrink, 0.0f, nullptr},
    {background_wobbles, intro_layers, 0, wobble, 0.0f, nullptr},
    {background_rests, intro_layers, 1, pause, 2.0f, nullptr},
    {message_1_fades_in, intro_layers, 1, fade_next, 4.0f, nullptr},
    {message_1_rests, intro_layers, 2, pause, 2.0f, nullptr},
    {message_2_fades_in, intro_layers, 2, fade_next, 4.0f, nullptr},
    {message_2_rests, intro_layers, 3, pause, 2.0f, nullptr},
    {message_3_fades_in, intro_layers, 3, fade_next, 4.0f, nullptr},
    {messages_rest, intro_layers, 4, pause, 3.0f, start_noise},
    {noise_before_the_questions, nullptr, 0, noise, 1.5f, hand_over_to_questions},
};
constexpr int title_step_count = static_cast<int>(std::size(title_steps));

// Every row sits at its own step's number.
constexpr bool rows_in_step_order() {
  for (int i = 0; i < title_step_count; ++i)
    if (title_steps[i].step != i)
      return false;
  return title_step_count == noise_before_the_questions + 1;
}
static_assert(rows_in_step_order());

void go_to(title_step_name step) {
  scenes.title_step = step;
  zero_timers();
}

// Space skips the title's build-up, starts the introduction, skips its
// build-up and then ends it; Shift starts the hidden test instead; Enter
// clears the scores while the title stands, once a test has been taken.
void handle_keys() {
  const int step = scenes.title_step;
  poll_key(plat_key::space, &title.title_space_latch);
  if (title.title_space_latch == key_pressed) {
    if (step == messages_rest) {
      go_to(noise_before_the_questions);
      stop_music();
      play_music("bgm02.mid");
      play_sound(audio.sounds[sound_noize01]);
    } else if (step >= background_rests && step < messages_rest) {
      go_to(messages_rest);
    } else if (step == waiting_for_a_key) {
      go_to(background_shrinks);
      play_music("bgm01.mid");
    } else if (step < waiting_for_a_key) {
      go_to(waiting_for_a_key);
    }
  }

  poll_key(plat_key::shift, &title.shift_latch);
  if (title.shift_latch == key_pressed) {
    if (scenes.title_step == waiting_for_a_key) {
      go_to(background_shrinks);
      scenes.shift_mode = 1;
      play_music("bgm01.mid");
    } else if (scenes.title_step < waiting_for_a_key) {
      go_to(waiting_for_a_key);
    }
  }

  poll_key(plat_key::enter, &title.enter_latch);
  if (title.enter_latch == key_pressed && scenes.title_step <= waiting_for_a_key && scenes.first_test == 0) {
    play_sound(audio.sounds[sound_scale_up]);
    reset_scores();
  }
}

bool run_action(const title_step_row& row) {
  switch (row.action) {
    case fade_next:
      return fade_region(*row.layers[row.shown], row.seconds);
    case pause:
      return wait_step(row.seconds);
    case wait_for_key:
      return false;
    case shrink:
      return shrink_background();
    case wobble:
      return wobble_background();
    case noise:
      fill_noise(0, 0, screen_width, screen_height);
      return wait_step(row.seconds);
  }
  return false;
}

}  // namespace

bool title_scene() {
  handle_keys();
  const int step = scenes.title_step;
  if (step < 0 || step >= title_step_count)
    return true;
  const title_step_row& row = title_steps[step];
  for (int i = 0; i < row.shown; ++i)
    draw_region(*row.layers[i]);
  const bool done = run_action(row);
  // The Enter prompt, once a test has been taken, fades in with the prompt
  // line and stays while the title waits.
  if (scenes.first_test == 0 && (step == prompt_fades_in || step == waiting_for_a_key))
    draw_enter_prompt(scenes.scene_fade, step == prompt_fades_in);
  if (!done)
    return true;
  if (row.then != nullptr)
    row.then();
  if (step + 1 == title_step_count)
    return false;
  scenes.title_step = static_cast<std::int8_t>(step + 1);
  return true;
}

}  // namespace shindan
