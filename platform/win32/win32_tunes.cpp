// Tunes through the MCI sequencer, driven by command strings. The end of a
// play comes back to the main window as a notification, which the window
// procedure turns into the game's tune_ended.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win32/tune_commands.h"
#include "platform/win32/win32.h"

namespace shindan {

namespace {

// Commands carry the program's directory, which is Shift-JIS like every text
// of the program; the wide MCI function takes it converted, so a Japanese
// path works on any Windows. The reply comes back in Shift-JIS.
void send(tune_command command, const char* path = nullptr, char* reply = nullptr, std::size_t reply_size = 0,
          HWND notify = nullptr) {
  char text[tune_command_bytes];
  if (!build_tune_command(command, path, text))
    return;
  const std::wstring wide_command = wide_from_sjis(text);
  std::vector<wchar_t> wide_reply;
  if (reply != nullptr && reply_size > 0) {
    wide_reply.assign(reply_size, L'\0');
    reply[0] = '\0';
  }
  mciSendStringW(wide_command.c_str(), wide_reply.empty() ? nullptr : wide_reply.data(),
                 static_cast<UINT>(wide_reply.size()), notify);
  if (!wide_reply.empty()) {
    wide_reply.back() = L'\0';
    const std::string bytes = sjis_from_wide(wide_reply.data());
    const std::size_t count = std::min<std::size_t>(bytes.size(), reply_size - 1);
    std::memcpy(reply, bytes.data(), count);
    reply[count] = '\0';
  }
}

}  // namespace

bool plat_open_tune(const char* path) {
  char text[tune_command_bytes];
  // A path too long for the command would open some other, cut-off name.
  if (!build_tune_command(tune_command::open, path, text))
    return false;
  send(tune_command::open, path);
  return true;
}

void plat_play_tune() {
  send(tune_command::seek_to_start);
  send(tune_command::play_notify, nullptr, nullptr, 0, main_window);
}

bool plat_tune_stopped() {
  char status[tune_status_bytes] = {};
  send(tune_command::status_mode, nullptr, status, sizeof status);
  // "stopped" is the mode word of a tune that played to its end.
  return status[0] == 's' && status[1] == 't';
}

void plat_stop_tune() {
  send(tune_command::stop);
}

void plat_close_tune() {
  send(tune_command::close);
}

}  // namespace shindan
