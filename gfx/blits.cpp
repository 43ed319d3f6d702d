// Keyed copies of picture regions onto the back buffer, plain and scaled,
// each clipped to the screen, and the repair of pictures whose surface lost
// its memory.
#include <cmath>
#include <cstring>
#include <limits>

#include "gfx/gfx.h"

namespace shindan {

namespace {

constexpr std::int64_t int32_min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t int32_max = std::numeric_limits<std::int32_t>::max();

bool fits_int32(std::int64_t value) {
  return value >= int32_min && value <= int32_max;
}

// Float-to-integer truncation toward zero; false when the value has no
// 32-bit integer to become (infinite, not a number, or out of range).
bool truncate_to_int32(double value, std::int32_t* out) {
  if (!std::isfinite(value) || value <= static_cast<double>(int32_min) - 1.0 ||
      value >= static_cast<double>(int32_max) + 1.0) {
    return false;
  }
  *out = static_cast<std::int32_t>(value);
  return true;
}

bool usable_scale(float scale) {
  return std::isfinite(scale) && scale != 0.0f;
}

// Another program took the screen: give every surface involved its memory
// back and read the picture from its file again. The picture is missing from
// this one frame.
void repair_lost_picture(image_slot* slot) {
  plat_restore_surface(display.primary_surface);
  plat_restore_surface(display.back_buffer);
  plat_restore_surface(slot->surface);
  // load_image rewrites the slot's name and key, so keep both first.
  char name[sizeof(image_slot::file_name)];
  std::memcpy(name, slot->file_name, sizeof(name));
  name[sizeof(name) - 1] = '\0';
  const std::uint32_t key = slot->colour_key;
  load_image(slot, name);
  set_colour_key(slot, key);
}

}  // namespace

void draw_image(std::int32_t x, std::int32_t y, image_slot* slot, std::int32_t left, std::int32_t top,
                std::int32_t right, std::int32_t bottom) {
  if (slot == nullptr || slot->surface == nullptr || display.back_buffer == nullptr) {
    return;
  }
  // Wide arithmetic so that far-off positions cannot wrap round into view.
  std::int64_t dx = x, dy = y;
  std::int64_t l = left, t = top, r = right, b = bottom;
  if (dx + (r - l) > screen_width) {
    r -= dx + (r - l) - screen_width;
  }
  if (dy + (b - t) > screen_height) {
    b -= dy + (b - t) - screen_height;
  }
  if (dx < 0) {
    l -= dx;
    dx = 0;
  }
  if (dy < 0) {
    t -= dy;
    dy = 0;
  }
  if (r < l || b < t) {
    return;
  }
  // What is left lies within the given region, so it fits 32 bits again.
  const plat_rect source{static_cast<std::int32_t>(l), static_cast<std::int32_t>(t), static_cast<std::int32_t>(r),
                         static_cast<std::int32_t>(b)};
  if (plat_copy_keyed(display.back_buffer, static_cast<std::int32_t>(dx), static_cast<std::int32_t>(dy), slot->surface,
                      source) == plat_result::lost) {
    repair_lost_picture(slot);
  }
}

void draw_image_scaled(std::int32_t x, std::int32_t y, image_slot* slot, float scale_x, float scale_y,
                       std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  if (slot == nullptr || slot->surface == nullptr || display.back_buffer == nullptr) {
    return;
  }
  // A zero scale would divide the clipped amounts by zero; there is nothing
  // to draw at that size anyway.
  if (!usable_scale(scale_x) || !usable_scale(scale_y)) {
    return;
  }
  const float w = static_cast<float>(right - static_cast<std::int64_t>(left)) * scale_x;
  const float h = static_cast<float>(bottom - static_cast<std::int64_t>(top)) * scale_y;
  const float fx = static_cast<float>(x);
  const float fy = static_cast<float>(y);

  float cut_left = 0.0f, cut_right = 0.0f, cut_top = 0.0f, cut_bottom = 0.0f;
  if (x < 0) {
    cut_left = -fx;
  }
  if (fx + w > static_cast<float>(screen_width)) {
    cut_right = static_cast<float>(screen_width) - (fx + w);
  }
  if (y < 0) {
    cut_top = -fy;
  }
  if (fy + h > static_cast<float>(screen_height)) {
    cut_bottom = static_cast<float>(screen_height) - (fy + h);
  }

  plat_rect target;
  std::int32_t source_cut_left = 0, source_cut_top = 0, source_cut_right = 0, source_cut_bottom = 0;
  if (!truncate_to_int32(fx + cut_left, &target.left) || !truncate_to_int32(fy + cut_top, &target.top) ||
      !truncate_to_int32(fx + w + cut_right, &target.right) ||
      !truncate_to_int32(fy + h + cut_bottom, &target.bottom) ||
      !truncate_to_int32(cut_left / scale_x, &source_cut_left) ||
      !truncate_to_int32(cut_top / scale_y, &source_cut_top) ||
      !truncate_to_int32(cut_right / scale_x, &source_cut_right) ||
      !truncate_to_int32(cut_bottom / scale_y, &source_cut_bottom)) {
    return;
  }
  const std::int64_t sl = static_cast<std::int64_t>(left) + source_cut_left;
  const std::int64_t st = static_cast<std::int64_t>(top) + source_cut_top;
  const std::int64_t sr = static_cast<std::int64_t>(right) + source_cut_right;
  const std::int64_t sb = static_cast<std::int64_t>(bottom) + source_cut_bottom;
  if (!fits_int32(sl) || !fits_int32(st) || !fits_int32(sr) || !fits_int32(sb)) {
    return;
  }
  const plat_rect source{static_cast<std::int32_t>(sl), static_cast<std::int32_t>(st), static_cast<std::int32_t>(sr),
                         static_cast<std::int32_t>(sb)};
  // A region wholly off the screen gives an inverted rectangle, which the
  // copy refuses.
  if (plat_copy_keyed_stretched(display.back_buffer, target, slot->surface, source) == plat_result::lost) {
    repair_lost_picture(slot);
  }
}

void draw_image_scaled_centred(std::int32_t centre_x, std::int32_t centre_y, image_slot* slot, float scale_x,
                               float scale_y, std::int32_t left, std::int32_t top, std::int32_t right,
                               std::int32_t bottom) {
  const float w = static_cast<float>(right - static_cast<std::int64_t>(left)) * scale_x;
  const float h = static_cast<float>(bottom - static_cast<std::int64_t>(top)) * scale_y;
  std::int32_t half_w = 0, half_h = 0;
  if (!truncate_to_int32(w / 2.0, &half_w) || !truncate_to_int32(h / 2.0, &half_h)) {
    return;
  }
  const std::int64_t x = static_cast<std::int64_t>(centre_x) - half_w;
  const std::int64_t y = static_cast<std::int64_t>(centre_y) - half_h;
  if (!fits_int32(x) || !fits_int32(y)) {
    return;
  }
  draw_image_scaled(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), slot, scale_x, scale_y, left, top,
                    right, bottom);
}

