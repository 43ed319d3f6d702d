// The translucent blend looks its products up in tables and the additive
// blend works on eight pixels at once; both must give, for every pair of
// channel values and every transparency, the pixel the per-pixel rule gives.
#include <gtest/gtest.h>

#include "tests/fastpath/reference.h"

namespace shindan::fastpath {
namespace {

struct blends : ::testing::TestWithParam<bool> {
  void SetUp() override { ASSERT_TRUE(open_display(GetParam())); }
  void TearDown() override { close_display_and_window(); }
};

INSTANTIATE_TEST_SUITE_P(layouts, blends, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "rgb555" : "rgb565"; });

// Fades step by frame time, so transparencies are all sorts of floats: the
// ends, the halves and thirds, values a hair from them, and some from fades.
std::vector<float> transparencies() {
  std::vector<float> out = {0.0f,
                            1.0f,
                            0.5f,
                            0.25f,
                            0.75f,
                            1.0f / 3.0f,
                            2.0f / 3.0f,
                            0.1f,
                            0.9f,
                            1e-7f,
                            1.0f - 1e-7f,
                            std::nextafter(0.5f, 1.0f),
                            std::nextafter(0.5f, 0.0f),
                            -0.2f,
                            1.5f};
  for (int e = 1; e < 40; e += 3)
    out.push_back(1.0f - static_cast<float>(e) * 0.016f / 3.0f);
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> any(0.0f, 1.0f);
  for (int i = 0; i < 8; ++i)
    out.push_back(any(rng));
  return out;
}

using pixel_rule = std::function<std::uint16_t(std::uint16_t d, std::uint16_t s)>;
using drawing = std::function<void(std::int32_t x, std::int32_t y, image_slot* slot, const plat_rect& region)>;

// Draws the region of the picture at (x, y), both inside the screen, and
// checks every screen pixel against the rule.
void check_region(const std::vector<std::uint16_t>& screen_before, const std::vector<std::uint16_t>& picture,
                  std::uint32_t picture_width, int x, int y, const plat_rect& region, const drawing& draw,
                  const pixel_rule& rule) {
  set_pixels(display.back_buffer, screen_before);
  draw(x, y, &images[1], region);
  std::vector<std::uint16_t> expected = screen_before;
  for (int row = region.top; row < region.bottom; ++row) {
    for (int col = region.left; col < region.right; ++col) {
      const std::uint16_t s = picture[static_cast<std::size_t>(row) * picture_width + static_cast<std::size_t>(col)];
      std::uint16_t& d = expected[static_cast<std::size_t>(y + row - region.top) * 640 +
                                  static_cast<std::size_t>(x + col - region.left)];
      if (s != 0)
        d = rule(d, s);
    }
  }
  const std::vector<std::uint16_t> got = pixels_of(display.back_buffer);
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (got[i] != expected[i]) {
      ADD_FAILURE() << "pixel " << i % 640 << "," << i / 640 << ": " << got[i] << " instead of " << expected[i];
      return;
    }
  }
}

// For each channel, a picture whose column gives that channel's source value
// and a screen whose row gives its target value: every pair of values meets
// once. The other channels are held non-zero so that no source is black.
void check_every_channel_pair(const drawing& draw, const pixel_rule& rule) {
  const pixel_format_record f = pixel_format;
  const std::uint16_t masks[3] = {f.red_mask, f.green_mask, f.blue_mask};
  const std::uint16_t shifts[3] = {f.red_shift, f.green_shift, f.blue_shift};
  std::mt19937 rng(17);
  const std::vector<std::uint16_t> noise = random_pixels(&rng, 640 * 480, 0, 1000);
  for (int c = 0; c < 3; ++c) {
    const std::uint32_t levels = (masks[c] >> shifts[c]) + 1u;
    const std::uint16_t others = static_cast<std::uint16_t>((0x0821u | 0x8410u) & ~masks[c]);
    std::vector<std::uint16_t> picture(levels * levels);
    std::vector<std::uint16_t> screen = noise;
    for (std::uint32_t row = 0; row < levels; ++row) {
      for (std::uint32_t col = 0; col < levels; ++col) {
        picture[row * levels + col] = static_cast<std::uint16_t>(others | (col << shifts[c]));
        std::uint16_t& d = screen[(20 + row) * 640 + 30 + col];
        d = static_cast<std::uint16_t>((d & ~masks[c]) | (row << shifts[c]));
      }
    }
    image_slot* slot = &images[1];
    if (slot->surface != nullptr)
      plat_release_surface(slot->surface);
    make_picture(slot, levels, levels, picture);
    const plat_rect whole{0, 0, static_cast<std::int32_t>(levels), static_cast<std::int32_t>(levels)};
    check_region(screen, picture, levels, 30, 20, whole, draw, rule);
  }
}

// Random pictures with black runs, random regions of them at random places.
void check_random_regions(std::mt19937* rng, const drawing& draw, const pixel_rule& rule) {
  const std::uint32_t w = 1 + (*rng)() % 300, h = 1 + (*rng)() % 60;
  const std::vector<std::uint16_t> picture = random_pixels(rng, w * h, 0, 6);
  image_slot* slot = &images[1];
  if (slot->surface != nullptr)
    plat_release_surface(slot->surface);
  make_picture(slot, w, h, picture);
  const std::vector<std::uint16_t> screen = random_pixels(rng, 640 * 480, 0, 1000);
  for (int i = 0; i < 4; ++i) {
    const int l = static_cast<int>((*rng)() % w), t = static_cast<int>((*rng)() % h);
    const int r = l + static_cast<int>((*rng)() % (w - l + 1)), b = t + static_cast<int>((*rng)() % (h - t + 1));
    const int x = static_cast<int>((*rng)() % (640 - (r - l) + 1)),
              y = static_cast<int>((*rng)() % (480 - (b - t) + 1));
    check_region(screen, picture, w, x, y, plat_rect{l, t, r, b}, draw, rule);
  }
}

drawing translucent(float t) {
  return [t](std::int32_t x, std::int32_t y, image_slot* slot, const plat_rect& r) {
    ASSERT_TRUE(draw_image_translucent(x, y, t, slot, r.left, r.top, r.right, r.bottom));
  };
}

TEST_P(blends, translucent_gives_the_double_arithmetic_for_every_channel_pair_and_random_pictures) {
  std::mt19937 rng(GetParam() ? 21 : 22);
  for (const float t : transparencies()) {
    SCOPED_TRACE(t);
    const pixel_rule rule = [t](std::uint16_t d, std::uint16_t s) {
      return reference_translucent(pixel_format, t, d, s);
    };
    check_every_channel_pair(translucent(t), rule);
    check_random_regions(&rng, translucent(t), rule);
  }
}

drawing additive() {
  return [](std::int32_t x, std::int32_t y, image_slot* slot, const plat_rect& r) {
    ASSERT_TRUE(draw_image_additive(x, y, slot, r.left, r.top, r.right, r.bottom));
  };
}

TEST_P(blends, additive_saturates_every_channel_pair_alone) {
  check_every_channel_pair(additive(),
                           [](std::uint16_t d, std::uint16_t s) { return reference_additive(pixel_format, d, s); });
  std::mt19937 rng(GetParam() ? 31 : 32);
  for (int i = 0; i < 20; ++i) {
    check_random_regions(&rng, additive(),
                         [](std::uint16_t d, std::uint16_t s) { return reference_additive(pixel_format, d, s); });
  }
}

}  // namespace
}  // namespace shindan::fastpath
