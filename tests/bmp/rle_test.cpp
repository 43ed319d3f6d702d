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

TEST(BmpRle8, RunsLineEndsAndTheEndMarker) {
  // Bottom row: three of 1, one of 2; end of line; top row: two of 3, then the
  // end marker leaves the rest at index 0.
  EXPECT_EQ(decode_rle(rle8, 4, 2, {3, 1, 1, 2, 0, 0, 2, 3, 0, 1}), (px{W, W, B, B, R, R, R, G}));
  // A line end early in a row leaves the rest of that row at index 0.
  EXPECT_EQ(decode_rle(rle8, 3, 2, {1, 1, 0, 0, 1, 2, 0, 1}), (px{G, B, B, R, B, B}));
}

TEST(BmpRle8, LiteralRunsArePaddedToWholeWords) {
  // Three literal bytes take a padding byte; the command after it must still be read right.
  EXPECT_EQ(decode_rle(rle8, 5, 1, {0, 3, 1, 2, 3, 0, 2, 2, 0, 1}), (px{R, G, W, G, G}));
  // Four literal bytes take none.
  EXPECT_EQ(decode_rle(rle8, 5, 1, {0, 4, 1, 2, 3, 1, 1, 2, 0, 1}), (px{R, G, W, R, G}));
}

TEST(BmpRle8, DeltaSkipsPixelsWhichStayAtIndexZero) {
  // One pixel, then move 2 right and 1 up, one more pixel.
  EXPECT_EQ(decode_rle(rle8, 4, 3, {1, 1, 0, 2, 2, 1, 1, 2, 0, 1}), (px{B, B, B, B, B, B, B, G, R, B, B, B}));
}

TEST(BmpRle8, StreamsLeavingThePictureAreClipped) {
  // A run past the right edge does not wrap into the next row.
  EXPECT_EQ(decode_rle(rle8, 2, 2, {5, 1, 0, 0, 1, 2, 0, 1}), (px{G, B, R, R}));
  // Nor does a literal run.
  EXPECT_EQ(decode_rle(rle8, 2, 2, {0, 3, 1, 2, 3, 0, 0, 0, 1, 3, 0, 1}), (px{W, B, R, G}));
  // A run starting past the edge of an upper row stays out of the rows below it.
  EXPECT_EQ(decode_rle(rle8, 2, 2, {0, 0, 3, 1, 2, 2, 0, 1}), (px{R, R, B, B}));
  // A delta far to the right, then a run that lands nowhere.
  EXPECT_EQ(decode_rle(rle8, 2, 1, {0, 2, 255, 0, 200, 1, 0, 1}), (px{B, B}));
  // A delta past the top ends the picture; what follows is ignored.
  EXPECT_EQ(decode_rle(rle8, 2, 2, {1, 1, 0, 2, 0, 5, 1, 2, 0, 0, 9, 9}), (px{B, B, R, B}));
  // Line ends past the last row are harmless.
  EXPECT_EQ(decode_rle(rle8, 1, 1, {1, 1, 0, 0, 0, 0, 0, 0, 0, 1}), (px{R}));
}

TEST(BmpRle8, WidePicturesAreCutAtTheSurfaceWidth) {
  const px pixels = decode_rle(rle8, 700, 1, {255, 1, 255, 2, 255, 3, 0, 1});
  ASSERT_EQ(pixels.size(), 640u);
  EXPECT_EQ(pixels[254], R);
  EXPECT_EQ(pixels[255], G);
  EXPECT_EQ(pixels[509], G);
  EXPECT_EQ(pixels[510], W);
  EXPECT_EQ(pixels[639], W);
}

TEST(BmpRle8, StreamEnds) {
  // The end marker may be missing once every row is done.
  EXPECT_EQ(decode_rle(rle8, 1, 1, {1, 1, 0, 0}), (px{R}));
  // Data that stops with rows still to come is a truncated file.
  expect_rle_refused(rle8, 1, 2, {1, 1});
  expect_rle_refused(rle8, 1, 2, {});
  expect_rle_refused(rle8, 1, 2, {1});
  // A command cut short: a literal run, a delta.
  expect_rle_refused(rle8, 8, 1, {0, 5, 1, 2});
  expect_rle_refused(rle8, 8, 1, {0, 2, 1});
  // Only the padding byte of a final literal run missing loses nothing.
  EXPECT_EQ(decode_rle(rle8, 3, 1, {0, 3, 1, 2, 3}), (px{R, G, W}));
  EXPECT_EQ(decode_rle(rle8, 3, 1, {3, 2}), (px{G, G, G}));
  expect_rle_refused(rle8, 3, 1, {2, 2});
}

TEST(BmpRle4, RunsAlternateTheTwoNibbles) {
  EXPECT_EQ(decode_rle(rle4, 5, 1, {5, 0x12, 0, 1}), (px{R, G, R, G, R}));
  EXPECT_EQ(decode_rle(rle4, 4, 2, {2, 0x33, 0, 0, 3, 0x21, 0, 1}), (px{G, R, G, B, W, W, B, B}));
}

TEST(BmpRle4, LiteralRunsCountNibblesAndPadBytesToWords) {
  // Five nibbles fill three bytes, padded to four.
  EXPECT_EQ(decode_rle(rle4, 6, 1, {0, 5, 0x12, 0x31, 0x20, 0, 1, 0x33, 0, 1}), (px{R, G, W, R, G, W}));
  // Three nibbles fill two bytes: no padding.
  EXPECT_EQ(decode_rle(rle4, 4, 1, {0, 3, 0x12, 0x30, 1, 0x11, 0, 1}), (px{R, G, W, R}));
  // Clipped at the right edge, still consuming the whole run.
  EXPECT_EQ(decode_rle(rle4, 2, 2, {0, 5, 0x12, 0x31, 0x20, 0, 0, 0, 1, 0x30, 0, 1}), (px{W, B, R, G}));
  expect_rle_refused(rle4, 8, 1, {0, 5, 0x12});
}

TEST(BmpRle, CompressionMustSuitTheBitmap) {
  // Rows of a compressed stream cannot be stored top-down.
  expect_rle_refused(rle8, 1, -1, {1, 1, 0, 1});
  expect_rle_refused(rle4, 2, -1, {2, 0x11, 0, 1});
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
