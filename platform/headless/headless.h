// Controls of the in-memory platform for tests, replays and tools: set the
// clock and the keys, make devices fail or lose surfaces, and read back what
// the program presented, played, sent and showed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace shindan::headless {

// Forgets every recording and device and puts the platform back as at start:
// tick 0, keys up, empty queue, 5-6-5 pixels, no failures.
void reset();

void use_555(bool five_five_five);  // pixel layout of the display from the next open

void set_tick(std::uint32_t milliseconds);
std::uint32_t tick();
void set_key(int virtual_key, bool down);
// Queues a key-down message for the main window, as a key press would.
void post_key_down(int virtual_key);
// Queues a close request, as the window's close button would.
void post_close();

// The next plat_open_display stops at this stage (ready = no failure).
void fail_display_at(plat_display_stage stage);
void fail_sound_device(bool creation_fails, bool cooperation_fails);
// Every surface reports loss (draws, locks, present) until it is restored.
void lose_surfaces();
// The next count locks answer plat_still_drawing when they do not wait, as
// if a blit were still running (a waiting lock just succeeds).
void still_drawing_locks(int count);
// Surfaces made and not yet released (the screen, pictures, ...).
std::size_t live_surface_count();
// The next plat_create_window fails.
void fail_window_creation(bool fails);

// The last presented frame, 640 * 480 pixels in the display's layout, and
// how many frames have been presented.
const std::vector<std::uint16_t>& screen();
std::uint64_t frames_presented();
// The back buffer as it is now (for tests of single draws).
std::vector<std::uint16_t> back_buffer_pixels();

struct message_box_record {
  bool has_owner = false;
  std::string text;  // Shift-JIS bytes
  bool has_caption = false;
  std::string caption;  // Shift-JIS bytes
};
const std::vector<message_box_record>& message_boxes();

// Sound buffer activity, in order. buffer is a number given at creation,
// from 1; value is the byte count (create, fill), the position (set_position).
enum class sound_action : std::uint8_t { create, fill, stop, set_position, play, release };
struct sound_record {
  sound_action action;
  int buffer;
  std::uint32_t value;
};
const std::vector<sound_record>& sound_records();
int buffer_number(const plat_sound_buffer* buffer);
// The bytes written into a buffer.
std::vector<std::uint8_t> buffer_contents(const plat_sound_buffer* buffer);
// Makes the next lock of a sound buffer answer plat_buffer_lost once.
void lose_next_sound_lock();

// Every MCI command string sent, in order.
const std::vector<std::string>& music_commands();
// The file the "midi" alias holds open ("" when closed) and whether it plays.
std::string open_tune();
bool tune_playing();
// The playing tune reaches its end: it stops and a successful notification
// is queued for the window that asked for one.
void end_tune();

// What plat_program_file_name answers (default "/shindan/shindan").
void set_program_file_name(const std::string& path);

// Windows and teardown order, for tests of the shell.
bool cursor_shown();
bool window_exists();
const std::vector<std::string>& shell_calls();  // "show_cursor 1", "close_display", "minimise", "destroy", ...

}  // namespace shindan::headless
