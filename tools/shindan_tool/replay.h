// Scripted replays: the whole game run on the headless platform through the
// real loop, with the clock and the keys driven by a script. Shared by the
// replay tool and the end-to-end tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace shindan {

struct replay_options {
  std::uint32_t frame_ms = 16;  // the clock advances this much before each frame
  bool five_five_five = false;  // 5-5-5 display instead of 5-6-5
  bool log = false;             // record sounds, tune calls, message boxes and speech
  bool speech = false;          // speech on from the start, as a player's setting
};

// A replay in progress. Plain record; the functions below drive it.
struct replay_session {
  replay_options options;
  std::uint64_t frames = 0;  // frames run so far
  bool running = false;      // started and not yet quit
  bool quit = false;         // the program's loop has ended
  std::string log;           // with options.log: one line per event
  std::size_t sounds_seen = 0, tune_calls_seen = 0, boxes_seen = 0, speech_seen = 0;
  // Sound number (from the headless recordings) to sound slot.
  std::vector<int> sound_slots;
};

// Puts platform and game back to their state at program start and starts the
// program. False when start-up failed.
bool replay_start(replay_session* session, const replay_options& options);
// Advances the clock and runs loop turns until one frame has run; messages
// waiting before it are handled first. False once the program has quit.
bool replay_frame(replay_session* session);
// Key state as the platform reports it.
void replay_key(replay_session* session, plat_key key, bool down);
// Esc: asks the program to close, handled before the next frame.
void replay_escape(replay_session* session);
// V: switches speech on or off before the next frame.
void replay_speech_key(replay_session* session);
// Closes the program if it still runs, without adding to the log.
void replay_finish(replay_session* session);

// "frames: N", then the normal and Shift score sets and the round number.
std::string replay_summary(const replay_session& session);

// The presented frame's pixel at (x, y) as 0xRRGGBB, each channel widened
// from the 16-bit layout by bit replication.
std::uint32_t screen_rgb(std::int32_t x, std::int32_t y, bool five_five_five);
// The last presented frame as an RGB PNG file.
bool write_screen_png(const std::string& path, bool five_five_five);

struct replay_result {
  int status = 0;      // 0 done, 1 start-up failed, 2 script error
  std::string output;  // log lines (with options.log) and the summary
  std::string error;   // the failing line and why
};
// Runs a whole script (one command a line, '#' starts a comment):
//   frames N | down KEY | up KEY | tap KEY | ms N | shot FILE.png
//   until title STEP | until answering | until analysis STEP  [max N]
// KEY is one of space shift enter up down esc v (v switches speech).
replay_result run_replay_script(const std::string& script, const replay_options& options);

}  // namespace shindan
