// Windows bitmap decoding for the backends that have no GDI underneath.
//
// The game's pictures reach the screen on Windows through LoadImageA and a
// BitBlt into a 16-bit surface. Here the same file is read by hand and every
// pixel is turned into the value GDI would have written: each channel is first
// brought to 8 bits, then its top bits are kept for the 5-6-5 or 5-5-5 field.
//
// Every count and offset in the file is treated as hostile: all reads are
// checked against the data actually present, sizes are capped before anything
// is allocated, and the compressed streams are clipped to the picture.
#include "platform/common/bmp_decode.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>

namespace shindan {
namespace {

constexpr std::size_t file_header_size = 14;
constexpr std::uint32_t core_header_size = 12;
constexpr std::uint32_t info_header_size = 40;
constexpr std::uint32_t os2_header_size = 64;  // OS/2 2.x: an info header with OS/2 fields after it

// Pictures larger than this are not pictures this program could show; the
// caps keep a forged header from asking for gigabytes.
constexpr std::int64_t max_side = 32767;
constexpr std::uint64_t max_output_pixels = 64ull << 20;
constexpr std::uint64_t max_file_size = 64ull << 20;
constexpr std::uint32_t max_surface_width = 640;

constexpr std::uint32_t bi_rgb = 0;
constexpr std::uint32_t bi_rle8 = 1;
constexpr std::uint32_t bi_rle4 = 2;
constexpr std::uint32_t bi_bitfields = 3;
constexpr std::uint32_t bi_jpeg = 4;
constexpr std::uint32_t bi_png = 5;

std::uint16_t read_u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t read_u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t read_i32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(read_u32(p));
}

// One colour channel of a 16- or 32-bit pixel.
struct channel_field {
  std::uint32_t mask = 0;
  std::uint32_t shift = 0;  // trailing zero bits of mask
  std::uint32_t bits = 0;   // bit length of mask >> shift
};

struct bitmap_info {
  std::uint32_t width = 0;      // the file's full width
  std::uint32_t out_width = 0;  // width cut to the surface limit
  std::uint32_t height = 0;     // |height|
  bool top_down = false;
  std::uint32_t bit_count = 0;
  std::uint32_t compression = bi_rgb;
  std::size_t pixel_offset = 0;
  std::array<channel_field, 3> fields{};  // red, green, blue
  // The palette already in surface pixels; entries the file does not hold stay black.
  std::array<std::uint16_t, 256> palette{};
};

bool fail(const char** why, const char* reason) {
  if (why != nullptr)
    *why = reason;
  return false;
}

// Top bits of 8-bit channels, as GDI fills a 16-bit surface.
std::uint16_t pack_pixel(std::uint32_t r, std::uint32_t g, std::uint32_t b, pixel_layout layout) {
  if (layout == pixel_layout::rgb565)
    return static_cast<std::uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
  return static_cast<std::uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

channel_field make_field(std::uint32_t mask) {
  channel_field f;
  f.mask = mask;
  if (mask == 0)
    return f;
  f.shift = static_cast<std::uint32_t>(std::countr_zero(mask));
  f.bits = static_cast<std::uint32_t>(std::bit_width(mask >> f.shift));
  return f;
}

// Brings a channel of any width to 8 bits: narrow ones repeat their bits
// downwards so that full scale stays full scale, wide ones keep their top 8.
std::uint32_t channel_to_8(std::uint32_t pixel, const channel_field& f) {
  if (f.bits == 0)
    return 0;
  std::uint32_t v = (pixel & f.mask) >> f.shift;
  if (f.bits >= 8)
    return v >> (f.bits - 8);
  v <<= 8 - f.bits;
  for (std::uint32_t filled = f.bits; filled < 8; filled *= 2)
    v |= v >> filled;
  return v & 0xFF;
}

std::uint16_t convert_masked(std::uint32_t pixel, const bitmap_info& info, pixel_layout layout) {
  return pack_pixel(channel_to_8(pixel, info.fields[0]), channel_to_8(pixel, info.fields[1]),
                    channel_to_8(pixel, info.fields[2]), layout);
}

bool header_size_known(std::uint32_t size) {
  return size == info_header_size || size == 52 || size == 56 || size == os2_header_size || size == 108 || size == 124;
}

// Reads and checks the headers, the masks and the palette.
bool read_headers(const std::uint8_t* data, std::size_t size, pixel_layout layout, bitmap_info* info,
                  const char** why) {
  if (size < file_header_size + 4)
    return fail(why, "file too short for a bitmap header");
  if (data[0] != 'B' || data[1] != 'M')
    return fail(why, "not a bitmap file (no BM signature)");
  const std::uint32_t declared_offset = read_u32(data + 10);
  const std::uint32_t header_size = read_u32(data + file_header_size);
  const std::uint8_t* h = data + file_header_size;

  const bool core = header_size == core_header_size;
  if (!core && !header_size_known(header_size))
    return fail(why, "unsupported bitmap header size");
  if (size < file_header_size + header_size)
    return fail(why, "bitmap header is cut short");

  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint32_t planes = 0;
  std::uint32_t colours_used = 0;
  if (core) {
    width = read_u16(h + 4);
    height = read_u16(h + 6);
    planes = read_u16(h + 8);
    info->bit_count = read_u16(h + 10);
    info->compression = bi_rgb;
  } else {
    width = read_i32(h + 4);
    height = read_i32(h + 8);
    planes = read_u16(h + 12);
    info->bit_count = read_u16(h + 14);
    info->compression = read_u32(h + 16);
    colours_used = read_u32(h + 32);
  }

  if (planes != 1)
    return fail(why, "bitmap plane count is not 1");
  if (width <= 0)
    return fail(why, "bitmap width is not positive");
  if (height == 0)
    return fail(why, "bitmap height is zero");
  info->top_down = height < 0;
  if (height < 0)
    height = -height;  // 64-bit: even the most negative 32-bit height negates safely
  if (width > max_side || height > max_side)
    return fail(why, "bitmap dimensions are too large");
  info->width = static_cast<std::uint32_t>(width);
  info->height = static_cast<std::uint32_t>(height);
  info->out_width = info->width < max_surface_width ? info->width : max_surface_width;
  if (static_cast<std::uint64_t>(info->out_width) * info->height > max_output_pixels)
    return fail(why, "bitmap has too many pixels");

  const std::uint32_t bpp = info->bit_count;
  const std::uint32_t comp = info->compression;
  if (core) {
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)
      return fail(why, "unsupported bit count");
  } else {
    // In the OS/2 header the codes from 3 up name OS/2's own schemes
    // (Huffman 1D, 24-bit RLE), not bit fields.
    if (header_size == os2_header_size && comp >= bi_bitfields)
      return fail(why, "unsupported OS/2 bitmap compression");
    if (comp == bi_jpeg || comp == bi_png)
      return fail(why, "JPEG or PNG bitmaps are not supported");
    if (comp > bi_bitfields)
      return fail(why, "unknown bitmap compression");
    const bool bpp_ok = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    if (!bpp_ok)
      return fail(why, "unsupported bit count");
    if (comp == bi_rle8 && bpp != 8)
      return fail(why, "RLE8 needs 8 bits per pixel");
    if (comp == bi_rle4 && bpp != 4)
      return fail(why, "RLE4 needs 4 bits per pixel");
    if (comp == bi_bitfields && bpp != 16 && bpp != 32)
      return fail(why, "bit fields need 16 or 32 bits per pixel");
    if ((comp == bi_rle8 || comp == bi_rle4) && info->top_down)
      return fail(why, "top-down RLE bitmap");
  }

  // The masks sit right after the first 40 bytes of the header: behind a
  // 40-byte header, inside the larger ones.
  std::size_t masks_size = 0;
  if (comp == bi_bitfields) {
    const std::size_t at = file_header_size + info_header_size;
    if (size < at + 12)
      return fail(why, "bit field masks are cut short");
    info->fields = {make_field(read_u32(data + at)), make_field(read_u32(data + at + 4)),
                    make_field(read_u32(data + at + 8))};
    if (header_size == info_header_size)
      masks_size = 12;
  } else if (bpp == 16) {
    info->fields = {make_field(0x7C00), make_field(0x03E0), make_field(0x001F)};
  } else {
    info->fields = {make_field(0xFF0000), make_field(0x00FF00), make_field(0x0000FF)};
  }

  const std::size_t table_start = file_header_size + header_size + masks_size;
  const std::uint64_t entry_size = core ? 3 : 4;
  std::uint64_t table_entries = colours_used;  // what the file says lies between header and pixels
  if (bpp <= 8) {
    const std::uint32_t full = 1u << bpp;
    if (core || colours_used == 0)
      table_entries = full;
    // Only 2^bpp entries can ever be indexed; a longer table is skipped.
    const std::uint64_t entries = table_entries < full ? table_entries : full;
    if (table_start + entries * entry_size > size)
      return fail(why, "palette is cut short");
    for (std::uint64_t i = 0; i < entries; ++i) {
      const std::uint8_t* q = data + table_start + i * entry_size;
      info->palette[i] = pack_pixel(q[2], q[1], q[0], layout);
    }
  } else if (core) {
    table_entries = 0;
  }

  // A zero offset is taken to mean "right after the colour table", as some
  // old writers left it.
  const std::uint64_t offset = declared_offset != 0 ? declared_offset : table_start + table_entries * entry_size;
  if (offset < table_start)
    return fail(why, "pixel data offset points into the header");
  if (offset > size)
    return fail(why, "pixel data offset lies beyond the end of the file");
  info->pixel_offset = static_cast<std::size_t>(offset);
  return true;
}

// Bytes from one stored row to the next: rows are padded to 32 bits.
std::uint64_t plain_stride(const bitmap_info& info) {
  return (static_cast<std::uint64_t>(info.width) * info.bit_count + 31) / 32 * 4;
}

// Checked before anything is allocated, so that a header claiming a huge
// picture over a few bytes of data costs nothing. The last row is accepted
// without its trailing padding, which carries no pixel; anything shorter is a
// truncated file.
bool plain_data_present(std::size_t size, const bitmap_info& info, const char** why) {
  const std::uint64_t row_bytes = (static_cast<std::uint64_t>(info.width) * info.bit_count + 7) / 8;
  const std::uint64_t needed = plain_stride(info) * (info.height - 1) + row_bytes;
  if (size - info.pixel_offset < needed)
    return fail(why, "pixel data is cut short");
  return true;
}

// Uncompressed rows [first, first + count), numbered from the top, into dst
// (pitch pixels from one row to the next); stored bottom row first unless
// top-down.
void decode_plain(const std::uint8_t* data, const bitmap_info& info, pixel_layout layout, std::uint32_t first,
                  std::uint32_t count, std::uint16_t* dst_top, std::size_t pitch) {
  const std::uint64_t stride = plain_stride(info);
  const std::uint32_t w = info.out_width;
  for (std::uint32_t out_row = first; out_row < first + count; ++out_row) {
    const std::uint32_t row = info.top_down ? out_row : info.height - 1 - out_row;
    const std::uint8_t* src = data + info.pixel_offset + stride * row;
    std::uint16_t* dst = dst_top + static_cast<std::size_t>(out_row - first) * pitch;
    switch (info.bit_count) {
      case 1:
        for (std::uint32_t x = 0; x < w; ++x)
          dst[x] = info.palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
        break;
      case 4:
        for (std::uint32_t x = 0; x < w; ++x)
          dst[x] = info.palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
        break;
      case 8:
        for (std::uint32_t x = 0; x < w; ++x)
          dst[x] = info.palette[src[x]];
        break;
      case 16:
        for (std::uint32_t x = 0; x < w; ++x)
          dst[x] = convert_masked(read_u16(src + 2 * x), info, layout);
        break;
      case 24:
        for (std::uint32_t x = 0; x < w; ++x)
          dst[x] = pack_pixel(src[3 * x + 2], src[3 * x + 1], src[3 * x], layout);
        break;
      default:  // 32
        for (std::uint32_t x = 0; x < w; ++x)
          dst[x] = convert_masked(read_u32(src + 4 * x), info, layout);
        break;
    }
  }
}

// Where an RLE stream stands: x from the left, y counted from the bottom row.
struct rle_cursor {
  std::uint64_t x = 0;
  std::uint64_t y = 0;
};

// How many of the `count` pixels of a run starting at the cursor land on the picture.
std::uint32_t visible_count(const rle_cursor& at, std::uint32_t count, const bitmap_info& info) {
  if (at.y >= info.height || at.x >= info.out_width)
    return 0;
  const std::uint64_t room = info.out_width - at.x;
  return static_cast<std::uint32_t>(count < room ? count : room);
}

// Where a run-length stream stands between two calls.
struct rle_state {
  rle_cursor at;
  std::size_t i = 0;  // bytes of the stream read
  bool done = false;
};

// RLE8 and RLE4, run until the cursor reaches row stop_y (counted from the
// bottom) or the picture is complete, into pixels (the top row; pitch
// pixels from one row to the next). Pixels the stream never reaches are
// left as they are (index 0, set by the caller). Runs that go past the right
// edge or the top are clipped, each pixel position is visited at most once,
// and the work is bounded by the stream length plus the picture size,
// whatever the stream claims.
bool run_rle(const std::uint8_t* data, std::size_t size, const bitmap_info& info, std::uint16_t* pixels,
             std::size_t pitch, std::uint64_t stop_y, rle_state* st, const char** why) {
  const bool four = info.compression == bi_rle4;
  const std::uint8_t* s = data + info.pixel_offset;
  const std::size_t n = size - info.pixel_offset;
  auto row_of = [&](const rle_cursor& at) {
    return pixels + static_cast<std::size_t>(info.height - 1 - at.y) * pitch + at.x;
  };

  rle_cursor& at = st->at;
  std::size_t& i = st->i;
  while (at.y < stop_y) {
    if (at.y >= info.height) {
      st->done = true;
      break;
    }
    if (n - i < 2) {
      // Writers may leave out the final line end and end marker; the data
      // is whole once the top row has been filled.
      if (at.y + 1 == info.height && at.x >= info.width) {
        st->done = true;
        break;
      }
      return fail(why, "RLE data ends before the picture is complete");
    }
    const std::uint32_t count = s[i];
    const std::uint32_t value = s[i + 1];
    i += 2;
    if (count > 0) {
      const std::uint32_t visible = visible_count(at, count, info);
      std::uint16_t* dst = visible > 0 ? row_of(at) : nullptr;
      for (std::uint32_t k = 0; k < visible; ++k) {
        const std::uint32_t index = four ? ((k & 1) ? (value & 15) : (value >> 4)) : value;
        dst[k] = info.palette[index];
      }
      at.x += count;
      continue;
    }
    if (value == 0) {  // end of line
      at.x = 0;
      ++at.y;
    } else if (value == 1) {  // end of bitmap
      st->done = true;
      break;
    } else if (value == 2) {  // delta: move right and up
      if (n - i < 2)
        return fail(why, "RLE data ends inside a delta");
      at.x += s[i];
      at.y += s[i + 1];
      i += 2;
    } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
      const std::size_t bytes = four ? (value + 1) / 2 : value;
      if (n - i < bytes)
        return fail(why, "RLE data ends inside an absolute run");
      const std::uint32_t visible = visible_count(at, value, info);
      std::uint16_t* dst = visible > 0 ? row_of(at) : nullptr;
      for (std::uint32_t k = 0; k < visible; ++k) {
        const std::uint32_t index = four ? ((k & 1) ? (s[i + k / 2] & 15) : (s[i + k / 2] >> 4)) : s[i + k];
        dst[k] = info.palette[index];
      }
      at.x += value;
      // The padding byte carries nothing; a stream that stops just before it
      // has lost no pixel.
      i += bytes + (bytes & 1);
      if (i > n)
        i = n;
    }
  }
  if (at.y >= info.height)
    st->done = true;
  return true;
}

