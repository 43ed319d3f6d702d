// Fuzz target: any bytes as a WAV file, read through the RIFF reader exactly
// the way the sound loader walks a file: the WAVE form, its "fmt " chunk and
// 18 bytes of it, out of it again, then the whole "data" chunk when the file
// holds it. The reader works on files, so each input is written to one
// temporary file first.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

const std::string& input_path() {
  static const std::string path = "/tmp/shindan-wav-fuzz-" + std::to_string(getpid()) + ".wav";
  return path;
}

void walk(shindan::plat_riff_file* file) {
  shindan::plat_riff_chunk riff;
  if (!shindan::plat_riff_find_form(file, "WAVE", &riff))
    return;
  shindan::plat_riff_chunk format;
  if (!shindan::plat_riff_find_chunk(file, riff, "fmt ", &format))
    return;
  if (format.available > format.size)
    std::abort();  // a chunk never holds more than it claims
  std::uint8_t raw[18] = {};
  const std::int32_t got = shindan::plat_riff_read(file, raw, sizeof raw);
  if (got > static_cast<std::int32_t>(sizeof raw))
    std::abort();
  if (!shindan::plat_riff_leave(file, format))
    return;
  shindan::plat_riff_chunk data;
  if (!shindan::plat_riff_find_chunk(file, riff, "data", &data))
    return;
  if (data.available > data.size)
    std::abort();
  // The loader reads only what the file holds.
  std::vector<std::uint8_t> block(data.available);
  const std::int32_t read = shindan::plat_riff_read(file, block.data(), static_cast<std::int32_t>(block.size()));
  if (read > static_cast<std::int32_t>(block.size()))
    std::abort();
}

void remove_input() {
  std::remove(input_path().c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  input_path();
  std::atexit(remove_input);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* out = std::fopen(input_path().c_str(), "wb");
  if (out == nullptr)
    return 0;
  const bool written = std::fwrite(data, 1, size, out) == size;
  if (std::fclose(out) != 0 || !written)
    return 0;
  shindan::plat_riff_file* file = shindan::plat_riff_open(input_path().c_str());
  if (file == nullptr)
    return 0;
  walk(file);
  shindan::plat_riff_close(file);
  return 0;
}
