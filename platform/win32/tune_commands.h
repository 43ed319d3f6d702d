// The command strings that drive the sequencer behind the tunes. They are
// built in one place, free of windows.h, so that a test on any machine can
// check them byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace shindan {

// Every command is built in a buffer of this size, terminator included.
constexpr std::size_t tune_command_bytes = 256;
// The reply to the status command is read into a buffer of this size.
constexpr std::size_t tune_status_bytes = 32;

enum class tune_command : std::uint8_t {
  open,           // opens the file at the given path under the alias
  seek_to_start,  // rewinds the open tune
  play_notify,    // plays it; the window hears when the play ends
  stop,
  close,
  status_mode,  // asks what the tune is doing ("stopped", "playing", ...)
};

// Writes the command into buffer, zero-terminated. path is read only by open;
// false (and an empty buffer) when the command would not fit, so a cut-off
// path never reaches the sequencer.
bool build_tune_command(tune_command command, const char* path, char (&buffer)[tune_command_bytes]);

}  // namespace shindan