bool clip_to_screen(std::int32_t* x, std::int32_t* y, plat_rect* out, std::int32_t left, std::int32_t top,
                    std::int32_t right, std::int32_t bottom) {
  if (left > right || top > bottom) {
    return false;
  }
  // Wide arithmetic: 640 - w and the cut edges must not wrap for wide regions.
  std::int64_t px = *x, py = *y;
  std::int64_t l = left, t = top, r = right, b = bottom;
  const std::int64_t w = r - l;
  const std::int64_t h = b - t;
  if (px > screen_width - w) {
    if (px > screen_width) {
      px = screen_width;
    }
    r = screen_width - px + left;
  }
  if (px < 0) {
    l = px < -w ? static_cast<std::int64_t>(right) : left - px;
    px = 0;
  }
  if (py > screen_height - h) {
    if (py > screen_height) {
      py = screen_height;
    }
    b = screen_height - py + top;
  }
  if (py < 0) {
    t = py < -h ? static_cast<std::int64_t>(bottom) : top - py;
    py = 0;
  }
  // Every cut edge lies between left and right (top and bottom), so the
  // results fit the 32-bit fields again.
  *x = static_cast<std::int32_t>(px);
  *y = static_cast<std::int32_t>(py);
  *out = plat_rect{static_cast<std::int32_t>(l), static_cast<std::int32_t>(t), static_cast<std::int32_t>(r),
                   static_cast<std::int32_t>(b)};
  return true;
}

}  // namespace shindan
