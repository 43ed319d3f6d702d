// Tunes through the MCI sequencer, driven by command strings. The end of a
// play comes back to the main window as a notification, which the window
// procedure turns into the game's tune_ended.
#include <string>

#include "platform/win32/tune_commands.h"
#include "platform/win32/win32.h"

namespace shindan {

namespace {

// Commands carry the program's directory, which is Shift-JIS like every text
// of the program; the wide MCI function takes it converted, so a Japanese
// path works on any Windows. reply, when given, holds reply_size characters.
// false when the command could not be built, so nothing was sent.
bool send(tune_command command, const char* path = nullptr, HWND notify = nullptr, wchar_t* reply = nullptr,
          UINT reply_size = 0) {
  char text[tune_command_bytes];
  if (!build_tune_command(command, path, text))
    return false;
  const std::wstring wide_command = wide_from_sjis(text);
  mciSendStringW(wide_command.c_str(), reply, reply_size, notify);
  return true;
}

}  // namespace

bool plat_open_tune(const char* path) {
  // A path too long for the command is refused rather than cut off, which
  // would open some other file name.
  return send(tune_command::open, path);
}

void plat_play_tune() {
  send(tune_command::seek_to_start);
  send(tune_command::play_notify, nullptr, main_window);
}

bool plat_tune_stopped() {
  wchar_t reply[tune_status_bytes] = {};
  send(tune_command::status_mode, nullptr, nullptr, reply, tune_status_bytes);
  reply[tune_status_bytes - 1] = L'\0';
  // The reply comes back in Shift-JIS like every text of the program;
  // "stopped" is the mode word of a tune that played to its end.
  const std::string status = sjis_from_wide(reply);
  return status.size() >= 2 && status[0] == 's' && status[1] == 't';
}

void plat_stop_tune() {
  send(tune_command::stop);
}

void plat_close_tune() {
  send(tune_command::close);
}

}  // namespace shindan