bool decode_rle(const std::uint8_t* data, std::size_t size, const bitmap_info& info, std::uint16_t* pixels,
                const char** why) {
  rle_state st;
  return run_rle(data, size, info, pixels, info.out_width, info.height, &st, why);
}

bool is_rle(const bitmap_info& info) {
  return info.compression == bi_rle8 || info.compression == bi_rle4;
}

void fill_rows(std::uint16_t* top, std::size_t pitch, std::uint32_t first, std::uint32_t count, std::uint32_t width,
               std::uint16_t value) {
  for (std::uint32_t row = first; row < first + count; ++row)
    std::fill_n(top + static_cast<std::size_t>(row) * pitch, width, value);
}

}  // namespace

bool decode_bmp(const std::uint8_t* data, std::size_t size, pixel_layout layout, decoded_picture* out,
                const char** why) {
  if (out == nullptr || (data == nullptr && size > 0))
    return fail(why, "no bitmap data");
  if (data == nullptr)
    return fail(why, "file too short for a bitmap header");
  bitmap_info info;
  if (!read_headers(data, size, layout, &info, why))
    return false;

  std::vector<std::uint16_t> pixels;
  if (is_rle(info)) {
    pixels.assign(static_cast<std::size_t>(info.out_width) * info.height, info.palette[0]);
    if (!decode_rle(data, size, info, pixels.data(), why))
      return false;
  } else {
    if (!plain_data_present(size, info, why))
      return false;
    pixels.resize(static_cast<std::size_t>(info.out_width) * info.height);
    decode_plain(data, info, layout, 0, info.height, pixels.data(), info.out_width);
  }
  out->width = info.out_width;
  out->height = info.height;
  out->pixels.swap(pixels);
  return true;
}

