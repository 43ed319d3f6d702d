// The static fill and the keyed copy take shortcuts (many generator states at
// once, many pixels per step); on random inputs they must leave exactly the
// pixels and the generator state of the plain one-at-a-time arithmetic.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tests/fastpath/reference.h"

namespace shindan::fastpath {
namespace {

// What the processor offers, read once before any test switches it off.
bool wide_noise() {
  static const bool offered = noise_uses_avx2;
  return offered;
}
bool wide_copies() {
  static const bool offered = keyed_copy_uses_avx2;
  return offered;
}

// Each layout, with the widest vectors the processor has and with the
// narrower ones every x86-64 processor has.
struct fast_paths : ::testing::TestWithParam<std::tuple<bool, bool>> {
  bool five_five_five() const { return std::get<0>(GetParam()); }
  void SetUp() override {
    ASSERT_TRUE(open_display(five_five_five()));
    noise_uses_avx2 = std::get<1>(GetParam()) && wide_noise();
    keyed_copy_uses_avx2 = std::get<1>(GetParam()) && wide_copies();
  }
  void TearDown() override {
    close_display_and_window();
    noise_uses_avx2 = wide_noise();
    keyed_copy_uses_avx2 = wide_copies();
  }
};

INSTANTIATE_TEST_SUITE_P(layouts, fast_paths, ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "rgb555" : "rgb565") +
                                  (std::get<1>(info.param) ? "_widest" : "_narrow");
                         });

// Where the fill should land, by the rule: off-screen starts draw nothing,
// the size is cut at the screen's right and bottom edges.
void expected_noise(std::vector<std::uint16_t>* screen, std::uint32_t* state, int x, int y, int w, int h) {
  if (x > 639 || y > 479 || x < 0 || y < 0)
    return;
  if (x + w > 640)
    w = 640 - x;
  if (y + h > 480)
    h = 480 - y;
  for (int row = 0; row < h; ++row) {
    for (int col = 0; col < w; ++col)
      (*screen)[static_cast<std::size_t>(y + row) * 640 + static_cast<std::size_t>(x + col)] =
          reference_noise_pixel(pixel_format, state);
  }
}

// What the screen holds before each fill; random, and made once because
// making it is slow in unoptimised builds.
const std::vector<std::uint16_t>& old_screen() {
  static const std::vector<std::uint16_t> pixels = [] {
    std::mt19937 rng(99);
    return random_pixels(&rng, 640 * 480, 0, 50);
  }();
  return pixels;
}

void check_noise(std::mt19937* rng, int x, int y, int w, int h) {
  std::vector<std::uint16_t> screen = old_screen();
  set_pixels(display.back_buffer, screen);
  const std::uint32_t start = static_cast<std::uint32_t>((*rng)());
  shell.rand_state = start;
  std::uint32_t state = start;
  fill_noise(x, y, w, h);
  expected_noise(&screen, &state, x, y, w, h);
  ASSERT_EQ(shell.rand_state, state) << "start " << start << " at " << x << "," << y << " size " << w << "x" << h;
  ASSERT_TRUE(pixels_of(display.back_buffer) == screen)
      << "start " << start << " at " << x << "," << y << " size " << w << "x" << h;
}

TEST_P(fast_paths, noise_matches_the_serial_generator) {
  std::mt19937 rng(five_five_five() ? 555 : 565);
  check_noise(&rng, 0, 0, 640, 480);
  // Every width around the lane counts, and starts that leave odd tails.
  for (int w = 0; w <= 70; ++w)
    check_noise(&rng, static_cast<int>(rng() % 600), static_cast<int>(rng() % 470), w, 3);
  std::uniform_int_distribution<int> pos(-20, 660), size(-5, 700);
  for (int i = 0; i < 60; ++i)
    check_noise(&rng, pos(rng), pos(rng) % 500, size(rng), size(rng) % 40);
  // The generator goes on after a fill exactly as a serial one would.
  shell.rand_state = 1;
  std::uint32_t state = 1;
  fill_noise(0, 0, 640, 480);
  for (int i = 0; i < 640 * 480; ++i)
    reference_rand(&state);
  for (int i = 0; i < 300; ++i)
    EXPECT_EQ(shindan::rand(), static_cast<int>(reference_rand(&state)));
}

