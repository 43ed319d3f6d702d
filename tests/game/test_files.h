// Files the game tests write for themselves: a scratch directory to work in,
// 24-bit bitmaps and short PCM sounds.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace shindan::testing_files {

// A fresh directory that becomes the working directory for the test's
// lifetime; removed with everything in it afterwards.
struct scratch_dir {
  std::filesystem::path path;
  std::filesystem::path previous;
};

inline void enter_scratch_dir(scratch_dir* dir) {
  std::string pattern = (std::filesystem::temp_directory_path() / "shindan-game-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const char* made = mkdtemp(buffer.data());
  dir->path = made != nullptr ? made : "";
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

// The 5-6-5 pixel a colour becomes. Test colours keep their low bits zero
// (red and blue multiples of 8, green of 4), so no rounding question arises.
inline std::uint16_t pixel565(rgb c) {
  return static_cast<std::uint16_t>(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3));
}

inline void put_u16(std::vector<std::uint8_t>* out, std::uint32_t v) {
  out->push_back(static_cast<std::uint8_t>(v));
  out->push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put_u32(std::vector<std::uint8_t>* out, std::uint32_t v) {
  put_u16(out, v & 0xFFFF);
  put_u16(out, v >> 16);
}

inline bool write_bytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  std::FILE* file = std::fopen(name.c_str(), "wb");
  if (file == nullptr)
    return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

// A bottom-up 24-bit bitmap; colour(x, y) gives each pixel, y counted from
// the top as the game reads pictures.
inline bool write_bmp(const std::string& name, std::uint32_t width, std::uint32_t height,
                      const std::function<rgb(std::uint32_t, std::uint32_t)>& colour) {
  const std::uint32_t row_bytes = (width * 3 + 3) & ~3u;
  const std::uint32_t image_bytes = row_bytes * height;
  std::vector<std::uint8_t> out;
  out.reserve(54 + image_bytes);
  out.push_back('B');
  out.push_back('M');
  put_u32(&out, 54 + image_bytes);
  put_u32(&out, 0);
  put_u32(&out, 54);
  put_u32(&out, 40);
  put_u32(&out, width);
  put_u32(&out, height);
  put_u16(&out, 1);
  put_u16(&out, 24);
  put_u32(&out, 0);
  put_u32(&out, image_bytes);
  put_u32(&out, 2835);
  put_u32(&out, 2835);
  put_u32(&out, 0);
  put_u32(&out, 0);
  for (std::uint32_t row = 0; row < height; ++row) {
    const std::uint32_t y = height - 1 - row;
    std::uint32_t x = 0;
    for (; x < width; ++x) {
      const rgb c = colour(x, y);
      out.push_back(c.b);
      out.push_back(c.g);
      out.push_back(c.r);
    }
    for (x *= 3; x < row_bytes; ++x)
      out.push_back(0);
  }
  return write_bytes(name, out);
}

// The same for pictures made of horizontal bands: one colour per row, which
// is much quicker to write for the big pictures.
inline bool write_banded_bmp(const std::string& name, std::uint32_t width, std::uint32_t height,
                             const std::function<rgb(std::uint32_t)>& row_colour) {
  const std::uint32_t row_bytes = (width * 3 + 3) & ~3u;
  std::vector<std::uint8_t> out;
  out.reserve(54 + row_bytes * height);
  out.push_back('B');
  out.push_back('M');
  put_u32(&out, 54 + row_bytes * height);
  put_u32(&out, 0);
  put_u32(&out, 54);
  put_u32(&out, 40);
  put_u32(&out, width);
  put_u32(&out, height);
  put_u16(&out, 1);
  put_u16(&out, 24);
  put_u32(&out, 0);
  put_u32(&out, row_bytes * height);
  put_u32(&out, 2835);
  put_u32(&out, 2835);
  put_u32(&out, 0);
  put_u32(&out, 0);
  std::vector<std::uint8_t> row(row_bytes, 0);
  for (std::uint32_t r = 0; r < height; ++r) {
    const rgb c = row_colour(height - 1 - r);
    for (std::uint32_t x = 0; x < width; ++x) {
      row[3 * x] = c.b;
      row[3 * x + 1] = c.g;
      row[3 * x + 2] = c.r;
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return write_bytes(name, out);
}

inline bool write_solid_bmp(const std::string& name, std::uint32_t width, std::uint32_t height, rgb c) {
  return write_bmp(name, width, height, [c](std::uint32_t, std::uint32_t) { return c; });
}

// A short 8-bit mono PCM sound of the given number of samples.
inline bool write_wav(const std::string& name, std::uint32_t samples) {
  std::vector<std::uint8_t> out;
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  put_u32(&out, 4 + 8 + 16 + 8 + samples + (samples & 1));
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put_u32(&out, 16);
  put_u16(&out, 1);
  put_u16(&out, 1);
  put_u32(&out, 11025);
  put_u32(&out, 11025);
  put_u16(&out, 1);
  put_u16(&out, 8);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  put_u32(&out, samples);
  for (std::uint32_t i = 0; i < samples; ++i)
    out.push_back(static_cast<std::uint8_t>(128 + (i % 16) * 4));
  if (samples & 1)
    out.push_back(0);
  return write_bytes(name, out);
}

inline std::vector<std::uint8_t> read_file(const std::string& name) {
  std::vector<std::uint8_t> bytes;
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr)
    return bytes;
  int c;
  while ((c = std::fgetc(file)) != EOF)
    bytes.push_back(static_cast<std::uint8_t>(c));
  std::fclose(file);
  return bytes;
}

}  // namespace shindan::testing_files
