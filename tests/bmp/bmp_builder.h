// Decoding the bitmaps built by bmp_bytes.h, good or refused.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

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
}

}  // namespace shindan::bmp_test