// Reference keyed copy: each pixel of the region that exists in the source
// lands at its place if that lies in the target and it is not the key.
void expected_copy(std::vector<std::uint16_t>* target, std::uint32_t tw, std::uint32_t th,
                   const std::vector<std::uint16_t>& source, std::uint32_t sw, std::uint32_t sh, int x, int y,
                   const plat_rect& r, bool keyed, std::uint16_t key) {
  for (std::int64_t sy = r.top; sy < r.bottom; ++sy) {
    for (std::int64_t sx = r.left; sx < r.right; ++sx) {
      if (sx < 0 || sy < 0 || sx >= sw || sy >= sh)
        continue;
      const std::int64_t tx = x + (sx - r.left), ty = y + (sy - r.top);
      if (tx < 0 || ty < 0 || tx >= tw || ty >= th)
        continue;
      const std::uint16_t p = source[static_cast<std::size_t>(sy * sw + sx)];
      if (keyed && p == key)
        continue;
      (*target)[static_cast<std::size_t>(ty * tw + tx)] = p;
    }
  }
}

TEST_P(fast_paths, keyed_copy_matches_the_pixel_rule) {
  std::mt19937 rng(five_five_five() ? 11 : 12);
  std::uniform_int_distribution<int> side(1, 90), pos(-100, 700), edge(-20, 110);
  plat_surface* back = display.back_buffer;
  for (int i = 0; i < 120; ++i) {
    const auto sw = static_cast<std::uint32_t>(side(rng)), sh = static_cast<std::uint32_t>(side(rng) % 30 + 1);
    const std::uint16_t key = i % 3 == 0 ? static_cast<std::uint16_t>(rng()) : 0;
    plat_surface* picture = create_surface(display_layout(), sw, sh);
    const std::vector<std::uint16_t> source = random_pixels(&rng, sw * sh, key, 4);
    set_pixels(picture, source);
    const bool keyed = i % 7 != 0;
    if (keyed) {
      // A raw key: any pixel value, not only those a colour turns into.
      picture->has_colour_key = true;
      picture->colour_key = key;
    }
    std::vector<std::uint16_t> screen = old_screen();
    set_pixels(back, screen);

    int l = edge(rng), t = edge(rng) % 40;
    int r = l + side(rng), b = t + side(rng) % 40;
    if (i % 2 == 0) {  // mostly regions inside the picture, as the game draws
      l = static_cast<int>(rng() % sw);
      t = static_cast<int>(rng() % sh);
      r = l + static_cast<int>(rng() % (sw - l + 1));
      b = t + static_cast<int>(rng() % (sh - t + 1));
    }
    const plat_rect region{l, t, r, b};
    const int x = pos(rng), y = pos(rng) % 500;
    ASSERT_EQ(plat_copy_keyed(back, x, y, picture, region), plat_result::ok);
    expected_copy(&screen, 640, 480, source, sw, sh, x, y, region, keyed, key);
    ASSERT_TRUE(pixels_of(back) == screen) << "case " << i;
    plat_release_surface(picture);
  }
}

TEST_P(fast_paths, keyed_copy_of_a_surface_onto_itself_reads_the_old_pixels) {
  std::mt19937 rng(3);
  plat_surface* back = display.back_buffer;
  plat_set_colour_key(back, 0);
  for (int i = 0; i < 20; ++i) {
    const std::vector<std::uint16_t> before = old_screen();
    set_pixels(back, before);
    const int l = static_cast<int>(rng() % 500), t = static_cast<int>(rng() % 400);
    const plat_rect region{l, t, l + 1 + static_cast<int>(rng() % 139), t + 1 + static_cast<int>(rng() % 79)};
    const int x = l + static_cast<int>(rng() % 21) - 10, y = t + static_cast<int>(rng() % 21) - 10;
    std::vector<std::uint16_t> expected = before;
    expected_copy(&expected, 640, 480, before, 640, 480, x, y, region, true, 0);
    ASSERT_EQ(plat_copy_keyed(back, x, y, back, region), plat_result::ok);
    ASSERT_TRUE(pixels_of(back) == expected) << "case " << i;
  }
}

}  // namespace
}  // namespace shindan::fastpath
