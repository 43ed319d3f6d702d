// Effects computed pixel by pixel on the locked back buffer: translucent and
// additive drawing of pictures, and grey static. Pixels are split into
// channels with the masks read from the back buffer, so 5-6-5 and 5-5-5
// displays give the same picture.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "app/shell.h"
#include "gfx/gfx.h"

namespace shindan {

pixel_format_record pixel_format;

namespace {

// Trailing zero bits of a channel mask; a missing channel counts as unshifted.
std::uint16_t mask_shift(std::uint16_t mask) {
  return mask == 0 ? 0 : static_cast<std::uint16_t>(std::countr_zero(mask));
}

// A locked surface seen as rows of 16-bit pixels.
struct pixel_view {
  std::uint16_t* pixels = nullptr;
  std::int64_t stride = 0;  // pixels per row
  std::int64_t width = 0;   // pixels of a row that may be touched
  std::int64_t height = 0;
};

pixel_view view_of(const plat_locked& locked) {
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

// One picture blend: the region of the picture that reaches the screen, and
// both surfaces locked for the duration of the loop.
struct blend_area {
  pixel_view target;
  pixel_view source;
  std::int64_t x = 0, y = 0;       // first target pixel
  std::int64_t left = 0, top = 0;  // first source pixel
  std::int64_t columns = 0, rows = 0;
};

// Clips, checks the slot and locks the back buffer and then the picture.
// On true both are locked and must be released by end_blend.
bool begin_blend(std::int32_t x, std::int32_t y, image_slot* slot, std::int32_t left, std::int32_t top,
                 std::int32_t right, std::int32_t bottom, blend_area* area) {
  plat_rect clipped;
  if (!clip_to_screen(&x, &y, &clipped, left, top, right, bottom)) {
    return false;
  }
  if (slot == nullptr || slot->surface == nullptr || display.back_buffer == nullptr) {
    return false;
  }
  plat_locked target;
  if (plat_failed_result(plat_lock(display.back_buffer, true, &target))) {
    return false;
  }
  plat_locked source;
  if (plat_failed_result(plat_lock(slot->surface, true, &source))) {
    plat_unlock(display.back_buffer);
    return false;
  }
  area->target = view_of(target);
  area->source = view_of(source);

  // The picture's memory is read directly, so the region is also kept inside
  // the picture (and the target inside the back buffer). Moving the region's
  // start moves the target point with it, so rows and columns stay aligned.
  std::int64_t dx = x, dy = y;
  std::int64_t l = clipped.left, t = clipped.top, r = clipped.right, b = clipped.bottom;
  if (l < 0) {
    dx -= l;
    l = 0;
  }
  if (t < 0) {
    dy -= t;
    t = 0;
  }
  r = std::min(r, area->source.width);
  b = std::min(b, area->source.height);
  std::int64_t columns = std::min(r - l, area->target.width - dx);
  std::int64_t rows = std::min(b - t, area->target.height - dy);
  area->x = dx;
  area->y = dy;
  area->left = l;
  area->top = t;
  area->columns = std::max<std::int64_t>(columns, 0);
  area->rows = std::max<std::int64_t>(rows, 0);
  return true;
}

void end_blend(image_slot* slot) {
  plat_unlock(slot->surface);
  plat_unlock(display.back_buffer);
}

// Runs blend(d, s) over every non-black source pixel of the area.
template <typename Blend>
void blend_pixels(const blend_area& area, Blend blend) {
  if (area.rows == 0 || area.columns == 0) {
    return;
  }
  std::uint16_t* target_row = area.target.pixels + area.y * area.target.stride + area.x;
  const std::uint16_t* source_row = area.source.pixels + area.top * area.source.stride + area.left;
  for (std::int64_t row = 0; row < area.rows; ++row) {
    for (std::int64_t column = 0; column < area.columns; ++column) {
      const std::uint16_t s = source_row[column];
      if (s != 0) {
        target_row[column] = blend(target_row[column], s);
      }
    }
    if (row + 1 < area.rows) {
      target_row += area.target.stride;
      source_row += area.source.stride;
    }
  }
}

}  // namespace

void read_pixel_format() {
  plat_surface_info info;
  if (display.back_buffer != nullptr) {
    plat_surface_describe(display.back_buffer, &info);
  }
  pixel_format.red_mask = static_cast<std::uint16_t>(info.red_mask);
  pixel_format.green_mask = static_cast<std::uint16_t>(info.green_mask);
  pixel_format.blue_mask = static_cast<std::uint16_t>(info.blue_mask);
  pixel_format.pitch = info.pitch;
  pixel_format.red_shift = mask_shift(pixel_format.red_mask);
  pixel_format.green_shift = mask_shift(pixel_format.green_mask);
  pixel_format.blue_shift = mask_shift(pixel_format.blue_mask);

  const unsigned red_levels = pixel_format.red_mask >> pixel_format.red_shift;
  const unsigned green_levels = pixel_format.green_mask >> pixel_format.green_shift;
  const unsigned blue_levels = pixel_format.blue_mask >> pixel_format.blue_shift;
  // Without a blue channel there is no grey ramp to scale against.
  pixel_format.red_per_blue = static_cast<std::uint16_t>(blue_levels == 0 ? 0 : red_levels / blue_levels);
  pixel_format.green_per_blue = static_cast<std::uint16_t>(blue_levels == 0 ? 0 : green_levels / blue_levels);
}

bool draw_image_translucent(std::int32_t x, std::int32_t y, float transparency, image_slot* slot, std::int32_t left,
                            std::int32_t top, std::int32_t right, std::int32_t bottom) {
  float t = transparency;
  if (std::isnan(t)) {
    // An undefined amount shows nothing of the picture rather than garbage.
    t = 1.0f;
  } else if (t > 1.0f) {
    t = 1.0f;
  } else if (t < 0.0f) {
    t = 0.0f;
  }
  const float u = 1.0f - t;

  blend_area area;
  if (!begin_blend(x, y, slot, left, top, right, bottom, &area)) {
    return false;
  }
  const pixel_format_record f = pixel_format;
  const double keep = t;
  const double take = u;
  auto channel = [keep, take](std::uint16_t d, std::uint16_t s, std::uint16_t mask, std::uint16_t shift) {
    const double dc = static_cast<double>((d & mask) >> shift);
    const double sc = static_cast<double>((s & mask) >> shift);
    return static_cast<std::uint32_t>(dc * keep + sc * take) << shift;
  };
  blend_pixels(area, [&](std::uint16_t d, std::uint16_t s) {
    return static_cast<std::uint16_t>(channel(d, s, f.red_mask, f.red_shift) |
                                      channel(d, s, f.green_mask, f.green_shift) |
                                      channel(d, s, f.blue_mask, f.blue_shift));
  });
  end_blend(slot);
  return true;
}

bool draw_image_additive(std::int32_t x, std::int32_t y, image_slot* slot, std::int32_t left, std::int32_t top,
                         std::int32_t right, std::int32_t bottom) {
  blend_area area;
  if (!begin_blend(x, y, slot, left, top, right, bottom, &area)) {
    return false;
  }
  const pixel_format_record f = pixel_format;
  // Fields are added where they stand and each saturates at its own mask,
  // so no channel spills into its neighbour.
  auto channel = [](std::uint16_t d, std::uint16_t s, std::uint16_t mask) {
    const std::uint32_t v = static_cast<std::uint32_t>(d & mask) + static_cast<std::uint32_t>(s & mask);
    return v > mask ? static_cast<std::uint32_t>(mask) : v;
  };
  blend_pixels(area, [&](std::uint16_t d, std::uint16_t s) {
    return static_cast<std::uint16_t>(channel(d, s, f.red_mask) | channel(d, s, f.green_mask) |
                                      channel(d, s, f.blue_mask));
  });
  end_blend(slot);
  return true;
}

bool fill_noise(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
  if (x > screen_width - 1 || y > screen_height - 1 || x < 0 || y < 0) {
    return false;
  }
  std::int64_t columns = width;
  std::int64_t rows = height;
  if (x + columns > screen_width) {
    columns = screen_width - x;
  }
  if (y + rows > screen_height) {
    rows = screen_height - y;
  }
  if (display.back_buffer == nullptr) {
    return false;
  }
  plat_locked locked;
  if (plat_failed_result(plat_lock(display.back_buffer, true, &locked))) {
    return false;
  }
  const pixel_view target = view_of(locked);
  columns = std::min(columns, target.width - x);
  rows = std::min(rows, target.height - y);

  if (columns > 0 && rows > 0) {
    const pixel_format_record f = pixel_format;
    const int levels = f.blue_mask + 1;
    std::uint16_t* row_start = target.pixels + y * target.stride + x;
    for (std::int64_t row = 0; row < rows; ++row) {
      for (std::int64_t column = 0; column < columns; ++column) {
        const int v = shindan::rand() % levels;
        const auto red = static_cast<std::uint16_t>(v * f.red_per_blue);
        const auto green = static_cast<std::uint16_t>(v * f.green_per_blue);
        const auto blue = static_cast<std::uint16_t>(v);
        row_start[column] =
            static_cast<std::uint16_t>((red << f.red_shift) | (green << f.green_shift) | (blue << f.blue_shift));
      }
      if (row + 1 < rows) {
        row_start += target.stride;
      }
    }
  }
  plat_unlock(display.back_buffer);
  return true;
}

}  // namespace shindan
