#include "platform/win32/tune_commands.h"

#include <cstdio>

namespace shindan {

bool build_tune_command(tune_command command, const char* path, char (&buffer)[tune_command_bytes]) {
  buffer[0] = '\0';
  const char* fixed = nullptr;
  switch (command) {
    case tune_command::open: {
      if (path == nullptr)
        return false;
      // The quotes keep a path with spaces in one piece.
      const int length = std::snprintf(buffer, sizeof buffer, "open \"%s\" type sequencer alias midi", path);
      if (length < 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        buffer[0] = '\0';
        return false;
      }
      return true;
    }
    case tune_command::seek_to_start:
      fixed = "seek midi to start";
      break;
    case tune_command::play_notify:
      fixed = "play midi notify";
      break;
    case tune_command::stop:
      fixed = "stop midi";
      break;
    case tune_command::close:
      fixed = "close midi";
      break;
    case tune_command::status_mode:
      fixed = "status midi mode";
      break;
  }
  if (fixed == nullptr)
    return false;
  std::snprintf(buffer, sizeof buffer, "%s", fixed);
  return true;
}

}  // namespace shindan
