// Fuzz target: any bytes as a WAV file, read by the portable WAV reader. The
// reader works on files, so each input is written to one temporary file
// first. A file it accepts must hold the sample bytes it hands back.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/common/wave.h"

namespace {

const std::string& input_path() {
  static const std::string path = "/tmp/shindan-wav-fuzz-" + std::to_string(getpid()) + ".wav";
  return path;
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
  shindan::wave_format format;
  std::vector<std::uint8_t> samples = {1, 2, 3};
  const shindan::plat_wave_stage stage = shindan::read_wave_file(input_path().c_str(), &format, &samples);
  if (stage == shindan::plat_wave_stage::ready) {
    // The RIFF, format and data headers come before the samples, one
    // after another: 28 bytes at least.
    if (samples.size() + 28 > size || format.format_tag != 1)
      std::abort();
  } else if (samples.size() != 3 || stage == shindan::plat_wave_stage::no_buffer ||
             stage == shindan::plat_wave_stage::unfilled) {
    std::abort();  // a refusal leaves the output alone and never claims the backend's stages
  }
  return 0;
}
