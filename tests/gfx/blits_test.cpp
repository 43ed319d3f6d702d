// Keyed blits and their clipping against the 640x480 screen, and the
// repair of pictures whose surface was lost.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "support.h"

namespace shindan {
namespace {

using draw_image_test = test::on_display;
using draw_image_scaled_test = test::on_display;
using surface_loss_test = test::on_display;

// A picture whose every pixel tells where it came from (never black).
std::uint16_t marker(int x, int y) {
  return static_cast<std::uint16_t>(((x * 7 + y * 131) & 0xFFFF) | 1);
}

void load_marked_picture(image_slot* slot, int width, int height) {
  test::load_plain_picture(slot, "marked.bmp", width, height, 0xFFFFFF);
  test::paint(slot->surface, marker);
}

// Pixels of the back buffer that are not black, as a bounding box.
struct drawn_area {
  int count = 0;
  int left = screen_width, top = screen_height, right = 0, bottom = 0;
  std::vector<int> all() const { return {count, left, top, right, bottom}; }
};

drawn_area drawn(const std::vector<std::uint16_t>& pixels) {
  drawn_area area;
  for (int y = 0; y < screen_height; ++y) {
    for (int x = 0; x < screen_width; ++x) {
      if (test::at(pixels, x, y) != 0) {
        ++area.count;
        area.left = std::min(area.left, x);
        area.top = std::min(area.top, y);
        area.right = std::max(area.right, x + 1);
        area.bottom = std::max(area.bottom, y + 1);
      }
    }
  }
  return area;
}

// The clipping itself is clip_to_screen's table below; here the copy it
// feeds lands at the right place with the right source pixels.
TEST_F(draw_image_test, edge_examples) {
  load_marked_picture(&images[0], 100, 50);
  draw_image(639, 0, &images[0], 0, 0, 100, 10);
  auto pixels = headless::back_buffer_pixels();
  EXPECT_EQ(drawn(pixels).count, 10);
  EXPECT_EQ(test::at(pixels, 639, 9), marker(0, 9));

  // Hanging over the left and the bottom edge: 90 by 10 pixels from source
  // column 10 land at (0, 470).
  clear_back_buffer();
  draw_image(-10, 470, &images[0], 0, 0, 100, 50);
  pixels = headless::back_buffer_pixels();
  EXPECT_EQ(drawn(pixels).all(), (std::vector<int>{90 * 10, 0, 470, 90, 480}));
  EXPECT_EQ(test::at(pixels, 0, 470), marker(10, 0));
  EXPECT_EQ(test::at(pixels, 89, 479), marker(99, 9));
}

TEST_F(draw_image_test, region_larger_than_the_screen_fills_it_exactly) {
  load_marked_picture(&images[1], 640, 600);  // pictures are at most 640 wide
  // Columns 640 to 799 of the region lie outside the picture; clipping alone
  // already keeps the copy to {50, 50, 690, 530}, which the platform cuts to
  // the picture.
  draw_image(-50, -50, &images[1], 0, 0, 800, 600);
  const auto pixels = headless::back_buffer_pixels();
  EXPECT_EQ(test::at(pixels, 0, 0), marker(50, 50));
  EXPECT_EQ(test::at(pixels, 100, 479), marker(150, 529));
  EXPECT_EQ(test::at(pixels, 589, 200), marker(639, 250));
}

TEST_F(draw_image_test, black_pixels_stay_transparent_and_empty_slots_draw_nothing) {
  const std::string path =
      test::bmp_file("holes.bmp", 8, 8, [](int x, int y) { return (x + y) % 2 == 0 ? 0x000000u : 0xFFFFFFu; });
  ASSERT_TRUE(load_image(&images[2], path.c_str()));
  test::paint(display.back_buffer, [](int, int) { return std::uint16_t{0x1234}; });
  draw_image(0, 0, &images[2], 0, 0, 8, 8);
  const auto pixels = headless::back_buffer_pixels();
  EXPECT_EQ(test::at(pixels, 0, 0), 0x1234);
  EXPECT_EQ(test::at(pixels, 1, 0), 0xFFFF);

  draw_image(100, 100, &images[50], 0, 0, 8, 8);
  draw_image_scaled_centred(320, 240, &images[50], 2.0f, 2.0f, 0, 0, 8, 8);
  EXPECT_EQ(headless::back_buffer_pixels(), pixels);
}

TEST_F(draw_image_scaled_test, centred_zoom_that_fits) {
  test::load_plain_picture(&images[3], "zoom.bmp", 320, 216, 0xFFFFFF);
  draw_image_scaled_centred(320, 240, &images[3], 2.0f, 2.0f, 0, 0, 320, 216);
  EXPECT_EQ(drawn(headless::back_buffer_pixels()).all(), (std::vector<int>{640 * 432, 0, 24, 640, 456}));
}

TEST_F(draw_image_scaled_test, centred_zoom_past_the_screen_cuts_the_source) {
  // Only source rectangle {80, 48, 240, 168} is white; around it is a
  // colour that must not reach the screen.
  const std::string path = test::bmp_file("cut.bmp", 320, 216, [](int x, int y) {
    return x >= 80 && x < 240 && y >= 48 && y < 168 ? 0xFFFFFFu : 0x0000FFu;
  });
  ASSERT_TRUE(load_image(&images[4], path.c_str()));
  draw_image_scaled_centred(320, 240, &images[4], 4.0f, 4.0f, 0, 0, 320, 216);
  for (std::uint16_t pixel : headless::back_buffer_pixels()) {
    ASSERT_EQ(pixel, 0xFFFF);
  }
}

TEST_F(draw_image_scaled_test, unusable_scales_and_far_regions_draw_nothing) {
  test::load_plain_picture(&images[5], "s.bmp", 16, 16, 0xFFFFFF);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  draw_image_scaled(10, 10, &images[5], 0.0f, 1.0f, 0, 0, 16, 16);
  draw_image_scaled(10, 10, &images[5], 1.0f, 0.0f, 0, 0, 16, 16);
  draw_image_scaled(10, 10, &images[5], nan, 1.0f, 0, 0, 16, 16);
  draw_image_scaled_centred(10, 10, &images[5], inf, inf, 0, 0, 16, 16);
  draw_image_scaled_centred(10, 10, &images[5], 1e30f, 1e30f, 0, 0, 16, 16);
  draw_image_scaled(2000, 10, &images[5], 2.0f, 2.0f, 0, 0, 16, 16);
  draw_image_scaled(-2000, -2000, &images[5], 2.0f, 2.0f, 0, 0, 16, 16);
  EXPECT_EQ(drawn(headless::back_buffer_pixels()).count, 0);
}

// Where a region lands and what is left of it; an empty result is never
// inverted, and an inverted region is refused without changing anything.
TEST(clip_to_screen, examples) {
  constexpr std::int32_t lo = std::numeric_limits<std::int32_t>::min(), hi = std::numeric_limits<std::int32_t>::max();
  const struct {
    std::int32_t x, y;
    plat_rect in;
    bool ok;
    std::int32_t want_x, want_y;
    plat_rect want;
  } cases[] = {
      {700, 0, {0, 0, 100, 10}, true, 640, 0, {0, 0, 0, 10}},           // off the right: empty
      {5, -10, {0, 64, 10, 96}, true, 5, 0, {0, 74, 10, 96}},           // over the top
      {-500, -500, {10, 20, 110, 60}, true, 0, 0, {110, 60, 110, 60}},  // wholly off left and above
      {600, 470, {0, 0, 100, 32}, true, 600, 470, {0, 0, 40, 10}},      // over right and bottom
      {1, 2, {10, 0, 5, 10}, false, 1, 2, {}},                          // inverted across
      {1, 2, {0, 10, 5, 5}, false, 1, 2, {}},                           // inverted down
      {0, 0, {lo, 0, hi, 10}, true, 0, 0, {lo, 0, lo + 640, 10}},       // too wide to subtract
  };
  for (const auto& c : cases) {
    std::int32_t x = c.x, y = c.y;
    plat_rect out{};
    EXPECT_EQ(clip_to_screen(&x, &y, &out, c.in.left, c.in.top, c.in.right, c.in.bottom), c.ok) << c.x << "," << c.y;
    EXPECT_EQ(x, c.want_x);
    EXPECT_EQ(y, c.want_y);
    if (c.ok) {
      EXPECT_EQ(out.left, c.want.left) << c.x << "," << c.y;
      EXPECT_EQ(out.top, c.want.top) << c.x << "," << c.y;
      EXPECT_EQ(out.right, c.want.right) << c.x << "," << c.y;
      EXPECT_EQ(out.bottom, c.want.bottom) << c.x << "," << c.y;
    }
  }
}

TEST_F(surface_loss_test, a_lost_picture_is_read_again_from_its_file) {
  const std::string path = test::bmp_file("again.bmp", 4, 4, [](int, int) { return 0xFFFFFFu; });
  ASSERT_TRUE(load_image(&images[6], path.c_str()));
  // Marks only the surface in memory: a reload from the file loses it.
  test::poke(images[6].surface, 0, 0, 0x1234);
  draw_image(0, 0, &images[6], 0, 0, 4, 4);
  EXPECT_EQ(test::at(headless::back_buffer_pixels(), 0, 0), 0x1234);

  const std::size_t surfaces = headless::live_surface_count();
  headless::lose_surfaces();
  draw_image(10, 10, &images[6], 0, 0, 4, 4);
  // The reloaded surface takes the old one's place instead of adding to it.
  EXPECT_EQ(headless::live_surface_count(), surfaces);
  EXPECT_NE(images[6].surface, nullptr);
  EXPECT_STREQ(images[6].file_name, path.c_str());
  EXPECT_EQ(images[6].colour_key, 0u);

  clear_back_buffer();
  draw_image(0, 0, &images[6], 0, 0, 4, 4);
  const auto pixels = headless::back_buffer_pixels();
  EXPECT_EQ(test::at(pixels, 0, 0), 0xFFFF);
  EXPECT_EQ(test::at(pixels, 3, 3), 0xFFFF);
}

TEST_F(surface_loss_test, scaled_draws_repair_too) {
  test::load_plain_picture(&images[7], "zoomed.bmp", 4, 4, 0xFFFFFF);
  test::poke(images[7].surface, 0, 0, 0x1234);
  headless::lose_surfaces();
  draw_image_scaled_centred(100, 100, &images[7], 2.0f, 2.0f, 0, 0, 4, 4);
  clear_back_buffer();
  draw_image_scaled_centred(100, 100, &images[7], 2.0f, 2.0f, 0, 0, 4, 4);
  const auto pixels = headless::back_buffer_pixels();
  EXPECT_EQ(drawn(pixels).count, 64);
  EXPECT_EQ(test::at(pixels, 96, 96), 0xFFFF);
}

}  // namespace
}  // namespace shindan
