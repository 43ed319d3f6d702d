// Plain, pixel-at-a-time statements of the arithmetic the drawing code must
// reproduce exactly, and the set-up the fast-path tests share: a display in
// either layout and picture surfaces filled straight from memory.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "app/shell.h"
#include "gfx/gfx.h"
#include "platform/common/surface.h"
#include "platform/headless/headless.h"
#include "tests/support/display.h"

namespace shindan::fastpath {

using namespace testing_files;

inline std::uint32_t reference_rand(std::uint32_t* state) {
  *state = *state * 214013u + 2531011u;
  return (*state >> 16) & 0x7FFFu;
}

inline std::uint16_t reference_noise_pixel(const pixel_format_record& f, std::uint32_t* state) {
  const int v = static_cast<int>(reference_rand(state)) % (f.blue_mask + 1);
  const auto red = static_cast<std::uint16_t>(v * f.red_per_blue);
  const auto green = static_cast<std::uint16_t>(v * f.green_per_blue);
  const auto blue = static_cast<std::uint16_t>(v);
  return static_cast<std::uint16_t>((red << f.red_shift) | (green << f.green_shift) | (blue << f.blue_shift));
}

inline std::uint16_t reference_translucent(const pixel_format_record& f, float transparency, std::uint16_t d,
                                           std::uint16_t s) {
  float t = transparency;
  if (t > 1.0f)
    t = 1.0f;
  else if (t < 0.0f)
    t = 0.0f;
  const float u = 1.0f - t;
  auto channel = [&](std::uint16_t mask, std::uint16_t shift) {
    const std::uint32_t dc = (d & mask) >> shift;
    const std::uint32_t sc = (s & mask) >> shift;
    const double out =
        static_cast<double>(dc) * static_cast<double>(t) + static_cast<double>(sc) * static_cast<double>(u);
    return static_cast<std::uint32_t>(std::trunc(out)) << shift;
  };
  return static_cast<std::uint16_t>(channel(f.red_mask, f.red_shift) | channel(f.green_mask, f.green_shift) |
                                    channel(f.blue_mask, f.blue_shift));
}

inline std::uint16_t reference_additive(const pixel_format_record& f, std::uint16_t d, std::uint16_t s) {
  auto channel = [&](std::uint16_t mask) {
    const std::uint32_t v = static_cast<std::uint32_t>(d & mask) + static_cast<std::uint32_t>(s & mask);
    return v > mask ? static_cast<std::uint32_t>(mask) : v;
  };
  return static_cast<std::uint16_t>(channel(f.red_mask) | channel(f.green_mask) | channel(f.blue_mask));
}

inline pixel_layout display_layout() {
  return pixel_format.green_mask == 0x07E0 ? pixel_layout::rgb565 : pixel_layout::rgb555;
}

// Random pixels of which about one in `key_share` is the key value; the
// pictures of the game hold long black runs as well as scattered ones.
inline std::vector<std::uint16_t> random_pixels(std::mt19937* rng, std::size_t count, std::uint16_t key,
                                                int key_share) {
  std::vector<std::uint16_t> out(count);
  std::uniform_int_distribution<int> any(0, 0xFFFF);
  std::uniform_int_distribution<int> share(0, key_share - 1);
  std::uniform_int_distribution<int> run(0, 40);
  for (std::size_t i = 0; i < count; ++i) {
    if (share(*rng) == 0) {
      for (int n = run(*rng); n >= 0 && i < count; --n, ++i)
        out[i] = key;
      if (i == count)
        break;
    }
    out[i] = static_cast<std::uint16_t>(any(*rng));
  }
  return out;
}

// A picture slot holding a surface of the display's layout with the given
// pixels and black as its key, as a loaded picture has.
inline void make_picture(image_slot* slot, std::uint32_t width, std::uint32_t height,
                         const std::vector<std::uint16_t>& pixels) {
  slot->surface = create_surface(display_layout(), width, height);
  set_pixels(slot->surface, pixels);
  plat_set_colour_key(slot->surface, 0);
  slot->width = width;
  slot->height = height;
  slot->pitch = slot->surface->pitch;
}

}  // namespace shindan::fastpath
