// Files the tests write for themselves: a private temporary folder, a working
// folder a test can step into, and bitmaps and RIFF/WAVE files built byte by
// byte so each test states exactly what its file holds.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace shindan::testing_files {

using bytes = std::vector<std::uint8_t>;

inline void put_u16(bytes* out, std::uint32_t v) {
  out->push_back(static_cast<std::uint8_t>(v));
  out->push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put_u32(bytes* out, std::uint32_t v) {
  put_u16(out, v & 0xFFFFu);
  put_u16(out, v >> 16);
}
inline void put_text(bytes* out, const char* four) {
  // One byte at a time: GCC 12's optimiser misreads a ranged insert into a
  // fresh vector as an overflow.
  for (int i = 0; i < 4; ++i)
    out->push_back(static_cast<std::uint8_t>(four[i]));
}
inline std::uint32_t le16(const bytes& b, std::size_t at) {
  return b[at] | (static_cast<std::uint32_t>(b[at + 1]) << 8);
}
inline std::uint32_t le32(const bytes& b, std::size_t at) {
  return le16(b, at) | (le16(b, at + 2) << 16);
}
inline std::uint32_t be(const bytes& b, std::size_t at, int count) {
  std::uint32_t v = 0;
  for (int i = 0; i < count; ++i)
    v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

inline bool write_bytes(const std::string& path, const bytes& contents) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr)
    return false;
  const bool ok = contents.empty() || std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
  return std::fclose(file) == 0 && ok;
}
inline bytes read_file(const std::string& path) {
  bytes out;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    std::uint8_t block[65536];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
      out.insert(out.end(), block, block + got);
    std::fclose(file);
  }
  return out;
}

// This test program's own temporary folder, removed when the program ends.
// Its name is kept in plain storage: the removal at exit runs after static
// strings are gone.
inline const char* temp_dir() {
  static char made[4096] = {};
  if (made[0] == '\0') {
    const std::string pattern = (std::filesystem::temp_directory_path() / "shindan-test-XXXXXX").string();
    if (pattern.size() >= sizeof made)
      std::abort();
    std::memcpy(made, pattern.c_str(), pattern.size() + 1);
    if (mkdtemp(made) == nullptr)
      std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(made, ignored);
    });
  }
  return made;
}
inline std::string temp_path(const std::string& name) {
  return std::string(temp_dir()) + "/" + name;
}
// Writes the bytes into the temporary folder and answers the full path.
inline std::string write_temp(const std::string& name, const bytes& contents) {
  const std::string path = temp_path(name);
  if (!write_bytes(path, contents))
    std::abort();
  return path;
}
inline std::string write_temp_text(const std::string& name, const std::string& text) {
  return write_temp(name, bytes(text.begin(), text.end()));
}

// A fresh folder that is the working directory while a test runs; removed
// with everything in it afterwards.
struct scratch_dir {
  std::filesystem::path path;
  std::filesystem::path previous;
};
inline void enter_scratch_dir(scratch_dir* dir) {
  std::string pattern = (std::filesystem::temp_directory_path() / "shindan-run-XXXXXX").string();
  dir->path = mkdtemp(pattern.data()) != nullptr ? pattern : "";
  dir->previous = std::filesystem::current_path();
  if (!dir->path.empty())
    std::filesystem::current_path(dir->path);
}
inline void leave_scratch_dir(scratch_dir* dir) {
  std::filesystem::current_path(dir->previous);
  std::error_code ignored;
  if (!dir->path.empty())
    std::filesystem::remove_all(dir->path, ignored);
}

struct rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};
inline rgb to_rgb(rgb c) {
  return c;
}
inline rgb to_rgb(std::uint32_t v) {  // 0xRRGGBB
  return {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}
// The 5-6-5 pixel a colour becomes. Test colours keep their low bits zero
// (red and blue multiples of 8, green of 4), so no rounding question arises.
inline std::uint16_t pixel565(rgb c) {
  return static_cast<std::uint16_t>(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3));
}

