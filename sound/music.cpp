// Background music: one tune at a time, looping because every end of play is
// reported as an event, which restarts the tune from its beginning.
#include <cstdio>
#include <cstring>

#include "sound/sound.h"

namespace shindan {

music_record music;

namespace {

constexpr std::uint32_t path_buffer_bytes = 256;
char directory_buffer[path_buffer_bytes] = {};

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
  // Music lies beside the program file, whatever the working directory is.
  char path[path_buffer_bytes * 2];
  const int length = std::snprintf(path, sizeof path, "%s%s", program_directory(), file_name);
  if (music.music_playing == 1)
    stop_music();
  // A path the player cannot take whole would open some other, cut-off file
  // name: play nothing instead.
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof path || !plat_open_tune(path))
    return;
  plat_play_tune();
  music.music_playing = 1;
}

void stop_music() {
  if (music.music_playing != 1)
    return;
  plat_stop_tune();
  plat_close_tune();
  music.music_playing = 0;
}

void on_tune_ended() {
  // A stopped or replaced tune never reports an end, so only the playing
  // tune comes back; the question makes sure it really stands still.
  if (music.music_playing != 1)
    return;
  if (plat_tune_stopped())
    plat_play_tune();
}

}  // namespace shindan
