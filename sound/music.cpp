// Background music: one tune at a time under the sequencer alias "midi",
// driven by command strings. A tune loops because every successful end of
// play is reported to the window, which rewinds and restarts it.
#include <cstdio>
#include <cstring>

#include "app/shell.h"
#include "sound/sound.h"

namespace shindan {

std::uint8_t music_playing = 0;
char mci_status[32] = {};

namespace {

constexpr std::uint32_t path_buffer_bytes = 256;
char directory_buffer[path_buffer_bytes] = {};

void send(const char* command) {
  plat_send_music_command(command, nullptr, 0, nullptr);
}

}  // namespace

const char* program_directory() {
  std::memset(directory_buffer, 0, sizeof directory_buffer);
  plat_program_file_name(directory_buffer, path_buffer_bytes);
  // A name cut to the buffer's size may come back without its terminator.
  directory_buffer[path_buffer_bytes - 1] = '\0';
  // Drop the file name and keep the separator; a name with no separator at
  // all leaves an empty directory rather than walking off the buffer.
  std::size_t end = std::strlen(directory_buffer);
  while (end > 0 && directory_buffer[end - 1] != plat_path_separator)
    directory_buffer[--end] = '\0';
  return directory_buffer;
}

void play_music(const char* file_name) {
  // Music lies beside the program file, whatever the working directory is;
  // the quotes keep paths with spaces in one piece.
  char command[path_buffer_bytes];
  const int length =
      std::snprintf(command, sizeof command, "open \"%s%s\" type sequencer alias midi", program_directory(), file_name);
  if (music_playing == 1)
    stop_music();
  // A path too long for the command would open some other, cut-off file name:
  // play nothing instead.
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof command)
    return;

  send(command);
  send("seek midi to start");
  plat_send_music_command("play midi notify", nullptr, 0, main_window);
  music_playing = 1;
}

void stop_music() {
  if (music_playing != 1)
    return;
  send("stop midi");
  send("close midi");
  music_playing = 0;
}

void on_music_notify(plat_window* window, std::uint32_t code) {
  // Only a play that ran to its end restarts the tune: the codes for a
  // superseded or aborted play come from stop_music and play_music, which
  // must not bring the old tune back.
  constexpr std::uint32_t notify_successful = 1;
  if (code != notify_successful || music_playing != 1)
    return;
  plat_send_music_command("status midi mode", mci_status, sizeof mci_status, nullptr);
  if (mci_status[0] == 's' && mci_status[1] == 't') {
    send("seek midi to start");
    plat_send_music_command("play midi notify", nullptr, 0, window);
  }
}

}  // namespace shindan