// A 24-bit bitmap with the plain 40-byte header; fill(y, row) colours row y
// (counted from the top, as the game reads pictures).
inline bool write_bmp_rows(const std::string& path, std::uint32_t width, std::uint32_t height, bool top_down,
                           const std::function<void(std::uint32_t y, rgb* row)>& fill) {
  const std::uint32_t row_bytes = (width * 3 + 3) & ~3u;
  bytes out = {'B', 'M'};
  out.reserve(54 + static_cast<std::size_t>(row_bytes) * height);
  for (std::uint32_t field : {54 + row_bytes * height, 0u, 54u, 40u, width, top_down ? 0u - height : height})
    put_u32(&out, field);
  put_u16(&out, 1);
  put_u16(&out, 24);
  for (std::uint32_t field : {0u, row_bytes * height, 2835u, 2835u, 0u, 0u})
    put_u32(&out, field);
  std::vector<rgb> row(width);
  for (std::uint32_t stored = 0; stored < height; ++stored) {
    fill(top_down ? stored : height - 1 - stored, row.data());
    for (const rgb& c : row)
      out.insert(out.end(), {c.b, c.g, c.r});
    out.resize(out.size() + row_bytes - width * 3, 0);
  }
  return write_bytes(path, out);
}
// colour(x, y) answers an rgb or a 0xRRGGBB value.
template <typename Colour>
bool write_bmp(const std::string& path, std::uint32_t width, std::uint32_t height, Colour colour,
               bool top_down = false) {
  return write_bmp_rows(path, width, height, top_down, [&](std::uint32_t y, rgb* row) {
    for (std::uint32_t x = 0; x < width; ++x)
      row[x] = to_rgb(colour(x, y));
  });
}
// One colour per row: much quicker to write for the big pictures.
inline bool write_banded_bmp(const std::string& path, std::uint32_t width, std::uint32_t height,
                             const std::function<rgb(std::uint32_t y)>& row_colour) {
  return write_bmp_rows(path, width, height, false,
                        [&](std::uint32_t y, rgb* row) { std::fill(row, row + width, row_colour(y)); });
}
inline bool write_solid_bmp(const std::string& path, std::uint32_t width, std::uint32_t height, rgb c) {
  return write_banded_bmp(path, width, height, [c](std::uint32_t) { return c; });
}

// RIFF pieces: a chunk with its identifier, a size field (the body's size
// unless claimed otherwise) and the body, padded to an even length.
inline bytes chunk_claiming(const char* id, std::uint32_t claimed_size, const bytes& body) {
  bytes out;
  put_text(&out, id);
  put_u32(&out, claimed_size);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2 == 1)
    out.push_back(0);
  return out;
}
inline bytes chunk(const char* id, const bytes& body) {
  return chunk_claiming(id, static_cast<std::uint32_t>(body.size()), body);
}
// The 16 bytes of a PCM format record.
inline bytes format_body(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  const std::uint32_t align = channels * bits / 8u;
  bytes out;
  put_u16(&out, tag);
  put_u16(&out, channels);
  put_u32(&out, rate);
  put_u32(&out, rate * align);
  put_u16(&out, align);
  put_u16(&out, bits);
  return out;
}
inline bytes riff(const char* form, const std::vector<bytes>& chunks) {
  bytes body;
  put_text(&body, form);
  for (const bytes& c : chunks)
    body.insert(body.end(), c.begin(), c.end());
  bytes out;
  put_text(&out, "RIFF");
  put_u32(&out, static_cast<std::uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}
inline bytes wave(const std::vector<bytes>& chunks) {
  return riff("WAVE", chunks);
}
// A short 8-bit mono PCM sound of the given number of samples.
inline bool write_wav(const std::string& path, std::uint32_t samples) {
  bytes data;
  for (std::uint32_t i = 0; i < samples; ++i)
    data.push_back(static_cast<std::uint8_t>(128 + (i % 16) * 4));
  return write_bytes(path, wave({chunk("fmt ", format_body(1, 1, 11025, 8)), chunk("data", data)}));
}

}  // namespace shindan::testing_files