bool bmp_shape_of(const std::uint8_t* data, std::size_t size, pixel_layout layout, bmp_shape* out, const char** why) {
  if (out == nullptr || data == nullptr)
    return fail(why, "no bitmap data");
  bitmap_info info;
  if (!read_headers(data, size, layout, &info, why))
    return false;
  if (!is_rle(info) && !plain_data_present(size, info, why))
    return false;
  *out = {info.out_width, info.height};
  return true;
}

bool decode_bmp_band(const std::uint8_t* data, std::size_t size, pixel_layout layout, std::uint32_t rows,
                     std::uint16_t* dst, std::size_t pitch, bmp_band_cursor* cursor, const char** why) {
  if (dst == nullptr || data == nullptr || cursor == nullptr)
    return fail(why, "no bitmap data");
  if (cursor->done)
    return true;
  // The headers again each time: they are a few hundred bytes, and the
  // cursor then need not hold the palette.
  bitmap_info info;
  if (!read_headers(data, size, layout, &info, why))
    return false;
  if (pitch < info.out_width)
    return fail(why, "rows narrower than the picture");
  rows = std::max<std::uint32_t>(rows, 1);
  if (!is_rle(info)) {
    if (!plain_data_present(size, info, why))
      return false;
    const std::uint32_t count = std::min(rows, info.height - cursor->rows_done);
    decode_plain(data, info, layout, cursor->rows_done, count, dst + cursor->rows_done * pitch, pitch);
    cursor->rows_done += count;
    cursor->done = cursor->rows_done == info.height;
    return true;
  }
  // The stream fills rows from the bottom up; each row is first given index
  // 0, which the stream may leave where it is, just before the stream can
  // reach it. Once the stream has ended, what is left is filled a band at a
  // time.
  rle_state st;
  st.at = {cursor->x, cursor->y};
  st.i = cursor->at;
  st.done = cursor->stream_done;
  const std::uint64_t stop = st.done ? cursor->rows_done + rows : std::min<std::uint64_t>(st.at.y + rows, info.height);
  const auto fill_to = static_cast<std::uint32_t>(std::min<std::uint64_t>(stop, info.height));
  if (fill_to > cursor->rows_done) {
    // Rows counted from the bottom: y lies height - 1 - y from the top.
    fill_rows(dst, pitch, info.height - fill_to, fill_to - cursor->rows_done, info.out_width, info.palette[0]);
    cursor->rows_done = fill_to;
  }
  if (!st.done && !run_rle(data, size, info, dst, pitch, stop, &st, why))
    return false;
  cursor->x = st.at.x;
  cursor->y = st.at.y;
  cursor->at = st.i;
  cursor->stream_done = st.done;
  cursor->done = st.done && cursor->rows_done == info.height;
  return true;
}

