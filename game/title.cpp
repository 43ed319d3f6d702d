// The title scene: the waiting title, the introduction started with Space or
// Shift, the noise screen and the hand-over to the questions.
#include "app/frame.h"
#include "app/keys.h"
#include "app/transitions.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "sound/sound.h"

namespace shindan {

std::int32_t title_zoom_frame = 0;
float title_zoom_scale_x = 0.0f, title_zoom_scale_y = 0.0f;
key_latch title_space_latch = key_up, shift_latch = key_up, enter_latch = key_up;

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

constexpr title_region title_picture = {0, 80, 120, 0, 0, 480, 60};
constexpr title_region create_line_1 = {1, 0, 420, 0, 0, 640, 32};
constexpr title_region create_line_2 = {1, 0, 450, 0, 32, 640, 64};
constexpr title_region prompt = {3, 112, 280, 0, 0, 416, 32};
constexpr title_region background = {4, 0, 0, 0, 0, 640, 480};
constexpr title_region message_1 = {6, 106, 84, 0, 0, 404, 28};
constexpr title_region message_2 = {7, 128, 208, 0, 0, 380, 92};
constexpr title_region message_3 = {8, 86, 386, 0, 0, 452, 60};

constexpr int enter_slot = 19;
constexpr int sound_intro = 3;
constexpr int sound_scores_cleared = 5;
constexpr int sound_noise = 6;

void draw_region(const title_region& r) {
  draw_image(r.x, r.y, &images[r.slot], r.left, r.top, r.right, r.bottom);
}

// A fade step keeps the fade's result so that the step can end on it.
bool fade_region(const title_region& r, float seconds) {
  scene_fade = fade_blit(r.x, r.y, seconds, &images[r.slot], r.left, r.top, r.right, r.bottom);
  return scene_fade == -1.0f;
}

bool wait_over(float seconds) {
  scene_waiting = wait_timer(seconds) ? 1 : 0;
  return scene_waiting == 0;
}

// The Enter prompt shows its second row once the question pool has been
// refilled after a full cycle of tests.
void draw_enter_prompt(float transparency, bool translucent) {
  const std::int32_t top = pool_refilled == 1 ? 24 : 0;
  if (translucent) {
    draw_image_translucent(130, 310, transparency, &images[enter_slot], 0, top, 380, top + 24);
  } else {
    draw_image(130, 310, &images[enter_slot], 0, top, 380, top + 24);
  }
}

// A key jump may cut a fade or wait short; the next step's timing must start
// from nothing.
void zero_timers() {
  wait_elapsed = 0.0f;
  fade_elapsed = 0.0f;
}

void draw_hamon_scaled(float scale_x, float scale_y) {
  draw_image_scaled_centred(320, 240, &images[background.slot], scale_x, scale_y, 0, 0, 640, 480);
}

void handle_keys() {
  poll_key(vk_space, &title_space_latch);
  if (title_space_latch == key_pressed) {
    if (title_step == 16) {
      title_step = 17;
      stop_music();
      play_music("bgm02.mid");
      play_sound(sounds[sound_noise]);
      zero_timers();
    } else if (title_step >= 10 && title_step <= 15) {
      title_step = 16;
      zero_timers();
    } else if (title_step == 7) {
      title_step = 8;
      zero_timers();
      play_music("bgm01.mid");
    } else if (title_step <= 6) {
      title_step = 7;
      zero_timers();
    }
  }

  poll_key(vk_shift, &shift_latch);
  if (shift_latch == key_pressed) {
    if (title_step == 7) {
      title_step = 8;
      zero_timers();
      shift_mode = 1;
      play_music("bgm01.mid");
    } else if (title_step <= 6) {
      title_step = 7;
      zero_timers();
    }
  }

  poll_key(vk_enter, &enter_latch);
  if (enter_latch == key_pressed && title_step <= 7 && first_test == 0) {
    play_sound(sounds[sound_scores_cleared]);
    reset_scores();
  }
}

}  // namespace

