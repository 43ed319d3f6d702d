// The program's spine: start-up, the message loop with its frame timing, the
// window procedure's handlers, the shared random generator and error box.
#include "app/shell.h"

#include "app/frame.h"
#include "gfx/gfx.h"
#include "sound/sound.h"

namespace shindan {

plat_window* main_window = nullptr;
std::uint32_t last_tick = 0;
float frame_seconds = 0.0f;
std::uint32_t rand_state = 1;

namespace {

// ダイレクトドローの初期化に失敗しました
constexpr const char display_failed_text[] =
    "\x83\x5f\x83\x43\x83\x8c\x83\x4e\x83\x67\x83\x68\x83\x8d\x81\x5b\x82\xcc\x8f\x89\x8a\xfa\x89\xbb\x82\xc9\x8e"
    "\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// ダイレクトサウンドの初期化に失敗しました
constexpr const char sound_failed_text[] =
    "\x83\x5f\x83\x43\x83\x8c\x83\x4e\x83\x67\x83\x54\x83\x45\x83\x93\x83\x68\x82\xcc\x8f\x89\x8a\xfa\x89\xbb\x82"
    "\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// エラー発生
constexpr const char error_caption[] = "\x83\x47\x83\x89\x81\x5b\x94\xad\x90\xb6";

// The window system stops delivering messages to a window once it has been
// destroyed; a close or key message still queued for it (Esc held down posts
// one close per repeat) must then do nothing.
bool window_alive = false;

}  // namespace

int rand() {
  rand_state = rand_state * 214013u + 2531011u;
  return static_cast<int>((rand_state >> 16) & 0x7FFFu);
}

bool report_error(const char* text) {
  // Without this the box would sit behind the exclusive full-screen display.
  if (display.direct_draw != nullptr)
    plat_flip_to_desktop(display.direct_draw);
  plat_message_box(main_window, text, error_caption);
  return false;
}

start_result start_program() {
  main_window = plat_create_window();
  if (main_window == nullptr)
    return start_result::no_window;
  plat_show_window(main_window);

  if (!init_display(main_window)) {
    // An empty caption, not a null one: the box shows a blank title bar.
    plat_message_box(main_window, display_failed_text, "");
    return start_result::display_failed;
  }
  if (!init_sound(main_window)) {
    plat_message_box(main_window, sound_failed_text, "");
    return start_result::sound_failed;
  }

  last_tick = plat_tick_count();
  plat_show_cursor(false);
  return start_result::quit;
}

loop_turn run_loop_turn() {
  plat_message message;
  if (plat_peek_message(&message)) {
    if (message.kind == plat_message_kind::quit)
      return loop_turn::quit;
    plat_dispatch_message(message);
    return loop_turn::message;
  }

  // Unsigned subtraction keeps the difference small and positive across the
  // tick counter's wrap. The time between the two readings belongs to no frame.
  const std::uint32_t elapsed = plat_tick_count() - last_tick;
  frame_seconds = static_cast<float>(static_cast<double>(elapsed) / 1000.0);
  last_tick = plat_tick_count();

  clear_back_buffer();
  run_frame();
  present_frame();
  return loop_turn::frame;
}

start_result run_program() {
  const start_result started = start_program();
  if (started != start_result::quit)
    return started;
  while (run_loop_turn() != loop_turn::quit) {
  }
  return start_result::quit;
}

void on_window_create(plat_window*) {
  // Nothing has been loaded yet; teardown relies on empty slots being null.
  for (image_slot& slot : images)
    slot.surface = nullptr;
  for (plat_sound_buffer*& slot : sounds)
    slot = nullptr;
  window_alive = true;
}

void on_key_down(plat_window* window, std::uint32_t virtual_key) {
  if (virtual_key == static_cast<std::uint32_t>(vk_escape))
    plat_post_close(window);
}

void on_window_close(plat_window*) {
  plat_show_cursor(true);
  close_display(main_window);
  release_sound();
  stop_music();
  plat_minimise_window(main_window);
  plat_destroy_window(main_window);
}

void on_window_destroy(plat_window*) {
  window_alive = false;
  plat_post_quit();
}

void window_procedure(const plat_message& message) {
  if (!window_alive)
    return;
  if (message.window != nullptr && message.window != main_window)
    return;
  switch (message.kind) {
    case plat_message_kind::key_down:
      on_key_down(message.window != nullptr ? message.window : main_window, message.param);
      break;
    case plat_message_kind::close:
      on_window_close(main_window);
      break;
    case plat_message_kind::music_notify:
      on_music_notify(message.window != nullptr ? message.window : main_window, message.param);
      break;
    case plat_message_kind::quit:
    case plat_message_kind::other:
      break;
  }
}

}  // namespace shindan
