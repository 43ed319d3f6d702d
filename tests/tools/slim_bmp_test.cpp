// Smaller pictures for the browser: each must load into exactly the pixels
// of the original on either 16-bit screen, and must really be the smaller
// form (the slimmer falls back to the original, so a broken encoder would
// otherwise pass unnoticed).
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/common/bmp_decode.h"
#include "tests/support/bmp_bytes.h"
#include "tools/shindan_tool/bmp_slim.h"

namespace shindan {
namespace {

using bmp_test::bytes;

// A bottom-up 24-bit file whose pixel (x, y), y from the top, is colour(x, y) as 0xRRGGBB.
bytes picture_24(std::int32_t w, std::int32_t h, const std::function<std::uint32_t(int, int)>& colour) {
  bmp_test::bmp_fields f;
  f.width = w;
  f.height = h;
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const std::uint32_t c = colour(x, y);
      f.pixels.push_back(static_cast<std::uint8_t>(c));
      f.pixels.push_back(static_cast<std::uint8_t>(c >> 8));
      f.pixels.push_back(static_cast<std::uint8_t>(c >> 16));
    }
    while (f.pixels.size() % 4 != 0)
      f.pixels.push_back(0);
  }
  return bmp_test::make_bmp(f);
}

std::uint32_t u16(const bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8);
}
std::uint32_t bit_count(const bytes& b) {
  return u16(b, 28);
}
std::uint32_t compression(const bytes& b) {
  return u16(b, 30) | (u16(b, 32) << 16);
}

decoded_picture decoded(const bytes& file, pixel_layout layout) {
  decoded_picture out;
  const char* why = nullptr;
  EXPECT_TRUE(decode_bmp(file.data(), file.size(), layout, &out, &why)) << (why ? why : "");
  return out;
}

void expect_same_pixels(const bytes& original, const bytes& slim) {
  for (pixel_layout layout : {pixel_layout::rgb565, pixel_layout::rgb555}) {
    const decoded_picture want = decoded(original, layout);
    const decoded_picture got = decoded(slim, layout);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
    EXPECT_TRUE(got.pixels == want.pixels);
  }
}

TEST(slim_bmp, few_colours_become_a_palette_and_runs_become_rle) {
  // Colours that differ only in bits a 16-bit screen drops share one entry,
  // and a near black stays the transparent black it becomes on the screen.
  const std::uint32_t shades[] = {0x000000, 0x040204, 0xFF8040, 0xFB8347, 0x12E0A0};
  // No run anywhere: plain rows of indices are smallest.
  const bytes noisy = picture_24(64, 16, [&](int x, int y) { return shades[(x * 7 + y * 3) % 5]; });
  const bytes slim_noisy = slim_bmp(noisy.data(), noisy.size());
  EXPECT_EQ(bit_count(slim_noisy), 8u);
  EXPECT_EQ(compression(slim_noisy), 0u);
  EXPECT_LT(slim_noisy.size(), noisy.size() / 2);
  expect_same_pixels(noisy, slim_noisy);

  // Runs longer than one run can hold, lone pixels, pairs, and stretches of
  // differing pixels of odd and even length, on a picture wider than the
  // screen (cut to 640 as it loads).
  const bytes runs = picture_24(700, 6, [&](int x, int y) {
    if (x < 600)
      return shades[(x / (40 + 100 * y)) % 3 + 2 * (y % 2)];
    if (x < 601 + y)
      return shades[(x + y) % 5];  // a stretch of 1 to 6 differing pixels
    if (x < 660)
      return shades[(x / 2) % 4];  // pairs
    return shades[y % 5];
  });
  const bytes slim_runs = slim_bmp(runs.data(), runs.size());
  EXPECT_EQ(bit_count(slim_runs), 8u);
  EXPECT_EQ(compression(slim_runs), 1u);
  EXPECT_LT(slim_runs.size(), runs.size() / 4);
  expect_same_pixels(runs, slim_runs);
  EXPECT_EQ(decoded(slim_runs, pixel_layout::rgb565).width, 640u);
}

TEST(slim_bmp, many_colours_keep_sixteen_bits) {
  // 300 colours that stay apart on a 5-6-5 screen: too many for a palette.
  const bytes many = picture_24(60, 20, [](int x, int y) {
    const int i = (y * 60 + x) % 300;
    return static_cast<std::uint32_t>(((i % 32) << 19) | ((i / 32) << 10) | ((i % 7) << 3));
  });
  const bytes slim = slim_bmp(many.data(), many.size());
  EXPECT_EQ(bit_count(slim), 16u);
  EXPECT_EQ(compression(slim), 3u);
  EXPECT_LT(slim.size(), many.size());
  expect_same_pixels(many, slim);
}

TEST(slim_bmp, keeps_files_it_cannot_improve) {
  // A picture the game refuses stays exactly as it is, to be refused the same.
  bytes cut = picture_24(64, 16, [](int, int) { return 0x808080u; });
  cut.resize(cut.size() / 2);
  EXPECT_EQ(slim_bmp(cut.data(), cut.size()), cut);
  // An 8-bit file of four pixels is already smaller than any other form.
  bmp_test::bmp_fields f;
  f.width = 2;
  f.height = 2;
  f.bit_count = 8;
  f.colours_used = 2;
  f.palette = {0x000000, 0xFFFFFF};
  f.pixels = bmp_test::padded_rows({{0, 1}, {1, 0}});
  const bytes tiny = bmp_test::make_bmp(f);
  EXPECT_EQ(slim_bmp(tiny.data(), tiny.size()), tiny);
}

}  // namespace
}  // namespace shindan