bool title_scene() {
  handle_keys();

  switch (title_step) {
    case 0:
      if (fade_region(title_picture, 3.0f))
        title_step = 1;
      break;
    case 1:
      draw_region(title_picture);
      if (wait_over(1.0f))
        title_step = 2;
      break;
    case 2:
      draw_region(title_picture);
      if (fade_region(create_line_1, 2.0f))
        title_step = 3;
      break;
    case 3:
      draw_region(title_picture);
      draw_region(create_line_1);
      if (wait_over(1.0f))
        title_step = 4;
      break;
    case 4:
      draw_region(title_picture);
      draw_region(create_line_1);
      if (fade_region(create_line_2, 2.0f))
        title_step = 5;
      break;
    case 5:
      draw_region(title_picture);
      draw_region(create_line_1);
      draw_region(create_line_2);
      if (wait_over(1.0f))
        title_step = 6;
      break;
    case 6: {
      draw_region(title_picture);
      draw_region(create_line_1);
      draw_region(create_line_2);
      const bool faded = fade_region(prompt, 2.0f);
      // The Enter prompt fades in together with the prompt line.
      if (first_test == 0)
        draw_enter_prompt(scene_fade, true);
      if (faded) {
        title_zoom_frame = 0;
        title_step = 7;
      }
      break;
    }
    case 7:
      draw_region(title_picture);
      draw_region(create_line_1);
      draw_region(create_line_2);
      draw_region(prompt);
      if (first_test == 0)
        draw_enter_prompt(0.0f, false);
      break;
    case 8:
      // Six frames shrink the background from 2.5 times to nothing, the
      // seventh shows nothing and moves on.
      if (title_zoom_frame > 5) {
        title_zoom_frame = 0;
        title_step = 9;
        break;
      }
      title_zoom_frame = title_zoom_frame + 1;
      title_zoom_scale_x = title_zoom_scale_y = 3.0f - static_cast<float>(title_zoom_frame) * 0.5f;
      draw_hamon_scaled(title_zoom_scale_x, title_zoom_scale_y);
      play_sound(sounds[sound_intro]);
      break;
    case 9:
      // 38 frames: the table's entries 1 to 37, then 37 once more.
      if (title_zoom_frame > 36) {
        draw_hamon_scaled(zoom_table_x[title_zoom_frame], zoom_table_y[title_zoom_frame]);
        title_zoom_frame = 0;
        title_step = 10;
        break;
      }
      title_zoom_frame = title_zoom_frame + 1;
      draw_hamon_scaled(zoom_table_x[title_zoom_frame], zoom_table_y[title_zoom_frame]);
      break;
    case 10:
      draw_region(background);
      if (wait_over(2.0f))
        title_step = 11;
      break;
    case 11:
      draw_region(background);
      if (fade_region(message_1, 4.0f))
        title_step = 12;
      break;
    case 12:
      draw_region(background);
      draw_region(message_1);
      if (wait_over(2.0f))
        title_step = 13;
      break;
    case 13:
      draw_region(background);
      draw_region(message_1);
      if (fade_region(message_2, 4.0f))
        title_step = 14;
      break;
    case 14:
      draw_region(background);
      draw_region(message_1);
      draw_region(message_2);
      if (wait_over(2.0f))
        title_step = 15;
      break;
    case 15:
      draw_region(background);
      draw_region(message_1);
      draw_region(message_2);
      if (fade_region(message_3, 4.0f))
        title_step = 16;
      break;
    case 16:
      draw_region(background);
      draw_region(message_1);
      draw_region(message_2);
      draw_region(message_3);
      if (wait_over(3.0f)) {
        play_sound(sounds[sound_noise]);
        stop_music();
        play_music("bgm02.mid");
        title_step = 17;
      }
      break;
    case 17:
      fill_noise(0, 0, screen_width, screen_height);
      if (wait_over(1.5f)) {
        // Hand over to the question scene, which runs later in this frame.
        question_active = 1;
        qdisp_active = 1;
        question_shown = 0;
        question_number = 0;
        answer_cursor = 0;
        return false;
      }
      break;
    default:
      break;
  }
  return true;
}

}  // namespace shindan
