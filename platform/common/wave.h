// The WAV reader of the backends that have no multimedia file functions
// underneath. It walks the chunks exactly as the game has always read them,
// so every build accepts and refuses the same files at the same stage; the
// limits beside it make them refuse the same sounds and tunes too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace shindan {

struct wave_format {
  std::uint16_t format_tag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samples_per_second = 0;
  std::uint32_t average_bytes_per_second = 0;
  std::uint16_t block_align = 0;
  std::uint16_t bits_per_sample = 0;
};

// Reads a WAV file named in Shift-JIS: the RIFF "WAVE" form, its "fmt "
// chunk (PCM only) and its "data" chunk. Answers ready with the format and
// the sample bytes, or the stage at which the file was refused (never
// no_buffer or unfilled: making the sound is the backend's part).
plat_wave_stage read_wave_file(const char* file_name, wave_format* format, std::vector<std::uint8_t>* bytes);

// The largest sound the Windows sound device makes; it also keeps the
// desktop mixer's conversion sizes within an int.
constexpr std::size_t max_sound_bytes = 0x0FFFFFFF;
// The longest tune path the Windows player takes: its 256-byte command holds
// 33 bytes of words around the path.
constexpr std::size_t max_tune_path_bytes = 222;

// The start of every backend's plat_load_sound: reads the file, then answers
// no_buffer, as the Windows device would, when the device is not open, there
// is nowhere to hand the sound back, or the samples are empty or too many.
plat_wave_stage read_sound_for_device(const char* file_name, bool device_open, const plat_sound* const* sound,
                                      wave_format* format, std::vector<std::uint8_t>* bytes);

// Whether the tune player takes the path at all: a path, and not too long.
bool tune_path_fits(const char* path);

}  // namespace shindan
