// Pixel format, translucent and additive drawing at the edges, and the noise
// fill.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "app/shell.h"
#include "platform/headless/headless.h"
#include "support.h"

namespace shindan {
namespace {

using read_pixel_format_test = test::on_display;
using draw_image_translucent_test = test::on_display;
using picture_blends_test = test::on_display;
using fill_noise_test = test::on_display;

// One picture of a single raw pixel value with a black border column, drawn
// over a back buffer of another single value.
void prepare(image_slot* slot, std::uint16_t picture, std::uint16_t background) {
  test::load_plain_picture(slot, "blend.bmp", 5, 3, 0xFFFFFF);
  test::paint(slot->surface, [picture](int x, int) { return x == 4 ? std::uint16_t{0} : picture; });
  test::paint(display.back_buffer, [background](int, int) { return background; });
}

std::uint16_t translucent_over(std::uint16_t picture, std::uint16_t background, float transparency) {
  prepare(&images[0], picture, background);
  EXPECT_TRUE(draw_image_translucent(10, 20, transparency, &images[0], 0, 0, 5, 3));
  const auto pixels = headless::back_buffer_pixels();
  // The black column is skipped; nothing outside the region is touched.
  EXPECT_EQ(test::at(pixels, 14, 20), background);
  EXPECT_EQ(test::at(pixels, 9, 20), background);
  EXPECT_EQ(test::at(pixels, 10, 23), background);
  return test::at(pixels, 12, 21);
}

// Every field of the record, in its order: masks, pitch, shifts, ratios.
std::vector<int> pixel_format_fields() {
  const pixel_format_record& f = pixel_format;
  return {f.red_mask,    f.green_mask, f.blue_mask,    f.pitch,         f.red_shift,
          f.green_shift, f.blue_shift, f.red_per_blue, f.green_per_blue};
}

TEST_F(read_pixel_format_test, both_layouts) {
  EXPECT_EQ(pixel_format_fields(), (std::vector<int>{0xF800, 0x07E0, 0x001F, 1280, 11, 5, 0, 1, 2}));
  test::close_display_and_window();
  ASSERT_TRUE(test::open_display(true));
  EXPECT_EQ(pixel_format_fields(), (std::vector<int>{0x7C00, 0x03E0, 0x001F, 1280, 10, 5, 0, 1, 1}));
}

TEST_F(read_pixel_format_test, missing_masks_end_with_zero_shifts) {
  headless::reset();
  display = display_record{};
  pixel_format = pixel_format_record{0xFFFF, 0xFFFF, 0xFFFF, 7, 3, 3, 3, 9, 9};
  read_pixel_format();  // no back buffer: every mask reads 0
  EXPECT_EQ(pixel_format_fields(), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// The fast-path tests compare every channel pair and transparency against the
// plain arithmetic; here the transparencies outside 0..1 and NaN.
TEST_F(draw_image_translucent_test, clamps) {
  EXPECT_EQ(translucent_over(0x1234, 0xABCD, 1.5f), 0xABCD);
  EXPECT_EQ(translucent_over(0x1234, 0xABCD, -0.2f), 0x1234);
  EXPECT_EQ(translucent_over(0x1234, 0xABCD, std::numeric_limits<float>::quiet_NaN()), 0xABCD);
}

TEST_F(picture_blends_test, regions_over_the_screen_edge_keep_rows_aligned) {
  test::load_plain_picture(&images[1], "edge.bmp", 64, 8, 0xFFFFFF);
  test::paint(images[1].surface, [](int x, int y) { return static_cast<std::uint16_t>(1 + x + 64 * y); });
  ASSERT_TRUE(draw_image_translucent(600, 476, 0.0f, &images[1], 0, 0, 64, 8));
  auto pixels = headless::back_buffer_pixels();
  for (int y = 476; y < 480; ++y) {
    for (int x = 600; x < 640; ++x) {
      ASSERT_EQ(test::at(pixels, x, y), 1 + (x - 600) + 64 * (y - 476)) << x << "," << y;
    }
  }
  clear_back_buffer();
  ASSERT_TRUE(draw_image_additive(-10, -5, &images[1], 0, 0, 64, 8));
  pixels = headless::back_buffer_pixels();
  EXPECT_EQ(test::at(pixels, 0, 0), 1 + 10 + 64 * 5);
  EXPECT_EQ(test::at(pixels, 53, 2), 1 + 63 + 64 * 7);
  EXPECT_EQ(test::at(pixels, 54, 2), 0);
  EXPECT_EQ(test::at(pixels, 0, 3), 0);
}

TEST_F(picture_blends_test, regions_outside_the_picture_are_never_read) {
  test::load_plain_picture(&images[2], "small.bmp", 4, 4, 0xFFFFFF);
  const auto untouched = headless::back_buffer_pixels();

  // Larger than the picture: only its own 4x4 pixels arrive.
  ASSERT_TRUE(draw_image_additive(10, 10, &images[2], 0, 0, 600, 400));
  auto pixels = headless::back_buffer_pixels();
  int lit = 0;
  for (std::uint16_t pixel : pixels) {
    lit += pixel != 0;
  }
  EXPECT_EQ(lit, 16);
  EXPECT_EQ(test::at(pixels, 13, 13), 0xFFFF);

  // Starting before the picture: its first pixel lands where it belongs.
  clear_back_buffer();
  ASSERT_TRUE(draw_image_translucent(10, 10, 0.0f, &images[2], -5, -5, 4, 4));
  pixels = headless::back_buffer_pixels();
  EXPECT_EQ(test::at(pixels, 15, 15), 0xFFFF);
  EXPECT_EQ(test::at(pixels, 14, 15), 0);
  EXPECT_EQ(test::at(pixels, 18, 18), 0xFFFF);
  EXPECT_EQ(test::at(pixels, 19, 19), 0);

  // Wholly beside the picture: drawn as nothing.
  clear_back_buffer();
  EXPECT_TRUE(draw_image_additive(0, 0, &images[2], 100, 100, 300, 300));
  EXPECT_TRUE(draw_image_translucent(0, 0, 0.0f, &images[2], -300, -300, -100, -100));
  EXPECT_EQ(headless::back_buffer_pixels(), untouched);
}

TEST_F(picture_blends_test, refusals_draw_nothing) {
  test::load_plain_picture(&images[3], "r.bmp", 4, 4, 0xFFFFFF);
  EXPECT_FALSE(draw_image_additive(0, 0, &images[3], 4, 0, 0, 4));
  EXPECT_FALSE(draw_image_translucent(0, 0, 0.0f, &images[3], 0, 4, 4, 0));
  EXPECT_FALSE(draw_image_additive(0, 0, &images[60], 0, 0, 4, 4));
  EXPECT_FALSE(draw_image_translucent(0, 0, 0.0f, &images[60], 0, 0, 4, 4));
  // Entirely off the screen still counts as drawn: the region is merely empty.
  EXPECT_TRUE(draw_image_additive(700, 0, &images[3], 0, 0, 4, 4));
  headless::lose_surfaces();
  EXPECT_FALSE(draw_image_additive(0, 0, &images[3], 0, 0, 4, 4));
  EXPECT_FALSE(fill_noise(0, 0, 10, 10));
  // Screen and back buffer back, the picture still lost: the second lock
  // fails and the back buffer must be free again afterwards.
  plat_restore_surface(display.primary_surface);
  EXPECT_FALSE(draw_image_translucent(0, 0, 0.0f, &images[3], 0, 0, 4, 4));
  EXPECT_TRUE(fill_noise(0, 0, 1, 1));
}

TEST_F(fill_noise_test, start_off_the_screen_or_empty_size_takes_no_values) {
  shell.rand_state = 777;
  EXPECT_FALSE(fill_noise(640, 0, 10, 10));
  EXPECT_FALSE(fill_noise(0, 480, 10, 10));
  EXPECT_FALSE(fill_noise(-1, 0, 10, 10));
  EXPECT_FALSE(fill_noise(0, -1, 10, 10));
  EXPECT_TRUE(fill_noise(10, 10, 0, 10));
  EXPECT_TRUE(fill_noise(10, 10, -5, 10));
  EXPECT_TRUE(fill_noise(10, 10, 10, std::numeric_limits<std::int32_t>::min()));
  EXPECT_EQ(shell.rand_state, 777u);
  // Sizes too large to add to the start are cut to the screen.
  EXPECT_TRUE(fill_noise(639, 479, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max()));
  std::uint32_t one_step = 777;
  test::next_rand(&one_step);
  EXPECT_EQ(shell.rand_state, one_step);
}

}  // namespace
}  // namespace shindan
