// Controls of the in-memory platform for tests, replays and tools: set the
// clock and the keys, queue events, make devices fail or lose surfaces, and
// read back what the program presented, played, showed and asked of the
// tune player.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/common/wave.h"
#include "platform/platform.h"

namespace shindan::headless {

// Forgets every recording, device and queued event and puts the platform
// back as at start: tick 0, keys up, 5-6-5 pixels, no failures.
void reset();

void use_555(bool five_five_five);  // pixel layout of the display from the next open

void set_tick(std::uint32_t milliseconds);
std::uint32_t tick();
void set_key(plat_key key, bool down);
// Queues close_requested, as Esc, the window's close button or Alt+F4 would.
void post_close();

// The next plat_open_display stops at this stage (ready = no failure).
void fail_display_at(plat_display_stage stage);
// The next plat_open_sound answers this stage (ready = no failure).
void fail_sound(plat_sound_stage stage);
// The next plat_load_sound makes its sound but cannot fill it (unfilled).
void fail_next_sound_fill();
// Every surface reports loss (draws, locks, present) until it is restored.
void lose_surfaces();
// Surfaces made and not yet released (the screen, the back buffer, pictures).
std::size_t live_surface_count();
// Whether plat_open_window fails.
void fail_window(bool fails);

// The last presented frame, 640 * 480 pixels in the display's layout, and
// how many frames have been presented.
const std::vector<std::uint16_t>& screen();
std::uint64_t frames_presented();
// The back buffer as it is now (for tests of single draws); empty without one.
std::vector<std::uint16_t> back_buffer_pixels();

struct message_box_record {
  bool owned = false;  // over the game's window
  std::string text;    // Shift-JIS bytes
  bool has_caption = false;
  std::string caption;  // Shift-JIS bytes
};
const std::vector<message_box_record>& message_boxes();

// Sound effect activity, in order. sound numbers the sounds as they are made,
// from 1; file is the name the sound was loaded from and bytes the size of
// its sample data, on every record of that sound.
enum class sound_action : std::uint8_t { load, play, release };
struct sound_record {
  sound_action action = sound_action::load;
  int sound = 0;
  std::string file;
  std::uint32_t bytes = 0;
};
const std::vector<sound_record>& sound_records();
// A sound's number (0 for an unknown one), and the format and sample bytes it
// was loaded with (kept after its release).
int sound_number(const plat_sound* sound);
wave_format sound_format_of(const plat_sound* sound);
std::vector<std::uint8_t> sound_contents(const plat_sound* sound);

// Every tune call, in order, one string per call: "open <path>", "play",
// "status", "stop", "close".
const std::vector<std::string>& tune_calls();
// The path of the open tune ("" when none is open) and whether it plays.
std::string open_tune();
bool tune_playing();
// The playing tune reaches its end: it stops and tune_ended is queued.
void end_tune();

// What plat_program_file_name answers (default "/shindan/shindan").
void set_program_file_name(const std::string& path);

// Speech: whether plat_open_speech answers that the player wants it, the V
// key (queues speech_toggled), and everything the program asked to be said,
// in order. aloud: speech was on, so a voice would have said it.
void want_speech(bool wanted);
void post_speech_toggle();
struct speech_record {
  std::string text;  // UTF-8; empty: only a cut-off
  bool cut_off = false;
  bool aloud = false;
};
const std::vector<speech_record>& speech_records();
// The language the voice was opened for; whether it is open now.
std::string speech_language();
bool speech_open();

// Window and teardown order, for tests of the shell.
bool cursor_shown();
bool window_exists();
// The shell's platform calls in order: "open_window", "open_display",
// "open_sound", "show_cursor 0", "show_cursor 1", "flip_to_desktop",
// "message_box", "close_display", "close_sound", "stop_tune", "close_tune",
// "close_window".
const std::vector<std::string>& shell_calls();

}  // namespace shindan::headless
