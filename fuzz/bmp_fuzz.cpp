// Fuzz target: any bytes handed to the bitmap decoder in either pixel layout.
// A decoded picture must hold exactly width * height pixels, all of which are
// read here so that the sanitizers see any that were never written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/common/bmp_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const shindan::pixel_layout layout : {shindan::pixel_layout::rgb565, shindan::pixel_layout::rgb555}) {
    shindan::decoded_picture picture;
    const char* why = nullptr;
    if (!shindan::decode_bmp(data, size, layout, &picture, &why)) {
      if (why == nullptr)
        std::abort();  // every refusal gives its reason
      continue;
    }
    if (picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height)
      std::abort();
    if (picture.width == 0 || picture.height == 0)
      std::abort();
    std::uint32_t sum = 0;
    for (const std::uint16_t p : picture.pixels)
      sum += p;
    // Keeps the reads of every pixel.
    volatile std::uint32_t sink = sum;
    (void)sink;
  }
  return 0;
}
