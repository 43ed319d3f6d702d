// Uncompressed bitmaps of every depth and header kind, and how their colours
// land in the 16-bit surface formats.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/bmp/bmp_builder.h"

namespace shindan::bmp_test {
namespace {

constexpr pixel_layout p555 = pixel_layout::rgb555;

TEST(BmpTrueColour, TwentyFourBitKeepsTheTopBitsOfEachChannel) {
  bmp_fields f;
  f.width = 3;
  f.height = 2;
  // Stored bottom row first, blue-green-red, rows padded with junk that must be skipped.
  f.pixels = padded_rows(
      {{0xFF, 0xFF, 0xFF, 0x56, 0x34, 0x12, 0x07, 0x03, 0x07}, {0x08, 0x04, 0x08, 0xF8, 0xFC, 0xF8, 0xFF, 0x00, 0x00}},
      0xEE);
  const bytes file = make_bmp(f);

  const decoded_picture pic = decode_ok(file);
  ASSERT_EQ(pic.width, 3u);
  ASSERT_EQ(pic.height, 2u);
  EXPECT_EQ(at(pic, 0, 0), 0x0821);  // (8, 4, 8): the smallest step of every channel
  EXPECT_EQ(at(pic, 1, 0), 0xFFFF);  // (248, 252, 248) already fills every field
  EXPECT_EQ(at(pic, 2, 0), 0x001F);
  EXPECT_EQ(at(pic, 0, 1), 0xFFFF);
  EXPECT_EQ(at(pic, 1, 1), 0x11AA);  // (0x12, 0x34, 0x56) -> 2, 13, 10
  EXPECT_EQ(at(pic, 2, 1), 0x0000);  // near-black becomes black, hence transparent

  const decoded_picture p5 = decode_ok(file, p555);
  EXPECT_EQ(at(p5, 0, 0), 0x0401);  // green 4 is below a 5-bit step
  EXPECT_EQ(at(p5, 1, 0), 0x7FFF);
  EXPECT_EQ(at(p5, 1, 1), 0x08CA);  // 2, 6, 10
}

TEST(BmpTrueColour, SixteenAndThirtyTwoBitPlainFormats) {
  bmp_fields f16;
  f16.bit_count = 16;
  f16.width = 4;
  // 5-5-5 with an unused top bit; 5-bit channels widen by repeating their bits.
  f16.pixels = padded_rows({{0xFF, 0xFF, 0x00, 0x80, 0x00, 0x7C, 0x00, 0x02}});
  const decoded_picture p16 = decode_ok(make_bmp(f16));
  EXPECT_EQ(at(p16, 0, 0), 0xFFFF);
  EXPECT_EQ(at(p16, 1, 0), 0x0000);  // only the unused bit set
  EXPECT_EQ(at(p16, 2, 0), 0xF800);
  EXPECT_EQ(at(p16, 3, 0), 0x0420);  // green 16 of 31 -> 132 -> 33 of 63
  const decoded_picture p16b = decode_ok(make_bmp(f16), p555);
  EXPECT_EQ(at(p16b, 0, 0), 0x7FFF);
  EXPECT_EQ(at(p16b, 3, 0), 0x0200);  // a 5-5-5 source into 5-5-5 is unchanged

  bmp_fields f32;
  f32.bit_count = 32;
  f32.width = 2;
  // Blue, green, red, then a byte GDI does not look at.
  f32.pixels = {0x00, 0x00, 0x00, 0xFF, 0x20, 0x40, 0x80, 0x00};
  const decoded_picture p32 = decode_ok(make_bmp(f32));
  EXPECT_EQ(at(p32, 0, 0), 0x0000);
  EXPECT_EQ(at(p32, 1, 0), 0x8204);  // 16, 16, 4
}

TEST(BmpPalette, EachIndexedDepthReadsItsPixelsInOrder) {
  // 1 bit: most significant bit first, across a byte boundary.
  bmp_fields f1;
  f1.bit_count = 1;
  f1.width = 10;
  f1.palette = {0x102030, 0xF0E0D0};
  f1.pixels = padded_rows({{0xB0, 0x40}});
  const decoded_picture p1 = decode_ok(make_bmp(f1));
  const std::uint16_t c0 = 0x1106, c1 = 0xF71A;
  const std::vector<std::uint16_t> want1 = {c1, c0, c1, c1, c0, c0, c0, c0, c0, c1};
  EXPECT_EQ(p1.pixels, want1);

  // 4 bits: high nibble first; no colour count means all sixteen entries.
  bmp_fields f4;
  f4.bit_count = 4;
  f4.width = 3;
  for (std::uint32_t i = 0; i < 16; ++i)
    f4.palette.push_back((i * 8) << 16);
  f4.pixels = padded_rows({{0x5A, 0xF0}});
  const decoded_picture p4 = decode_ok(make_bmp(f4));
  EXPECT_EQ(p4.pixels, (std::vector<std::uint16_t>{0x2800, 0x5000, 0x7800}));

  // 8 bits, and the 5-5-5 layout applies to palette colours too.
  bmp_fields f8;
  f8.bit_count = 8;
  f8.width = 2;
  for (std::uint32_t i = 0; i < 256; ++i)
    f8.palette.push_back(i << 8);
  f8.pixels = padded_rows({{0xFF, 0x40}});
  EXPECT_EQ(decode_ok(make_bmp(f8)).pixels, (std::vector<std::uint16_t>{0x07E0, 0x0200}));
  EXPECT_EQ(decode_ok(make_bmp(f8), p555).pixels, (std::vector<std::uint16_t>{0x03E0, 0x0100}));
}

TEST(BmpPalette, IndicesBeyondTheColourTableAreBlack) {
  // Two colours declared: the pixel bytes right behind the table must not be
  // taken for more entries.
  bmp_fields f;
  f.bit_count = 8;
  f.width = 4;
  f.colours_used = 2;
  f.palette = {0xFFFFFF, 0x0000FF};
  f.pixels = {0x00, 0x01, 0x02, 0xFF};
  EXPECT_EQ(decode_ok(make_bmp(f)).pixels, (std::vector<std::uint16_t>{0xFFFF, 0x001F, 0, 0}));

  // A table longer than the depth can index: the extra entries are skipped
  // and the pixels are found behind all of them.
  bmp_fields big;
  big.bit_count = 8;
  big.width = 1;
  big.colours_used = 300;
  big.palette.assign(300, 0x00FF00);
  big.palette[255] = 0xFF0000;
  big.pixels = {0xFF, 0, 0, 0};
  EXPECT_EQ(decode_ok(make_bmp(big)).pixels, (std::vector<std::uint16_t>{0xF800}));
}

TEST(BmpHeaders, CoreHeaderUsesThreeByteColoursAndUnsignedSizes) {
  bmp_fields f;
  f.header_size = 12;
  f.bit_count = 8;
  f.width = 2;
  f.height = 2;
  f.palette.assign(256, 0);
  f.palette[1] = 0x204080;
  f.palette[200] = 0xFF0000;
  f.pixels = padded_rows({{1, 200}, {200, 1}});
  const decoded_picture pic = decode_ok(make_bmp(f));
  ASSERT_EQ(pic.height, 2u);
  EXPECT_EQ(pic.pixels, (std::vector<std::uint16_t>{0xF800, 0x2210, 0x2210, 0xF800}));

  bmp_fields t = f;
  t.bit_count = 24;
  t.palette.clear();
  t.pixels = padded_rows({{0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00, 0xFF, 0xFF, 0xFF}});
  EXPECT_EQ(decode_ok(make_bmp(t)).pixels, (std::vector<std::uint16_t>{0x07E0, 0xFFFF, 0xF800, 0x001F}));

  bmp_fields sixteen = t;
  sixteen.bit_count = 16;  // not a core depth
  expect_refused(make_bmp(sixteen));
}

TEST(BmpHeaders, LargerHeadersDecodeLikeTheClassicOne) {
  bmp_fields f;
  f.bit_count = 8;
  f.width = 3;
  f.height = 2;
  f.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  f.colours_used = 4;
  f.pixels = padded_rows({{1, 2, 3}, {3, 2, 1}});
  const std::vector<std::uint16_t> want = decode_ok(make_bmp(f)).pixels;
  ASSERT_EQ(want, (std::vector<std::uint16_t>{0x001F, 0x07E0, 0xF800, 0xF800, 0x07E0, 0x001F}));
  // 52 and 56 are the 40-byte header with the masks (and alpha) folded in;
  // 64 is OS/2's, whose first 40 bytes read the same.
  for (std::uint32_t size : {52u, 56u, 64u, 108u, 124u}) {
    bmp_fields g = f;
    g.header_size = size;
    EXPECT_EQ(decode_ok(make_bmp(g)).pixels, want) << "header size " << size;
  }
}

TEST(BmpHeaders, MasksInALargeHeaderCountOnlyWithBitFields) {
  bmp_fields f;
  f.header_size = 124;
  f.bit_count = 16;
  f.width = 1;
  f.masks = {0xF800, 0x07E0, 0x001F};
  f.pixels = {0xE0, 0x03, 0, 0};  // 0x03E0
  // Without the bit-field compression the pixel is 5-5-5 whatever the header says.
  EXPECT_EQ(decode_ok(make_bmp(f)).pixels[0], 0x07E0);
  f.compression = bitfields;
  EXPECT_EQ(decode_ok(make_bmp(f)).pixels[0], 0x03E0);
}

TEST(BmpBitFields, ChannelsOfAnyWidthAreScaledToEightBitsFirst) {
  struct mask_case {
    const char* name;
    std::uint16_t bit_count;
    std::vector<std::uint32_t> masks;
    std::uint32_t pixel;
    std::uint16_t want565;
    std::uint16_t want555;
  };
  const mask_case cases[] = {
      {"565 stays exact", 16, {0xF800, 0x07E0, 0x001F}, 0x1234, 0x1234, 0x0914},
      {"555 widens green", 16, {0x7C00, 0x03E0, 0x001F}, 0x7E00, 0xFC20, 0x7E00},
      {"4-4-4 repeats nibbles", 16, {0x0F00, 0x00F0, 0x000F}, 0x0F80, 0xFC40, 0x7E20},
      {"alpha bits are ignored", 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0xF000, 0x0000, 0x0000},
      {"10-bit channels keep their top bits", 32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0x3FF800FF, 0xFC07, 0x7E07},
      {"a missing channel is zero", 32, {0xFF0000, 0, 0xFF}, 0x00FFFFFF, 0xF81F, 0x7C1F},
      {"swapped order", 32, {0x0000FF, 0x00FF00, 0xFF0000}, 0x44332211, 0x1106, 0x0886},
      {"one-bit channels", 16, {0x4, 0x2, 0x1}, 0x5, 0xF81F, 0x7C1F},
  };
  for (const mask_case& c : cases) {
    bmp_fields f;
    f.bit_count = c.bit_count;
    f.compression = bitfields;
    f.masks = c.masks;
    if (c.masks.size() == 4)
      f.header_size = 56;
    for (int i = 0; i < c.bit_count / 8; ++i)
      f.pixels.push_back(static_cast<std::uint8_t>(c.pixel >> (8 * i)));
    while (f.pixels.size() % 4 != 0)
      f.pixels.push_back(0);
    const bytes file = make_bmp(f);
    EXPECT_EQ(decode_ok(file).pixels.at(0), c.want565) << c.name;
    EXPECT_EQ(decode_ok(file, p555).pixels.at(0), c.want555) << c.name;
  }

  // Masks inside a 52-byte header are not followed by another copy.
  bmp_fields h52;
  h52.header_size = 52;
  h52.bit_count = 32;
  h52.compression = bitfields;
  h52.masks = {0x0000FF, 0x00FF00, 0xFF0000};
  h52.pixels = {0x11, 0x22, 0x33, 0x44};
  EXPECT_EQ(decode_ok(make_bmp(h52)).pixels.at(0), 0x1106);
}

TEST(BmpGeometry, TopDownAndBottomUpGiveTheSamePictureUpright) {
  bmp_fields f;
  f.width = 1;
  f.height = 2;
  f.pixels = padded_rows({{0x00, 0x00, 0xFF}, {0xFF, 0x00, 0x00}});
  EXPECT_EQ(decode_ok(make_bmp(f)).pixels, (std::vector<std::uint16_t>{0x001F, 0xF800}));
  f.height = -2;
  const decoded_picture pic = decode_ok(make_bmp(f));
  EXPECT_EQ(pic.height, 2u);
  EXPECT_EQ(pic.pixels, (std::vector<std::uint16_t>{0xF800, 0x001F}));
}

TEST(BmpGeometry, WidePicturesKeepTheirLeftColumnsAndFullHeight) {
  bmp_fields f;
  f.bit_count = 8;
  f.width = 700;
  f.height = 3;
  f.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  bytes row(700, 0);
  row[639] = 1;
  row[640] = 2;
  bytes top = row;
  top[0] = 3;
  f.pixels = padded_rows({row, row, top});
  const decoded_picture pic = decode_ok(make_bmp(f));
  ASSERT_EQ(pic.width, 640u);
  ASSERT_EQ(pic.height, 3u);
  EXPECT_EQ(at(pic, 0, 0), 0x001F);
  for (std::uint32_t y = 0; y < 3; ++y) {
    EXPECT_EQ(at(pic, 639, y), 0xF800);
    EXPECT_EQ(at(pic, 638, y), 0);
  }
  EXPECT_EQ(at(pic, 0, 1), 0);
  EXPECT_EQ(std::count(pic.pixels.begin(), pic.pixels.end(), 0x07E0), 0);

  // A row length that is not a multiple of four, past the cut.
  bmp_fields t;
  t.width = 1001;
  t.height = 2;
  bytes bottom(3003, 0), upper(3003, 0);
  bottom[1] = 0xFF;       // green at column 0
  upper[2] = 0xFF;        // red at column 0
  upper[639 * 3] = 0xFF;  // blue at column 639
  t.pixels = padded_rows({bottom, upper});
  const decoded_picture wide = decode_ok(make_bmp(t));
  EXPECT_EQ(at(wide, 0, 0), 0xF800);
  EXPECT_EQ(at(wide, 639, 0), 0x001F);
  EXPECT_EQ(at(wide, 0, 1), 0x07E0);
}

}  // namespace
}  // namespace shindan::bmp_test
