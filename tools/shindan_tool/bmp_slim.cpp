#include "tools/shindan_tool/bmp_slim.h"

#include <algorithm>
#include <array>

#include "platform/common/bmp_decode.h"

namespace shindan {

namespace {

using bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t bi_rgb = 0;
constexpr std::uint32_t bi_rle8 = 1;
constexpr std::uint32_t bi_bitfields = 3;
constexpr std::size_t file_header_size = 14;
constexpr std::size_t info_header_size = 40;

void put16(bytes* b, std::size_t at, std::uint32_t v) {
  (*b)[at] = static_cast<std::uint8_t>(v);
  (*b)[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(bytes* b, std::size_t at, std::uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}

// Headers for a bottom-up picture; `table` (palette or masks) follows them,
// the pixel data is appended by the caller.
bytes headers(std::uint32_t width, std::uint32_t height, std::uint16_t bit_count, std::uint32_t compression,
              const bytes& table, std::uint32_t colours_used, std::size_t data_size) {
  const std::size_t offset = file_header_size + info_header_size + table.size();
  bytes b(offset, 0);
  b[0] = 'B';
  b[1] = 'M';
  put32(&b, 2, static_cast<std::uint32_t>(offset + data_size));
  put32(&b, 10, static_cast<std::uint32_t>(offset));
  put32(&b, 14, info_header_size);
  put32(&b, 18, width);
  put32(&b, 22, height);
  put16(&b, 26, 1);
  put16(&b, 28, bit_count);
  put32(&b, 30, compression);
  put32(&b, 34, static_cast<std::uint32_t>(data_size));
  put32(&b, 46, colours_used);
  std::copy(table.begin(), table.end(), b.begin() + file_header_size + info_header_size);
  return b;
}

// A palette colour for a 5-6-5 pixel: each channel widened by repeating its
// top bits, which the decoder cuts back to the same pixel on either screen.
void put_colour(bytes* table, std::uint16_t pixel) {
  const std::uint32_t r = pixel >> 11, g = (pixel >> 5) & 63, b = pixel & 31;
  table->push_back(static_cast<std::uint8_t>((b << 3) | (b >> 2)));
  table->push_back(static_cast<std::uint8_t>((g << 2) | (g >> 4)));
  table->push_back(static_cast<std::uint8_t>((r << 3) | (r >> 2)));
  table->push_back(0);
}

// How many pixels from `at` repeat row[at], at most 255 (one run's limit).
std::size_t run_at(const std::uint8_t* row, std::size_t at, std::size_t width) {
  std::size_t end = at + 1;
  while (end < width && end - at < 255 && row[end] == row[at])
    ++end;
  return end - at;
}

// One row in RLE8: repeats of two or more as runs; stretches of three or
// more differing pixels as absolute runs (fewer cannot be one, as counts 1
// and 2 mean the end of the picture and a move).
void rle8_row(const std::uint8_t* row, std::size_t width, bytes* out) {
  std::size_t x = 0;
  while (x < width) {
    const std::size_t run = run_at(row, x, width);
    if (run >= 2) {
      out->push_back(static_cast<std::uint8_t>(run));
      out->push_back(row[x]);
      x += run;
      continue;
    }
    std::size_t end = x + 1;
    while (end < width && end - x < 255 && run_at(row, end, width) < 3)
      ++end;
    const std::size_t count = end - x;
    if (count < 3) {
      for (; x < end; ++x) {
        out->push_back(1);
        out->push_back(row[x]);
      }
      continue;
    }
    out->push_back(0);
    out->push_back(static_cast<std::uint8_t>(count));
    out->insert(out->end(), row + x, row + end);
    if (count & 1)
      out->push_back(0);
    x = end;
  }
}

bool decodes_to(const bytes& file, const decoded_picture& want, pixel_layout layout) {
  decoded_picture got;
  return decode_bmp(file.data(), file.size(), layout, &got, nullptr) && got.width == want.width &&
         got.height == want.height && got.pixels == want.pixels;
}

// The picture as indices into its colours, most frequent first; false when
// it has more than 256 of them.
bool index_colours(const decoded_picture& picture, bytes* table, bytes* indices) {
  std::vector<std::uint32_t> counts(65536, 0);
  for (std::uint16_t p : picture.pixels)
    ++counts[p];
  std::vector<std::uint16_t> used;
  for (std::uint32_t v = 0; v < counts.size(); ++v)
    if (counts[v] > 0)
      used.push_back(static_cast<std::uint16_t>(v));
  if (used.size() > 256)
    return false;
  std::stable_sort(used.begin(), used.end(), [&](std::uint16_t a, std::uint16_t b) { return counts[a] > counts[b]; });
  std::array<std::uint8_t, 65536> index{};
  for (std::size_t i = 0; i < used.size(); ++i) {
    index[used[i]] = static_cast<std::uint8_t>(i);
    put_colour(table, used[i]);
  }
  indices->resize(picture.pixels.size());
  std::transform(picture.pixels.begin(), picture.pixels.end(), indices->begin(),
                 [&](std::uint16_t p) { return index[p]; });
  return true;
}

}  // namespace

std::vector<std::uint8_t> slim_bmp(const std::uint8_t* data, std::size_t size) {
  bytes original(data, data + size);
  decoded_picture picture;
  if (!decode_bmp(data, size, pixel_layout::rgb565, &picture, nullptr))
    return original;
  decoded_picture picture_555;
  if (!decode_bmp(data, size, pixel_layout::rgb555, &picture_555, nullptr))
    return original;
  const std::uint32_t w = picture.width, h = picture.height;
  auto row = [&](const auto& pixels, std::uint32_t y) { return pixels.data() + static_cast<std::size_t>(y) * w; };

  std::vector<bytes> candidates;
  bytes table, indices;
  if (index_colours(picture, &table, &indices)) {
    const auto colours = static_cast<std::uint32_t>(table.size() / 4);
    const std::size_t stride = (w + 3) & ~std::size_t{3};
    bytes plain;
    plain.reserve(stride * h);
    for (std::uint32_t y = h; y-- > 0;) {
      plain.insert(plain.end(), row(indices, y), row(indices, y) + w);
      plain.resize(plain.size() + stride - w, 0);
    }
    bytes file = headers(w, h, 8, bi_rgb, table, colours, plain.size());
    file.insert(file.end(), plain.begin(), plain.end());
    candidates.push_back(std::move(file));

    bytes runs;
    for (std::uint32_t y = h; y-- > 0;) {
      rle8_row(row(indices, y), w, &runs);
      runs.push_back(0);
      runs.push_back(y == 0 ? 1 : 0);  // end of the picture, or of the line
    }
    file = headers(w, h, 8, bi_rle8, table, colours, runs.size());
    file.insert(file.end(), runs.begin(), runs.end());
    candidates.push_back(std::move(file));
  }
  {
    const bytes masks = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0x00, 0, 0};
    const std::size_t stride = (w * 2 + 3) & ~std::size_t{3};
    bytes file = headers(w, h, 16, bi_bitfields, masks, 0, stride * h);
    for (std::uint32_t y = h; y-- > 0;) {
      for (std::uint32_t x = 0; x < w; ++x) {
        file.push_back(static_cast<std::uint8_t>(row(picture.pixels, y)[x]));
        file.push_back(static_cast<std::uint8_t>(row(picture.pixels, y)[x] >> 8));
      }
      file.resize(file.size() + stride - w * 2, 0);
    }
    candidates.push_back(std::move(file));
  }

  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const bytes& a, const bytes& b) { return a.size() < b.size(); });
  for (bytes& file : candidates) {
    if (file.size() >= original.size())
      break;
    // Only a file that gives every pixel back, on either screen, may stand
    // in for the original.
    if (decodes_to(file, picture, pixel_layout::rgb565) && decodes_to(file, picture_555, pixel_layout::rgb555))
      return std::move(file);
  }
  return original;
}

}  // namespace shindan