bool read_picture_file(const char* path, std::vector<std::uint8_t>* bytes, const char** why) {
  if (path == nullptr || bytes == nullptr)
    return fail(why, "no file name");
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr)
    return fail(why, "cannot open the file");
  bytes->clear();
  std::array<std::uint8_t, 65536> chunk;
  bool too_large = false;
  bool read_error = false;
  // A file whose length is known is judged before any of it is read; the
  // cap in the loop still holds for one that grows while being read.
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long length = std::ftell(f);
    if (length > 0 && static_cast<std::uint64_t>(length) > max_file_size)
      too_large = true;
    else if (length > 0)
      bytes->reserve(static_cast<std::size_t>(length));
    std::rewind(f);
  }
  while (!too_large) {
    const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), f);
    if (got > 0) {
      if (bytes->size() + got > max_file_size) {
        too_large = true;
        break;
      }
      bytes->insert(bytes->end(), chunk.data(), chunk.data() + got);
    }
    if (got < chunk.size()) {
      read_error = std::ferror(f) != 0;
      break;
    }
  }
  std::fclose(f);
  if (too_large)
    return fail(why, "file is too large to be a picture");
  if (read_error)
    return fail(why, "cannot read the file");
  return true;
}

bool decode_bmp_file(const char* path, pixel_layout layout, decoded_picture* out, const char** why) {
  std::vector<std::uint8_t> bytes;
  return read_picture_file(path, &bytes, why) && decode_bmp(bytes.data(), bytes.size(), layout, out, why);
}

}  // namespace shindan
