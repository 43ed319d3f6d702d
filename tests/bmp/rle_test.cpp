// Run-length compressed bitmaps: every command, the padding of literal runs,
// pixels the stream never reaches, and streams that stray off the picture.
#include <gtest/gtest.h>

#include "tests/bmp/bmp_builder.h"

namespace shindan::bmp_test {
namespace {

// Index 0 is blue so that pixels the stream skips are told from black ones.
constexpr std::uint16_t B = 0x001F;  // index 0
constexpr std::uint16_t R = 0xF800;  // index 1
constexpr std::uint16_t G = 0x07E0;  // index 2
constexpr std::uint16_t W = 0xFFFF;  // index 3

bmp_fields rle_file(std::uint32_t compression, std::int32_t width, std::int32_t height, bytes stream) {
  bmp_fields f;
  f.compression = compression;
  f.bit_count = compression == rle8 ? 8 : 4;
  f.width = width;
  f.height = height;
  f.colours_used = 4;
  f.palette = {0x0000FF, 0xFF0000, 0x00FF00, 0xFFFFFF};
  f.pixels = std::move(stream);
  return f;
}

std::vector<std::uint16_t> decode_rle(std::uint32_t compression, std::int32_t width, std::int32_t height,
                                      bytes stream) {
  return decode_ok(make_bmp(rle_file(compression, width, height, std::move(stream)))).pixels;
}

void expect_rle_refused(std::uint32_t compression, std::int32_t width, std::int32_t height, bytes stream) {
  expect_refused(make_bmp(rle_file(compression, width, height, std::move(stream))));
}

using px = std::vector<std::uint16_t>;

// Each stream with the pixels it gives, top row first; no pixels: refused.
struct rle_case {
  const char* what;
  std::uint32_t compression;
  std::int32_t width, height;
  bytes stream;
  px want;
};

const rle_case rle_cases[] = {
    // Bottom row: three of 1, one of 2; end of line; top row: two of 3, then
    // the end marker leaves the rest at index 0.
    {"runs, line end, end marker", rle8, 4, 2, {3, 1, 1, 2, 0, 0, 2, 3, 0, 1}, {W, W, B, B, R, R, R, G}},
    {"early line end", rle8, 3, 2, {1, 1, 0, 0, 1, 2, 0, 1}, {G, B, B, R, B, B}},
    // Three literal bytes take a padding byte, four take none.
    {"odd literal run", rle8, 5, 1, {0, 3, 1, 2, 3, 0, 2, 2, 0, 1}, {R, G, W, G, G}},
    {"even literal run", rle8, 5, 1, {0, 4, 1, 2, 3, 1, 1, 2, 0, 1}, {R, G, W, R, G}},
    // One pixel, then move 2 right and 1 up, one more pixel.
    {"delta", rle8, 4, 3, {1, 1, 0, 2, 2, 1, 1, 2, 0, 1}, {B, B, B, B, B, B, B, G, R, B, B, B}},
    {"run past the right edge", rle8, 2, 2, {5, 1, 0, 0, 1, 2, 0, 1}, {G, B, R, R}},
    {"literal past the right edge", rle8, 2, 2, {0, 3, 1, 2, 3, 0, 0, 0, 1, 3, 0, 1}, {W, B, R, G}},
    {"run starting past the edge", rle8, 2, 2, {0, 0, 3, 1, 2, 2, 0, 1}, {R, R, B, B}},
    {"delta far right", rle8, 2, 1, {0, 2, 255, 0, 200, 1, 0, 1}, {B, B}},
    {"delta past the top", rle8, 2, 2, {1, 1, 0, 2, 0, 5, 1, 2, 0, 0, 9, 9}, {B, B, R, B}},
    {"line ends past the last row", rle8, 1, 1, {1, 1, 0, 0, 0, 0, 0, 0, 0, 1}, {R}},
    // The end marker may be missing once every row is done; data that stops
    // with rows to come, or a command cut short, is a truncated file.
    {"no end marker", rle8, 1, 1, {1, 1, 0, 0}, {R}},
    {"rows missing", rle8, 1, 2, {1, 1}, {}},
    {"no data", rle8, 1, 2, {}, {}},
    {"half a run", rle8, 1, 2, {1}, {}},
    {"literal cut short", rle8, 8, 1, {0, 5, 1, 2}, {}},
    {"delta cut short", rle8, 8, 1, {0, 2, 1}, {}},
    // Only the padding byte of a final literal run missing loses nothing.
    {"final literal unpadded", rle8, 3, 1, {0, 3, 1, 2, 3}, {R, G, W}},
    {"final run fills the row", rle8, 3, 1, {3, 2}, {G, G, G}},
    {"final run short of the row", rle8, 3, 1, {2, 2}, {}},
    {"rle4 runs alternate nibbles", rle4, 5, 1, {5, 0x12, 0, 1}, {R, G, R, G, R}},
    {"rle4 two rows", rle4, 4, 2, {2, 0x33, 0, 0, 3, 0x21, 0, 1}, {G, R, G, B, W, W, B, B}},
    // Five nibbles fill three bytes, padded to four; three fill two.
    {"rle4 odd literal", rle4, 6, 1, {0, 5, 0x12, 0x31, 0x20, 0, 1, 0x33, 0, 1}, {R, G, W, R, G, W}},
    {"rle4 short literal", rle4, 4, 1, {0, 3, 0x12, 0x30, 1, 0x11, 0, 1}, {R, G, W, R}},
    {"rle4 literal clipped", rle4, 2, 2, {0, 5, 0x12, 0x31, 0x20, 0, 0, 0, 1, 0x30, 0, 1}, {W, B, R, G}},
    {"rle4 literal cut short", rle4, 8, 1, {0, 5, 0x12}, {}},
    // Rows of a compressed stream cannot be stored top-down.
    {"top-down rle8", rle8, 1, -1, {1, 1, 0, 1}, {}},
    {"top-down rle4", rle4, 2, -1, {2, 0x11, 0, 1}, {}},
};

TEST(bmp_rle, each_stream_gives_its_pixels_or_is_refused) {
  for (const rle_case& c : rle_cases) {
    SCOPED_TRACE(c.what);
    if (c.want.empty())
      expect_rle_refused(c.compression, c.width, c.height, c.stream);
    else
      EXPECT_EQ(decode_rle(c.compression, c.width, c.height, c.stream), c.want);
    // The same, a few rows at a time: the stream picked up where it stopped,
    // skipped pixels still index 0, refused at whatever step it breaks.
    for (const std::uint32_t rows : {1u, 2u, 3u}) {
      SCOPED_TRACE(rows);
      const auto banded = decode_in_bands(make_bmp(rle_file(c.compression, c.width, c.height, c.stream)), rows);
      if (c.want.empty())
        EXPECT_FALSE(banded.has_value());
      else
        EXPECT_EQ(banded, c.want);
    }
  }
}

TEST(bmp_rle, a_tall_picture_in_bands_equals_it_whole) {
  // Rows of runs and literals, a delta over several bands, and an end
  // marker well before the top, which leaves the top rows at index 0.
  bytes stream;
  for (std::uint8_t y = 0; y < 20; ++y) {
    stream.insert(stream.end(),
                  {static_cast<std::uint8_t>(1 + y % 5), static_cast<std::uint8_t>(y % 4), 0, 3, 1, 2, 3, 0, 0, 0});
  }
  stream.insert(stream.end(), {0, 2, 2, 9, 4, 1});
  stream.insert(stream.end(), {0, 0, 6, 3, 0, 1});
  const bytes file = make_bmp(rle_file(rle8, 9, 40, stream));
  const decoded_picture whole = decode_ok(file);
  for (const std::uint32_t rows : {1u, 4u, 7u, 64u})
    EXPECT_EQ(decode_in_bands(file, rows), whole.pixels) << rows << " rows at a time";
}

TEST(bmp_rle, wide_pictures_are_cut_at_the_surface_width) {
  const px pixels = decode_rle(rle8, 700, 1, {255, 1, 255, 2, 255, 3, 0, 1});
  ASSERT_EQ(pixels.size(), 640u);
  EXPECT_EQ((px{pixels[254], pixels[255], pixels[509], pixels[510], pixels[639]}), (px{R, G, G, W, W}));
}

TEST(bmp_rle, compression_must_suit_the_bitmap) {
  bmp_fields wrong_depth = rle_file(rle8, 2, 1, {2, 1, 0, 1});
  wrong_depth.bit_count = 4;
  expect_refused(make_bmp(wrong_depth));
  wrong_depth = rle_file(rle4, 2, 1, {2, 1, 0, 1});
  wrong_depth.bit_count = 8;
  expect_refused(make_bmp(wrong_depth));
  wrong_depth.bit_count = 24;
  wrong_depth.palette.clear();
  expect_refused(make_bmp(wrong_depth));
}

}  // namespace
}  // namespace shindan::bmp_test
