// Bitmap files built in memory field by field, so that a decoder test or a
// fuzzer seed states exactly what the file holds, good or broken.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace shindan::bmp_test {

using bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t rgb = 0;
constexpr std::uint32_t rle8 = 1;
constexpr std::uint32_t rle4 = 2;
constexpr std::uint32_t bitfields = 3;

struct bmp_fields {
  std::uint32_t header_size = 40;  // 12 writes a core header
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t planes = 1;
  std::uint16_t bit_count = 24;
  std::uint32_t compression = rgb;
  std::uint32_t colours_used = 0;
  // Written at byte 40 of the header: behind a 40-byte header, inside larger ones.
  std::vector<std::uint32_t> masks = {};
  std::vector<std::uint32_t> palette = {};  // 0xRRGGBB; three bytes an entry in core files
  bytes pixels = {};                        // exactly as stored
  std::int64_t offset = -1;                 // -1: the pixels follow the palette
};

inline void put16(bytes* b, std::size_t at, std::uint32_t v) {
  (*b)[at] = static_cast<std::uint8_t>(v);
  (*b)[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(bytes* b, std::size_t at, std::uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}

inline bytes make_bmp(const bmp_fields& f) {
  const bool core = f.header_size == 12;
  // Room for every field even when the declared header is shorter; the
  // excess is cut off again below.
  bytes b(14 + (core || f.header_size >= 40 ? f.header_size : 40), 0);
  b[0] = 'B';
  b[1] = 'M';
  put32(&b, 14, f.header_size);
  if (core) {
    put16(&b, 18, static_cast<std::uint32_t>(f.width));
    put16(&b, 20, static_cast<std::uint32_t>(f.height));
    put16(&b, 22, f.planes);
    put16(&b, 24, f.bit_count);
  } else {
    put32(&b, 18, static_cast<std::uint32_t>(f.width));
    put32(&b, 22, static_cast<std::uint32_t>(f.height));
    put16(&b, 26, f.planes);
    put16(&b, 28, f.bit_count);
    put32(&b, 30, f.compression);
    put32(&b, 34, static_cast<std::uint32_t>(f.pixels.size()));
    put32(&b, 46, f.colours_used);
    if (f.header_size < 40)
      b.resize(14 + (f.header_size < 4 ? 4 : f.header_size));
  }
  if (!f.masks.empty()) {
    const std::size_t at = 14 + 40;
    if (b.size() < at + 4 * f.masks.size())
      b.resize(at + 4 * f.masks.size(), 0);
    for (std::size_t i = 0; i < f.masks.size(); ++i)
      put32(&b, at + 4 * i, f.masks[i]);
  }
  for (std::uint32_t c : f.palette) {
    b.push_back(static_cast<std::uint8_t>(c));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
    b.push_back(static_cast<std::uint8_t>(c >> 16));
    if (!core)
      b.push_back(0);
  }
  put32(&b, 10, f.offset >= 0 ? static_cast<std::uint32_t>(f.offset) : static_cast<std::uint32_t>(b.size()));
  b.insert(b.end(), f.pixels.begin(), f.pixels.end());
  put32(&b, 2, static_cast<std::uint32_t>(b.size()));
  return b;
}

// Stored rows, each padded with `fill` to a multiple of four bytes, in the
// order given (bottom row first for a bottom-up file).
inline bytes padded_rows(std::initializer_list<bytes> rows, std::uint8_t fill = 0) {
  bytes out;
  for (const bytes& r : rows) {
    out.insert(out.end(), r.begin(), r.end());
    while (out.size() % 4 != 0)
      out.push_back(fill);
  }
  return out;
}

}  // namespace shindan::bmp_test
