// The program's spine: start-up, the message loop, frame timing, the window
// procedure's handlers and the helpers every subsystem shares.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace shindan {

extern plat_window* main_window;
extern std::uint32_t last_tick;
// Seconds since the previous frame; never clamped.
extern float frame_seconds;

// The program's one pseudo-random generator: state = state * 214013 + 2531011,
// answers (state >> 16) & 0x7FFF. Starts at 1 and is never seeded.
extern std::uint32_t rand_state;
int rand();

// Shows a message box over the display with the caption "エラー発生";
// always answers false so that callers can return its result.
bool report_error(const char* text);

// How start-up went: the entry function turns this into the platform's exit
// status (WinMain answers 0 on a failed start and 1 after the loop).
enum class start_result : std::uint8_t { no_window, display_failed, sound_failed, quit };

// Creates the window, sets up display and sound and hides the cursor.
// Answers quit when the loop may run.
start_result start_program();
// One turn of the message loop: handles one waiting message, or, when none
// waits, runs one frame.
enum class loop_turn : std::uint8_t { message, frame, quit };
loop_turn run_loop_turn();
// start_program, then loop turns until the quit message.
start_result run_program();

// The window procedure's handlers; each backend's event pump calls them.
void on_window_create(plat_window* window);
void on_key_down(plat_window* window, std::uint32_t virtual_key);
void on_window_close(plat_window* window);
void on_window_destroy(plat_window* window);
// (on_music_notify lives with the music, sound/sound.h.)

// Hands one message to the handlers above; used by the backends'
// plat_dispatch_message.
void window_procedure(const plat_message& message);

}  // namespace shindan
