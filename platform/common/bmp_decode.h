// Windows bitmap decoding into 16-bit surface pixels, giving what GDI gives
// when it copies a bitmap file into a 16-bit DirectDraw surface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace shindan {

enum class pixel_layout : std::uint8_t { rgb565, rgb555 };

struct decoded_picture {
  std::uint32_t width = 0;            // the bitmap's width cut to 640
  std::uint32_t height = 0;           // |biHeight|
  std::vector<std::uint16_t> pixels;  // width * height, top row first
};

// Decodes a whole .bmp file held in memory. On failure answers false, leaves
// out untouched and points *why (when given) at a one-line reason.
bool decode_bmp(const std::uint8_t* data, std::size_t size, pixel_layout layout, decoded_picture* out,
                const char** why);
// Reads the file and decodes it; refuses files too large to be a picture.
bool decode_bmp_file(const char* path, pixel_layout layout, decoded_picture* out, const char** why);
// Reads a whole file that could be a picture; refuses one too large to be.
bool read_picture_file(const char* path, std::vector<std::uint8_t>* bytes, const char** why);

// A large picture decoded a band of rows at a time, so that no single step
// holds the thread long. The shape is its size as decode_bmp gives it.
struct bmp_shape {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};
bool bmp_shape_of(const std::uint8_t* data, std::size_t size, pixel_layout layout, bmp_shape* out, const char** why);
// Where such a decoding stands; it starts empty.
struct bmp_band_cursor {
  std::uint32_t rows_done = 0;  // rows decoded, or given their first colour (compressed)
  std::uint64_t x = 0;          // compressed: the stream's position on the picture
  std::uint64_t y = 0;
  std::size_t at = 0;  // compressed: bytes of the stream read
  bool stream_done = false;
  bool done = false;
};
// Decodes about `rows` more rows into dst, the picture's top row, with pitch
// pixels from one row to the next and room for the whole shape; call it
// until cursor->done. The pixels then equal decode_bmp's. False for a file
// decode_bmp refuses; dst then holds part of a picture.
bool decode_bmp_band(const std::uint8_t* data, std::size_t size, pixel_layout layout, std::uint32_t rows,
                     std::uint16_t* dst, std::size_t pitch, bmp_band_cursor* cursor, const char** why);

}  // namespace shindan
