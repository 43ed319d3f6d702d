#include "support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/shell.h"
#include "platform/headless/headless.h"

namespace shindan::test {

void open_display(bool five_five_five) {
  headless::reset();
  headless::use_555(five_five_five);
  display = display_record{};
  for (image_slot& slot : images) {
    slot = image_slot{};
  }
  pixel_format = pixel_format_record{};
  main_window = plat_create_window();
  ASSERT_NE(main_window, nullptr);
  ASSERT_TRUE(init_display(main_window));
  read_pixel_format();
}

void close_everything() {
  close_display(main_window);
  if (main_window != nullptr) {
    plat_destroy_window(main_window);
  }
  main_window = nullptr;
}

namespace {

// Kept in plain storage: the removal at exit runs after static strings are gone.
char made_dir[4096] = {};

void remove_temp_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(made_dir, ignored);
}

std::string make_temp_dir() {
  const std::string pattern = (std::filesystem::temp_directory_path() / "gfx-test-XXXXXX").string();
  if (pattern.size() >= sizeof(made_dir)) {
    std::abort();
  }
  std::memcpy(made_dir, pattern.c_str(), pattern.size() + 1);
  if (mkdtemp(made_dir) == nullptr) {
    std::abort();
  }
  std::atexit(remove_temp_dir);
  return made_dir;
}

void put16(std::vector<std::uint8_t>* out, std::uint32_t value) {
  out->push_back(static_cast<std::uint8_t>(value));
  out->push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>* out, std::uint32_t value) {
  put16(out, value & 0xFFFFu);
  put16(out, value >> 16);
}

}  // namespace

const std::string& temp_dir() {
  static const std::string dir = make_temp_dir();
  return dir;
}

std::string write_bmp(const std::string& name, int width, int height, const colour_at& colour, bool top_down) {
  const std::uint32_t row_bytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t image_bytes = row_bytes * static_cast<std::uint32_t>(height);
  std::vector<std::uint8_t> file;
  file.push_back('B');
  file.push_back('M');
  put32(&file, 54 + image_bytes);
  put32(&file, 0);
  put32(&file, 54);
  put32(&file, 40);
  put32(&file, static_cast<std::uint32_t>(width));
  put32(&file, static_cast<std::uint32_t>(top_down ? -height : height));
  put16(&file, 1);
  put16(&file, 24);
  put32(&file, 0);
  put32(&file, image_bytes);
  put32(&file, 2835);
  put32(&file, 2835);
  put32(&file, 0);
  put32(&file, 0);
  for (int stored = 0; stored < height; ++stored) {
    const int y = top_down ? stored : height - 1 - stored;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t rgb = colour(x, y);
      file.push_back(static_cast<std::uint8_t>(rgb));
      file.push_back(static_cast<std::uint8_t>(rgb >> 8));
      file.push_back(static_cast<std::uint8_t>(rgb >> 16));
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3; pad < row_bytes; ++pad) {
      file.push_back(0);
    }
  }
  const std::string path = temp_dir() + "/" + name;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    ADD_FAILURE() << "cannot write " << path;
    return path;
  }
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
  return path;
}

void load_plain_picture(image_slot* slot, const std::string& name, int width, int height, std::uint32_t rgb) {
  const std::string path = write_bmp(name, width, height, [rgb](int, int) { return rgb; });
  ASSERT_TRUE(load_image(slot, path.c_str())) << path;
}

namespace {

std::uint16_t* pixel_address(const plat_locked& locked, int x, int y) {
  return static_cast<std::uint16_t*>(locked.pixels) + static_cast<std::ptrdiff_t>(y) * (locked.pitch / 2) + x;
}

}  // namespace

std::uint16_t peek(plat_surface* surface, int x, int y) {
  plat_locked locked;
  if (plat_failed_result(plat_lock(surface, true, &locked))) {
    ADD_FAILURE() << "surface cannot be locked";
    return 0;
  }
  const std::uint16_t value = *pixel_address(locked, x, y);
  plat_unlock(surface);
  return value;
}

void poke(plat_surface* surface, int x, int y, std::uint16_t value) {
  plat_locked locked;
  if (plat_failed_result(plat_lock(surface, true, &locked))) {
    ADD_FAILURE() << "surface cannot be locked";
    return;
  }
  *pixel_address(locked, x, y) = value;
  plat_unlock(surface);
}

void paint(plat_surface* surface, const std::function<std::uint16_t(int x, int y)>& value) {
  plat_locked locked;
  if (plat_failed_result(plat_lock(surface, true, &locked))) {
    ADD_FAILURE() << "surface cannot be locked";
    return;
  }
  for (std::uint32_t y = 0; y < locked.height; ++y) {
    for (std::uint32_t x = 0; x < locked.width; ++x) {
      *pixel_address(locked, static_cast<int>(x), static_cast<int>(y)) =
          value(static_cast<int>(x), static_cast<int>(y));
    }
  }
  plat_unlock(surface);
}

}  // namespace shindan::test
