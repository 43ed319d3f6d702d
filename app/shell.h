// The program's spine: start-up, the loop that turns the platform's events
// into frames, the teardown, and the helpers every subsystem shares.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace shindan {

struct shell_record {
  std::uint32_t last_tick = 0;
  // Seconds since the previous frame; never clamped.
  float frame_seconds = 0.0f;
  // The program's one pseudo-random generator: state = state * 214013 +
  // 2531011, answers (state >> 16) & 0x7FFF. Starts at 1 and is never seeded.
  std::uint32_t rand_state = 1;
};
extern shell_record shell;

int rand();

// Shows a message box over the display with the caption "エラー発生";
// always answers false so that callers can return its result.
bool report_error(const char* text);

// How start-up went: the entry function turns this into the platform's exit
// status (the Windows entry answers 0 on a failed start and 1 after the loop).
enum class start_result : std::uint8_t { no_window, display_failed, sound_failed, quit };

// Opens the window, sets up display and sound and hides the cursor.
// Answers quit when the loop may run.
start_result start_program();
// One turn of the loop: handles one waiting event, or, when none waits, runs
// one frame. A close request tears the program down and answers quit.
enum class loop_turn : std::uint8_t { event, frame, quit };
loop_turn run_loop_turn();
// start_program, then loop turns until the program has closed.
start_result run_program();
// The teardown, in the order the devices depend on each other: cursor back,
// display, sound, music, speech, window.
void close_program();

}  // namespace shindan
