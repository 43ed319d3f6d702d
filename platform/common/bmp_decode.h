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

}  // namespace shindan
