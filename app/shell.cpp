// The program's spine: start-up, the loop with its frame timing, the
// teardown, the shared random generator and error box.
#include "app/shell.h"

#include "app/frame.h"
#include "game/narration.h"
#include "gfx/gfx.h"
#include "sound/sound.h"

namespace shindan {

shell_record shell;

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

}  // namespace

int rand() {
  shell.rand_state = shell.rand_state * 214013u + 2531011u;
  return static_cast<int>((shell.rand_state >> 16) & 0x7FFFu);
}

bool report_error(const char* text) {
  // Without this the box would sit behind the exclusive full-screen display.
  if (display.direct_draw != nullptr)
    plat_flip_to_desktop(display.direct_draw);
  plat_message_box(text, error_caption, true);
  return false;
}

start_result start_program() {
  if (!plat_open_window())
    return start_result::no_window;
  // Nothing has been loaded yet; teardown relies on empty slots being null.
  for (image_slot& slot : images)
    slot.surface = nullptr;
  for (plat_sound*& slot : audio.sounds)
    slot = nullptr;

  if (!init_display()) {
    // An empty caption, not a null one: the box shows a blank title bar.
    plat_message_box(display_failed_text, "", true);
    return start_result::display_failed;
  }
  if (!init_sound()) {
    plat_message_box(sound_failed_text, "", true);
    return start_result::sound_failed;
  }

  shell.last_tick = plat_tick_count();
  plat_show_cursor(false);
  return start_result::quit;
}

void close_program() {
  plat_show_cursor(true);
  close_display();
  release_sound();
  stop_music();
  close_narration();
  plat_close_window();
}

loop_turn run_loop_turn() {
  switch (plat_poll_event()) {
    case plat_event::close_requested:
      close_program();
      return loop_turn::quit;
    case plat_event::tune_ended:
      on_tune_ended();
      return loop_turn::event;
    case plat_event::speech_toggled:
      toggle_speech();
      return loop_turn::event;
    case plat_event::none:
      break;
  }

  // Unsigned subtraction keeps the difference small and positive across the
  // tick counter's wrap. The time between the two readings belongs to no frame.
  const std::uint32_t elapsed = plat_tick_count() - shell.last_tick;
  shell.frame_seconds = static_cast<float>(static_cast<double>(elapsed) / 1000.0);
  shell.last_tick = plat_tick_count();

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

}  // namespace shindan
