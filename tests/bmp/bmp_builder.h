// Decoding the bitmaps built by bmp_bytes.h, good or refused.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/common/bmp_decode.h"
#include "tests/support/bmp_bytes.h"

namespace shindan::bmp_test {

inline decoded_picture decode_ok(const bytes& file, pixel_layout layout = pixel_layout::rgb565) {
  decoded_picture pic;
  const char* why = nullptr;
  EXPECT_TRUE(decode_bmp(file.data(), file.size(), layout, &pic, &why)) << (why ? why : "");
  EXPECT_EQ(pic.pixels.size(), static_cast<std::size_t>(pic.width) * pic.height);
  return pic;
}

// Pixel (x, y) with y counted from the top.
inline std::uint16_t at(const decoded_picture& pic, std::uint32_t x, std::uint32_t y) {
  return pic.pixels.at(static_cast<std::size_t>(y) * pic.width + x);
}

// Decodes a file a band of `rows` rows at a time, as the browser brings in a
// large picture, into rows wider than the picture whose extra pixels must
// stay untouched; nothing for a file refused at any step.
inline std::optional<std::vector<std::uint16_t>> decode_in_bands(const bytes& file, std::uint32_t rows,
                                                                 pixel_layout layout = pixel_layout::rgb565) {
  constexpr std::uint16_t untouched = 0xBEEF;
  constexpr std::size_t margin = 3;
  bmp_shape shape;
  if (!bmp_shape_of(file.data(), file.size(), layout, &shape, nullptr))
    return std::nullopt;
  const std::size_t pitch = shape.width + margin;
  std::vector<std::uint16_t> memory(pitch * shape.height, untouched);
  bmp_band_cursor cursor;
  // Each step must move on: a picture of h rows takes at most h steps of
  // one row, and twice that for a compressed one (its first colour, then
  // its stream).
  for (std::uint32_t step = 0; !cursor.done; ++step) {
    if (step > 2 * shape.height + 2) {
      ADD_FAILURE() << "band decoding does not move on";
      return std::nullopt;
    }
    const char* why = nullptr;
    if (!decode_bmp_band(file.data(), file.size(), layout, rows, memory.data(), pitch, &cursor, &why)) {
      EXPECT_NE(why, nullptr);
      return std::nullopt;
    }
  }
  std::vector<std::uint16_t> pixels;
  for (std::uint32_t y = 0; y < shape.height; ++y) {
    const auto row = memory.begin() + static_cast<std::ptrdiff_t>(y * pitch);
    pixels.insert(pixels.end(), row, row + shape.width);
    EXPECT_TRUE(std::all_of(row + shape.width, row + static_cast<std::ptrdiff_t>(pitch),
                            [](std::uint16_t p) { return p == untouched; }))
        << "row " << y << " written past the picture";
  }
  return pixels;
}

// Decodes a file that must be refused: answers false, leaves the output as it
// was and says why on one line.
inline void expect_refused(const bytes& file) {
  decoded_picture pic;
  pic.width = 3;
  pic.height = 1;
  pic.pixels = {1, 2, 3};
  const char* why = nullptr;
  EXPECT_FALSE(decode_bmp(file.data(), file.size(), pixel_layout::rgb565, &pic, &why));
  ASSERT_NE(why, nullptr);
  EXPECT_GT(std::strlen(why), 0u);
  EXPECT_EQ(std::strchr(why, '\n'), nullptr);
  EXPECT_EQ(pic.width, 3u);
  EXPECT_EQ(pic.height, 1u);
  EXPECT_EQ(pic.pixels, (std::vector<std::uint16_t>{1, 2, 3}));
  EXPECT_FALSE(decode_in_bands(file, 1).has_value()) << "refused whole, but not a row at a time";
}

}  // namespace shindan::bmp_test
