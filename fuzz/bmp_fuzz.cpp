// Fuzz target: any bytes handed to the bitmap decoder in either pixel layout.
// A decoded picture must hold exactly width * height pixels, all of which are
// read here so that the sanitizers see any that were never written. Decoded
// a few rows at a time, as the browser brings in a large picture, the same
// bytes must give the same pixels or be refused too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/common/bmp_decode.h"

namespace {

// The picture decoded three rows at a time; false where it is refused.
bool decode_in_bands(const std::uint8_t* data, std::size_t size, shindan::pixel_layout layout,
                     std::vector<std::uint16_t>* pixels) {
  shindan::bmp_shape shape;
  if (!shindan::bmp_shape_of(data, size, layout, &shape, nullptr))
    return false;
  pixels->assign(static_cast<std::size_t>(shape.width) * shape.height, 0xBEEF);
  shindan::bmp_band_cursor cursor;
  for (std::uint64_t steps = 0; !cursor.done; ++steps) {
    if (steps > 2ull * shape.height + 2)
      std::abort();  // every step must move on
    if (!shindan::decode_bmp_band(data, size, layout, 3, pixels->data(), shape.width, &cursor, nullptr))
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const shindan::pixel_layout layout : {shindan::pixel_layout::rgb565, shindan::pixel_layout::rgb555}) {
    shindan::decoded_picture picture;
    const char* why = nullptr;
    std::vector<std::uint16_t> banded;
    const bool whole = shindan::decode_bmp(data, size, layout, &picture, &why);
    if (decode_in_bands(data, size, layout, &banded) != whole || (whole && banded != picture.pixels))
      std::abort();
    if (!whole) {
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
