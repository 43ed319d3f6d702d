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

int changed_pixels(const std::vector<std::uint16_t>& before, const std::vector<std::uint16_t>& after) {
  int changed = 0;
  for (std::size_t i = 0; i < before.size(); ++i) {
    changed += before[i] != after[i];
  }
  return changed;
}

TEST_F(draw_text_test, off_screen_text_changes_nothing_and_partly_visible_text_is_clipped) {
  test::paint(display.back_buffer, [](int x, int y) { return static_cast<std::uint16_t>((x ^ y) | 1); });
  const auto before = headless::back_buffer_pixels();
  draw_text(digits, 16, -32, -32, 255, 255, 255);
  draw_text(kanji, 16, 700, 10, 255, 255, 255);
  draw_text("", 16, 100, 100, 255, 255, 255);
  EXPECT_EQ(headless::back_buffer_pixels(), before);
  draw_text(digits, 32, -40, -10, 255, 255, 255);
  draw_text(digits, 32, 600, 460, 255, 255, 255);
  EXPECT_GT(changed_pixels(before, headless::back_buffer_pixels()), 0);
  // The back buffer is still free to be locked afterwards.
  plat_pixels locked;
  ASSERT_EQ(plat_lock(display.back_buffer, &locked), plat_result::ok);
  plat_unlock(display.back_buffer);
}

TEST_F(draw_text_test, glyphs_are_drawn_in_the_low_colour_bytes_over_the_background) {
  const std::uint16_t background = 0x0841;
  test::paint(display.back_buffer, [background](int, int) { return background; });
  const auto before = headless::back_buffer_pixels();
  draw_text(kanji, 24, 100, 100, 511, 256, 0x300);  // red 255, green 0, blue 0
  const auto after = headless::back_buffer_pixels();
  EXPECT_GT(changed_pixels(before, after), 20);

  bool pure_red = false;
  for (int y = 0; y < screen_height; ++y) {
    for (int x = 0; x < screen_width; ++x) {
      const std::uint16_t pixel = test::at(after, x, y);
      const bool near_text = x >= 90 && x < 160 && y >= 90 && y < 140;
      if (!near_text) {
        ASSERT_EQ(pixel, background) << x << "," << y;
      }
      pure_red |= pixel == 0xF800;
    }
  }
  // The glyphs' solid parts are red.
  EXPECT_TRUE(pure_red);
}

}  // namespace
}  // namespace shindan
