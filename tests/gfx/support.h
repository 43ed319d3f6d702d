// The graphics tests share one display, opened in the 5-6-5 layout before
// each test and closed after it, and bitmap files written on the spot.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/display.h"
#include "tests/support/files.h"

namespace shindan::test {

using namespace testing_files;

struct on_display : ::testing::Test {
  void SetUp() override { ASSERT_TRUE(open_display()); }
  void TearDown() override { close_display_and_window(); }
};

// Writes a 24-bit bitmap into the temporary folder and answers its path;
// colour(x, y) gives 0xRRGGBB with (0, 0) the top-left pixel.
template <typename Colour>
std::string bmp_file(const std::string& name, int width, int height, Colour colour, bool top_down = false) {
  const std::string path = temp_path(name);
  EXPECT_TRUE(write_bmp(
      path, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
      [&](std::uint32_t x, std::uint32_t y) { return colour(static_cast<int>(x), static_cast<int>(y)); }, top_down));
  return path;
}

// Loads a bitmap of one colour into a slot; fails the test when it does not load.
inline void load_plain_picture(image_slot* slot, const std::string& name, int width, int height, std::uint32_t rgb) {
  const std::string path = bmp_file(name, width, height, [rgb](int, int) { return rgb; });
  ASSERT_TRUE(load_image(slot, path.c_str())) << path;
}

// The program's generator, stepped on a copy of its state.
inline int next_rand(std::uint32_t* state) {
  *state = *state * 214013u + 2531011u;
  return static_cast<int>((*state >> 16) & 0x7FFFu);
}

}  // namespace shindan::test
