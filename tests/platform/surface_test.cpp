// Memory surfaces: keyed and stretched copies with their clipping and
// refusals, the colour key, locks and loss.
#include "platform/common/surface.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/headless/headless.h"

namespace shindan {
namespace {

struct surfaces : ::testing::Test {
  void SetUp() override { headless::reset(); }
  void TearDown() override { headless::reset(); }

  static plat_surface* make(std::uint32_t w, std::uint32_t h, std::uint16_t fill = 0) {
    plat_surface* s = create_surface(pixel_layout::rgb565, w, h);
    std::fill(s->memory.begin(), s->memory.end(), fill);
    return s;
  }
  static std::uint16_t at(plat_surface* s, int x, int y) { return surface_row(s, y)[x]; }
  static void put(plat_surface* s, int x, int y, std::uint16_t v) { surface_row(s, y)[x] = v; }
  // Number of pixels of the surface that are not `value`.
  static int count_not(plat_surface* s, std::uint16_t value) {
    int n = 0;
    for (std::uint32_t y = 0; y < s->height; ++y)
      for (std::uint32_t x = 0; x < s->width; ++x)
        n += surface_row(s, y)[x] != value;
    return n;
  }
};

// The masks each layout reports are checked where the display reads them.
TEST_F(surfaces, pitch_is_whole_words_and_empty_surfaces_are_refused) {
  plat_surface* s = make(3, 2);
  EXPECT_EQ(s->pitch % 4, 0);
  EXPECT_GE(s->pitch, 6);
  EXPECT_EQ(create_surface(pixel_layout::rgb565, 0, 5), nullptr);
}

// Regions partly outside the source are the fast-path tests' random cases.
TEST_F(surfaces, keyed_copy_of_extreme_or_empty_regions_draws_nothing) {
  plat_surface* src = make(4, 4, 0x00FF);
  plat_set_colour_key(src, 0);
  plat_surface* dst = make(16, 16);
  // Extreme values and empty regions draw nothing and do not fail.
  EXPECT_EQ(plat_copy_keyed(dst, INT32_MAX, INT32_MAX, src, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}),
            plat_result::ok);
  EXPECT_EQ(plat_copy_keyed(dst, -1000, 5, src, {0, 0, 4, 4}), plat_result::ok);
  EXPECT_EQ(plat_copy_keyed(dst, 5, 5, src, {3, 3, 3, 4}), plat_result::ok);
  EXPECT_EQ(count_not(dst, 0), 0);
  EXPECT_NE(plat_copy_keyed(dst, 0, 0, src, {3, 0, 1, 4}), plat_result::ok);  // inverted
}

TEST_F(surfaces, stretch_doubles_by_nearest_pixel_and_keeps_the_key) {
  plat_surface* src = make(2, 2);
  put(src, 0, 0, 0x0001);
  put(src, 1, 0, 0x0002);
  put(src, 0, 1, 0x0003);
  put(src, 1, 1, 0x0000);  // key: stays transparent when stretched
  plat_set_colour_key(src, 0);
  plat_surface* dst = make(4, 4, 0x5555);
  ASSERT_EQ(plat_copy_keyed_stretched(dst, {0, 0, 4, 4}, src, {0, 0, 2, 2}), plat_result::ok);
  const std::uint16_t expected[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 0x5555, 0x5555}, {3, 3, 0x5555, 0x5555}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(at(dst, x, y), expected[y][x]) << x << "," << y;

  // Shrinking picks pixels spread over the whole source.
  plat_surface* wide = make(8, 1);
  for (int x = 0; x < 8; ++x)
    put(wide, x, 0, static_cast<std::uint16_t>(x + 1));
  plat_surface* narrow = make(2, 1);
  ASSERT_EQ(plat_copy_keyed_stretched(narrow, {0, 0, 2, 1}, wide, {0, 0, 8, 1}), plat_result::ok);
  EXPECT_LE(at(narrow, 0, 0), 4);
  EXPECT_GE(at(narrow, 1, 0), 5);
}

TEST_F(surfaces, stretch_refuses_rectangles_that_do_not_fit) {
  plat_surface* src = make(10, 10, 0x1234);
  plat_set_colour_key(src, 0);
  plat_surface* dst = make(20, 20);
  const plat_rect whole{0, 0, 10, 10};
  // Inverted, as a zoom wholly off the screen gives it.
  EXPECT_NE(plat_copy_keyed_stretched(dst, {15, 0, 5, 10}, src, whole), plat_result::ok);
  EXPECT_NE(plat_copy_keyed_stretched(dst, {0, 0, 10, 10}, src, {0, 8, 10, 2}), plat_result::ok);
  // Outside the source or the target.
  EXPECT_NE(plat_copy_keyed_stretched(dst, {0, 0, 10, 10}, src, {0, 0, 11, 10}), plat_result::ok);
  EXPECT_NE(plat_copy_keyed_stretched(dst, {0, 0, 10, 10}, src, {-1, 0, 9, 10}), plat_result::ok);
  EXPECT_NE(plat_copy_keyed_stretched(dst, {-1, 0, 19, 20}, src, whole), plat_result::ok);
  EXPECT_NE(plat_copy_keyed_stretched(dst, {0, 0, 20, 21}, src, whole), plat_result::ok);
  EXPECT_EQ(count_not(dst, 0), 0);
  // The exact edges are inside.
  EXPECT_EQ(plat_copy_keyed_stretched(dst, {0, 0, 20, 20}, src, whole), plat_result::ok);
  EXPECT_EQ(count_not(dst, 0x1234), 0);
}

TEST_F(surfaces, fill_clips_and_refuses_inverted) {
  plat_surface* s = make(4, 4);
  ASSERT_EQ(plat_fill(s, {2, 2, 100, 100}, 0xABCD), plat_result::ok);
  EXPECT_EQ(count_not(s, 0), 4);
  EXPECT_EQ(at(s, 3, 3), 0xABCD);
  EXPECT_NE(plat_fill(s, {3, 0, 1, 4}, 0xFFFF), plat_result::ok);
  EXPECT_EQ(count_not(s, 0), 4);
}

TEST_F(surfaces, locks_exclude_draws_and_each_other) {
  plat_surface* s = make(4, 4);
  plat_surface* pic = make(2, 2, 0x1111);
  plat_pixels locked;
  ASSERT_EQ(plat_lock(s, &locked), plat_result::ok);
  EXPECT_EQ(locked.pixels, s->memory.data());
  EXPECT_EQ(locked.pitch, s->pitch);
  EXPECT_EQ(locked.bit_count, 16u);
  plat_pixels again;
  EXPECT_EQ(plat_result::failed, (plat_lock(s, &again)));
  EXPECT_EQ(plat_result::failed, (plat_copy_keyed(s, 0, 0, pic, {0, 0, 2, 2})));
  EXPECT_EQ(plat_result::failed, (plat_fill(s, {0, 0, 4, 4}, 1)));
  plat_unlock(s);
  plat_unlock(s);  // a second unlock is harmless
  EXPECT_EQ(plat_lock(s, &again), plat_result::ok);
  plat_unlock(s);
  EXPECT_EQ(count_not(s, 0), 0);
}

TEST_F(surfaces, lost_surfaces_refuse_until_restored_then_need_repainting) {
  plat_surface* s = make(4, 4, 0x1234);
  plat_surface* pic = make(2, 2, 0x1111);
  headless::lose_surfaces();
  plat_pixels locked;
  EXPECT_EQ(plat_lock(s, &locked), plat_result::lost);
  EXPECT_EQ(plat_copy_keyed(s, 0, 0, pic, {0, 0, 2, 2}), plat_result::lost);
  EXPECT_EQ(plat_copy_keyed_stretched(s, {0, 0, 4, 4}, pic, {0, 0, 2, 2}), plat_result::lost);
  EXPECT_EQ(plat_fill(s, {0, 0, 4, 4}, 0), plat_result::lost);

  ASSERT_EQ(plat_restore_surface(s), plat_result::ok);
  EXPECT_EQ(plat_lock(s, &locked), plat_result::ok);
  plat_unlock(s);
  EXPECT_EQ(count_not(s, restored_garbage), 0);
  // Drawing from a picture that is still lost fails too.
  EXPECT_EQ(plat_copy_keyed(s, 0, 0, pic, {0, 0, 2, 2}), plat_result::lost);
  ASSERT_EQ(plat_restore_surface(pic), plat_result::ok);
  EXPECT_EQ(plat_copy_keyed(s, 0, 0, pic, {0, 0, 2, 2}), plat_result::ok);
}

}  // namespace
}  // namespace shindan
