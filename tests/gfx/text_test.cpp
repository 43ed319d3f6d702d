// Text on the back buffer: clipped to the screen, drawn in the low bytes of
// the colour arguments, background left alone.
#include <gtest/gtest.h>

#include <vector>

#include "platform/headless/headless.h"
#include "support.h"

namespace shindan {
namespace {

using draw_text_test = test::on_display;

// "診断" (diagnosis) in Shift-JIS, and plain ASCII digits.
const char* const kanji = "\x90\x66\x92\x66";
const char* const digits = "0123456789";

TEST_F(draw_text_test, off_screen_text_changes_nothing_and_glyphs_take_the_low_colour_bytes) {
  const std::uint16_t background = 0x0841;
  test::paint(display.back_buffer, [background](int, int) { return background; });
  const auto before = headless::back_buffer_pixels();
  draw_text(digits, 16, -32, -32, 255, 255, 255);
  draw_text(kanji, 16, 700, 10, 255, 255, 255);
  draw_text("", 16, 100, 100, 255, 255, 255);
  EXPECT_EQ(headless::back_buffer_pixels(), before);

  draw_text(kanji, 24, 100, 100, 511, 256, 0x300);  // red 255, green 0, blue 0
  const auto after = headless::back_buffer_pixels();
  int red = 0;
  for (int y = 0; y < screen_height; ++y) {
    for (int x = 0; x < screen_width; ++x) {
      const std::uint16_t pixel = test::at(after, x, y);
      ASSERT_TRUE(pixel == background || pixel == 0xF800) << x << "," << y;
      red += pixel == 0xF800;
    }
  }
  EXPECT_GT(red, 20);
}

}  // namespace
}  // namespace shindan
