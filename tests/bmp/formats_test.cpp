// Uncompressed bitmaps of every depth and header kind, and how their colours
// land in the 16-bit surface formats: one table, one small file per case.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/bmp/bmp_builder.h"

namespace shindan::bmp_test {
namespace {

using px = std::vector<std::uint16_t>;

std::vector<std::uint32_t> ramp(std::uint32_t count, std::uint32_t step) {
  std::vector<std::uint32_t> out;
  for (std::uint32_t i = 0; i < count; ++i)
    out.push_back(i * step);
  return out;
}

// One pixel of the given depth, stored little-endian and padded to a word.
bytes one_pixel(std::uint16_t bit_count, std::uint32_t value) {
  bytes out(4, 0);
  for (int i = 0; i < bit_count / 8 && i < 4; ++i)
    out[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return out;
}

struct format_case {
  std::string name;
  bmp_fields file;
  px want565;
  px want555;  // empty: the 5-5-5 result is not the point of the case
};

std::vector<format_case> format_cases() {
  const bmp_fields four_colours{.bit_count = 8, .colours_used = 4, .palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF}};
  std::vector<format_case> cases = {
      // Stored bottom row first, blue-green-red, rows padded with junk that
      // must be skipped; (8, 4, 8) is the smallest step of every channel,
      // (0x12, 0x34, 0x56) gives 2, 13, 10, and near-black becomes black.
      {"24 bits keep the top bits",
       {.width = 3,
        .height = 2,
        .pixels = padded_rows({{0xFF, 0xFF, 0xFF, 0x56, 0x34, 0x12, 0x07, 0x03, 0x07},
                               {0x08, 0x04, 0x08, 0xF8, 0xFC, 0xF8, 0xFF, 0x00, 0x00}},
                              0xEE)},
       {0x0821, 0xFFFF, 0x001F, 0xFFFF, 0x11AA, 0x0000},
       {0x0401, 0x7FFF, 0x001F, 0x7FFF, 0x08CA, 0x0000}},
      // 5-5-5 with an unused top bit; 5-bit channels widen by repeating their
      // bits (green 16 of 31 -> 132 -> 33 of 63) and stay as they are in 5-5-5.
      {"16 bits plain",
       {.width = 4, .bit_count = 16, .pixels = padded_rows({{0xFF, 0xFF, 0x00, 0x80, 0x00, 0x7C, 0x00, 0x02}})},
       {0xFFFF, 0x0000, 0xF800, 0x0420},
       {0x7FFF, 0x0000, 0x7C00, 0x0200}},
      // Blue, green, red, then a byte that is never looked at.
      {"32 bits plain", {.width = 2, .bit_count = 32, .pixels = {0, 0, 0, 0xFF, 0x20, 0x40, 0x80, 0}}, {0, 0x8204}, {}},
      // Most significant bit first, across a byte boundary.
      {"1 bit",
       {.width = 10, .bit_count = 1, .palette = {0x102030, 0xF0E0D0}, .pixels = padded_rows({{0xB0, 0x40}})},
       {0xF71A, 0x1106, 0xF71A, 0xF71A, 0x1106, 0x1106, 0x1106, 0x1106, 0x1106, 0xF71A},
       {}},
      // High nibble first; no colour count means all sixteen entries.
      {"4 bits",
       {.width = 3, .bit_count = 4, .palette = ramp(16, 0x080000), .pixels = padded_rows({{0x5A, 0xF0}})},
       {0x2800, 0x5000, 0x7800},
       {}},
      {"8 bits",
       {.width = 2, .bit_count = 8, .palette = ramp(256, 0x100), .pixels = {0xFF, 0x40, 0, 0}},
       {0x07E0, 0x0200},
       {0x03E0, 0x0100}},
      // Two colours declared: the pixel bytes behind the table are not more entries.
      {"indices beyond the table are black",
       {.width = 4, .bit_count = 8, .colours_used = 2, .palette = {0xFFFFFF, 0x0000FF}, .pixels = {0, 1, 2, 0xFF}},
       {0xFFFF, 0x001F, 0, 0},
       {}},
      // A table longer than the depth can index: the pixels lie behind all of it.
      {"entries past 256 are skipped",
       {.bit_count = 8,
        .colours_used = 300,
        .palette =
            [] {
              std::vector<std::uint32_t> p(300, 0x00FF00);
              p[255] = 0xFF0000;
              return p;
            }(),
        .pixels = {0xFF, 0, 0, 0}},
       {0xF800},
       {}},
      // The core header: three-byte colours, sizes in 16 bits.
      {"core header, 8 bits",
       {.header_size = 12,
        .width = 2,
        .height = 2,
        .bit_count = 8,
        .palette =
            [] {
              std::vector<std::uint32_t> p(256, 0);
              p[1] = 0x204080;
              p[200] = 0xFF0000;
              return p;
            }(),
        .pixels = padded_rows({{1, 200}, {200, 1}})},
       {0xF800, 0x2210, 0x2210, 0xF800},
       {}},
      {"core header, 24 bits",
       {.header_size = 12,
        .width = 2,
        .height = 2,
        .pixels = padded_rows({{0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00, 0xFF, 0xFF, 0xFF}})},
       {0x07E0, 0xFFFF, 0xF800, 0x001F},
       {}},
      // Masks in a large header count only with the bit-field compression.
      {"masks without bit fields",
       {.header_size = 124, .bit_count = 16, .masks = {0xF800, 0x07E0, 0x001F}, .pixels = one_pixel(16, 0x03E0)},
       {0x07E0},
       {}},
      {"masks in a large header with bit fields",
       {.header_size = 124,
        .bit_count = 16,
        .compression = bitfields,
        .masks = {0xF800, 0x07E0, 0x001F},
        .pixels = one_pixel(16, 0x03E0)},
       {0x03E0},
       {}},
      // Masks inside a 52-byte header are not followed by another copy.
      {"masks inside a 52-byte header",
       {.header_size = 52,
        .bit_count = 32,
        .compression = bitfields,
        .masks = {0x0000FF, 0x00FF00, 0xFF0000},
        .pixels = {0x11, 0x22, 0x33, 0x44}},
       {0x1106},
       {}},
      {"bottom-up",
       {.height = 2, .pixels = padded_rows({{0x00, 0x00, 0xFF}, {0xFF, 0x00, 0x00}})},
       {0x001F, 0xF800},
       {}},
      {"top-down",
       {.height = -2, .pixels = padded_rows({{0x00, 0x00, 0xFF}, {0xFF, 0x00, 0x00}})},
       {0xF800, 0x001F},
       {}},
  };
  // 52 and 56 are the 40-byte header with the masks (and alpha) folded in;
  // 64 is OS/2's, whose first 40 bytes read the same.
  for (std::uint32_t size : {40u, 52u, 56u, 64u, 108u, 124u}) {
    bmp_fields f = four_colours;
    f.header_size = size;
    f.width = 3;
    f.height = 2;
    f.pixels = padded_rows({{1, 2, 3}, {3, 2, 1}});
    cases.push_back({"header size " + std::to_string(size), f, {0x001F, 0x07E0, 0xF800, 0xF800, 0x07E0, 0x001F}, {}});
  }
  // Bit fields: channels of any width are scaled to eight bits first.
  const struct {
    const char* name;
    std::uint16_t bit_count;
    std::vector<std::uint32_t> masks;
    std::uint32_t pixel;
    std::uint16_t want565, want555;
  } masks[] = {
      {"565 stays exact", 16, {0xF800, 0x07E0, 0x001F}, 0x1234, 0x1234, 0x0914},
      {"555 widens green", 16, {0x7C00, 0x03E0, 0x001F}, 0x7E00, 0xFC20, 0x7E00},
      {"4-4-4 repeats nibbles", 16, {0x0F00, 0x00F0, 0x000F}, 0x0F80, 0xFC40, 0x7E20},
      {"alpha bits are ignored", 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0xF000, 0x0000, 0x0000},
      {"10-bit channels keep their top bits", 32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0x3FF800FF, 0xFC07, 0x7E07},
      {"a missing channel is zero", 32, {0xFF0000, 0, 0xFF}, 0x00FFFFFF, 0xF81F, 0x7C1F},
      {"swapped order", 32, {0x0000FF, 0x00FF00, 0xFF0000}, 0x44332211, 0x1106, 0x0886},
      {"one-bit channels", 16, {0x4, 0x2, 0x1}, 0x5, 0xF81F, 0x7C1F},
  };
  for (const auto& m : masks) {
    cases.push_back({std::string("bit fields: ") + m.name,
                     {.header_size = m.masks.size() == 4 ? 56u : 40u,
                      .bit_count = m.bit_count,
                      .compression = bitfields,
                      .masks = m.masks,
                      .pixels = one_pixel(m.bit_count, m.pixel)},
                     {m.want565},
                     {m.want555}});
  }
  return cases;
}

TEST(bmp_formats, each_format_decodes_to_its_pixels_in_both_layouts) {
  for (const format_case& c : format_cases()) {
    SCOPED_TRACE(c.name);
    const bytes file = make_bmp(c.file);
    const decoded_picture pic = decode_ok(file);
    EXPECT_EQ(pic.height, static_cast<std::uint32_t>(std::abs(c.file.height)));
    EXPECT_EQ(pic.pixels, c.want565);
    if (!c.want555.empty()) {
      EXPECT_EQ(decode_ok(file, pixel_layout::rgb555).pixels, c.want555);
    }
    EXPECT_EQ(decode_in_bands(file, 1), c.want565) << "a row at a time";
  }
  expect_refused(make_bmp({.header_size = 12, .bit_count = 16, .pixels = {0, 0, 0, 0}}));  // not a core depth
}

TEST(bmp_formats, wide_pictures_keep_their_left_columns_and_full_height) {
  bytes row(700, 0);
  row[639] = 1;
  row[640] = 2;
  bytes top = row;
  top[0] = 3;
  bmp_fields f{.width = 700,
               .height = 3,
               .bit_count = 8,
               .palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF},
               .pixels = padded_rows({row, row, top})};
  const decoded_picture pic = decode_ok(make_bmp(f));
  ASSERT_EQ(pic.width, 640u);
  ASSERT_EQ(pic.height, 3u);
  EXPECT_EQ(at(pic, 0, 0), 0x001F);
  EXPECT_EQ(at(pic, 0, 1), 0);
  for (std::uint32_t y = 0; y < 3; ++y) {
    EXPECT_EQ(at(pic, 639, y), 0xF800);
    EXPECT_EQ(at(pic, 638, y), 0);
  }
  EXPECT_EQ(std::count(pic.pixels.begin(), pic.pixels.end(), 0x07E0), 0);
  EXPECT_EQ(decode_in_bands(make_bmp(f), 2), pic.pixels);

  // A row length that is not a multiple of four, past the cut: green at
  // column 0 of the bottom row, red at column 0 and blue at 639 above it.
  bytes bottom(3003, 0), upper(3003, 0);
  bottom[1] = 0xFF;
  upper[2] = 0xFF;
  upper[639 * 3] = 0xFF;
  const decoded_picture wide =
      decode_ok(make_bmp({.width = 1001, .height = 2, .pixels = padded_rows({bottom, upper})}));
  EXPECT_EQ(at(wide, 0, 0), 0xF800);
  EXPECT_EQ(at(wide, 639, 0), 0x001F);
  EXPECT_EQ(at(wide, 0, 1), 0x07E0);
}

}  // namespace
}  // namespace shindan::bmp_test
