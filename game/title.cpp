// The title scene: the waiting title, the introduction started with Space or
// Shift, the noise screen and the hand-over to the questions.
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

void handle_keys() {
  poll_key(plat_key::space, &title.title_space_latch);
  if (title.title_space_latch == key_pressed) {
    if (scenes.title_step == 16) {
      scenes.title_step = 17;
      stop_music();
      play_music("bgm02.mid");
      play_sound(audio.sounds[sound_noize01]);
      zero_timers();
    } else if (scenes.title_step >= 10 && scenes.title_step <= 15) {
      scenes.title_step = 16;
      zero_timers();
    } else if (scenes.title_step == 7) {
      scenes.title_step = 8;
      zero_timers();
      play_music("bgm01.mid");
    } else if (scenes.title_step <= 6) {
      scenes.title_step = 7;
      zero_timers();
    }
  }

  poll_key(plat_key::shift, &title.shift_latch);
  if (title.shift_latch == key_pressed) {
    if (scenes.title_step == 7) {
      scenes.title_step = 8;
      zero_timers();
      scenes.shift_mode = 1;
      play_music("bgm01.mid");
    } else if (scenes.title_step <= 6) {
      scenes.title_step = 7;
      zero_timers();
    }
  }

  poll_key(plat_key::enter, &title.enter_latch);
  if (title.enter_latch == key_pressed && scenes.title_step <= 7 && scenes.first_test == 0) {
    play_sound(audio.sounds[sound_scale_up]);
    reset_scores();
  }
}

}  // namespace

bool title_scene() {
  handle_keys();

  switch (scenes.title_step) {
    case 0:
      if (fade_region(title_picture, 3.0f))
        scenes.title_step = 1;
      break;
    case 1:
      draw_region(title_picture);
      if (wait_step(1.0f))
        scenes.title_step = 2;
      break;
    case 2:
      draw_region(title_picture);
      if (fade_region(create_line_1, 2.0f))
        scenes.title_step = 3;
      break;
    case 3:
      draw_region(title_picture);
      draw_region(create_line_1);
      if (wait_step(1.0f))
        scenes.title_step = 4;
      break;
    case 4:
      draw_region(title_picture);
      draw_region(create_line_1);
      if (fade_region(create_line_2, 2.0f))
        scenes.title_step = 5;
      break;
    case 5:
      draw_region(title_picture);
      draw_region(create_line_1);
      draw_region(create_line_2);
      if (wait_step(1.0f))
        scenes.title_step = 6;
      break;
    case 6: {
      draw_region(title_picture);
      draw_region(create_line_1);
      draw_region(create_line_2);
      const bool faded = fade_region(prompt, 2.0f);
      // The Enter prompt fades in together with the prompt line.
      if (scenes.first_test == 0)
        draw_enter_prompt(scenes.scene_fade, true);
      if (faded) {
        title.title_zoom_frame = 0;
        scenes.title_step = 7;
      }
      break;
    }
    case 7:
      draw_region(title_picture);
      draw_region(create_line_1);
      draw_region(create_line_2);
      draw_region(prompt);
      if (scenes.first_test == 0)
        draw_enter_prompt(0.0f, false);
      break;
    case 8:
      // Six frames shrink the background from 2.5 times to nothing, the
      // seventh shows nothing and moves on.
      if (title.title_zoom_frame > 5) {
        title.title_zoom_frame = 0;
        scenes.title_step = 9;
        break;
      }
      title.title_zoom_frame = title.title_zoom_frame + 1;
      title.title_zoom_scale_x = title.title_zoom_scale_y = 3.0f - static_cast<float>(title.title_zoom_frame) * 0.5f;
      draw_hamon_scaled(title.title_zoom_scale_x, title.title_zoom_scale_y);
      play_sound(audio.sounds[sound_intoro]);
      break;
    case 9:
      // 38 frames: the table's entries 1 to 37, then 37 once more.
      if (title.title_zoom_frame > 36) {
        draw_hamon_scaled(zoom_table_x[title.title_zoom_frame], zoom_table_y[title.title_zoom_frame]);
        title.title_zoom_frame = 0;
        scenes.title_step = 10;
        break;
      }
      title.title_zoom_frame = title.title_zoom_frame + 1;
      draw_hamon_scaled(zoom_table_x[title.title_zoom_frame], zoom_table_y[title.title_zoom_frame]);
      break;
    case 10:
      draw_region(background);
      if (wait_step(2.0f))
        scenes.title_step = 11;
      break;
    case 11:
      draw_region(background);
      if (fade_region(message_1, 4.0f))
        scenes.title_step = 12;
      break;
    case 12:
      draw_region(background);
      draw_region(message_1);
      if (wait_step(2.0f))
        scenes.title_step = 13;
      break;
    case 13:
      draw_region(background);
      draw_region(message_1);
      if (fade_region(message_2, 4.0f))
        scenes.title_step = 14;
      break;
    case 14:
      draw_region(background);
      draw_region(message_1);
      draw_region(message_2);
      if (wait_step(2.0f))
        scenes.title_step = 15;
      break;
    case 15:
      draw_region(background);
      draw_region(message_1);
      draw_region(message_2);
      if (fade_region(message_3, 4.0f))
        scenes.title_step = 16;
      break;
    case 16:
      draw_region(background);
      draw_region(message_1);
      draw_region(message_2);
      draw_region(message_3);
      if (wait_step(3.0f)) {
        play_sound(audio.sounds[sound_noize01]);
        stop_music();
        play_music("bgm02.mid");
        scenes.title_step = 17;
      }
      break;
    case 17:
      fill_noise(0, 0, screen_width, screen_height);
      if (wait_step(1.5f)) {
        // Hand over to the question scene, which runs later in this frame.
        scenes.question_active = 1;
        scenes.qdisp_active = 1;
        scenes.question_shown = 0;
        scenes.question_number = 0;
        scenes.answer_cursor = 0;
        return false;
      }
      break;
    default:
      break;
  }
  return true;
}

}  // namespace shindan
