// The WAV reader of the backends that have no multimedia file functions
// underneath. It walks the chunks exactly as the game has always read them,
// so every build accepts and refuses the same files at the same stage.
#pragma once

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

}  // namespace shindan
