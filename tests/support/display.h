// A fresh in-memory display for the drawing tests, and surface pixels read
// and written directly.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "app/shell.h"
#include "gfx/gfx.h"
#include "platform/common/surface.h"
#include "platform/headless/headless.h"

namespace shindan::testing_files {

// Forgets everything the platform and the graphics globals held, opens a
// window and a display in the given layout and reads its pixel format.
inline bool open_display(bool five_five_five = false) {
  headless::reset();
  headless::use_555(five_five_five);
  display = display_record{};
  for (image_slot& slot : images)
    slot = image_slot{};
  pixel_format = pixel_format_record{};
  if (!plat_open_window() || !init_display())
    return false;
  read_pixel_format();
  return true;
}

inline void close_display_and_window() {
  close_display();
  plat_close_window();
}

// Pixels of a surface as one row-major array without the row padding.
inline std::vector<std::uint16_t> pixels_of(plat_surface* s) {
  std::vector<std::uint16_t> out;
  for (std::uint32_t y = 0; y < s->height; ++y) {
    const std::uint16_t* row = surface_row(s, y);
    out.insert(out.end(), row, row + s->width);
  }
  return out;
}

inline void paint(plat_surface* s, const std::function<std::uint16_t(int x, int y)>& value) {
  for (std::uint32_t y = 0; y < s->height; ++y) {
    for (std::uint32_t x = 0; x < s->width; ++x)
      surface_row(s, y)[x] = value(static_cast<int>(x), static_cast<int>(y));
  }
}

inline void set_pixels(plat_surface* s, const std::vector<std::uint16_t>& pixels) {
  paint(s, [&](int x, int y) { return pixels[static_cast<std::size_t>(y) * s->width + static_cast<std::size_t>(x)]; });
}

inline std::uint16_t peek(plat_surface* s, int x, int y) {
  return surface_row(s, static_cast<std::uint32_t>(y))[x];
}
inline void poke(plat_surface* s, int x, int y, std::uint16_t value) {
  surface_row(s, static_cast<std::uint32_t>(y))[x] = value;
}

// One pixel of a 640-wide snapshot of the screen or back buffer.
inline std::uint16_t at(const std::vector<std::uint16_t>& pixels, int x, int y) {
  return pixels[static_cast<std::size_t>(y) * screen_width + static_cast<std::size_t>(x)];
}

}  // namespace shindan::testing_files
