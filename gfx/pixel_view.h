// A locked surface seen as rows of 16-bit pixels, for the effects that
// compute the back buffer's pixels themselves.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/platform.h"

namespace shindan {

// A locked surface seen as rows of 16-bit pixels.
struct pixel_view {
  std::uint16_t* pixels = nullptr;
  std::int64_t stride = 0;  // pixels per row
  std::int64_t width = 0;   // pixels of a row that may be touched
  std::int64_t height = 0;
};

inline pixel_view view_of(const plat_pixels& locked) {
  pixel_view view;
  if (locked.pixels == nullptr || locked.pitch <= 0) {
    return view;
  }
  view.pixels = static_cast<std::uint16_t*>(locked.pixels);
  view.stride = locked.pitch / 2;
  view.width = std::min<std::int64_t>(locked.width, view.stride);
  view.height = locked.height;
  return view;
}

}  // namespace shindan
