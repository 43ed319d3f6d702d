// Effects computed pixel by pixel on the locked back buffer: translucent and
// additive drawing of pictures. Pixels are split into channels with the masks
// read from the back buffer, so 5-6-5 and 5-5-5 displays give the same
// picture.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "gfx/gfx.h"
#include "gfx/pixel_view.h"

namespace shindan {

pixel_format_record pixel_format;

namespace {

// Trailing zero bits of a channel mask; a missing channel counts as unshifted.
std::uint16_t mask_shift(std::uint16_t mask) {
  return mask == 0 ? 0 : static_cast<std::uint16_t>(std::countr_zero(mask));
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
  plat_pixels target;
  if (plat_lock(display.back_buffer, &target) != plat_result::ok) {
    return false;
  }
  plat_pixels source;
  if (plat_lock(slot->surface, &source) != plat_result::ok) {
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

// Products of channel values with the transparency are tabled for formats
// whose channels have at most this many values (5-6-5 has 64).
constexpr unsigned max_product_levels = 256;

#if defined(__SSE2__)
// The additive blend eight pixels at a time; answers how many pixels of the
// row it did (whole groups of eight). Each field is added where it stands with
// unsigned saturation at 0xFFFF, then held at its mask: a sum past 0xFFFF is
// past the mask too, so this is the per-field rule exactly. Black source
// pixels leave the target as it was.
std::int64_t add_row_sse2(std::uint16_t* target, const std::uint16_t* source, std::int64_t columns,
                          const pixel_format_record& f) {
  const __m128i bias = _mm_set1_epi16(static_cast<short>(0x8000));
  const __m128i masks[3] = {_mm_set1_epi16(static_cast<short>(f.red_mask)),
                            _mm_set1_epi16(static_cast<short>(f.green_mask)),
                            _mm_set1_epi16(static_cast<short>(f.blue_mask))};
  const __m128i zero = _mm_setzero_si128();
  std::int64_t column = 0;
  for (; column + 8 <= columns; column += 8) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + column));
    const __m128i black = _mm_cmpeq_epi16(s, zero);
    if (_mm_movemask_epi8(black) == 0xFFFF)
      continue;
    __m128i* out = reinterpret_cast<__m128i*>(target + column);
    const __m128i d = _mm_loadu_si128(out);
    __m128i sum = zero;
    for (const __m128i& mask : masks) {
      const __m128i v = _mm_adds_epu16(_mm_and_si128(d, mask), _mm_and_si128(s, mask));
      // Unsigned minimum through the signed one, both sides shifted by 0x8000.
      const __m128i held = _mm_xor_si128(_mm_min_epi16(_mm_xor_si128(v, bias), _mm_xor_si128(mask, bias)), bias);
      sum = _mm_or_si128(sum, held);
    }
    _mm_storeu_si128(out, _mm_or_si128(_mm_and_si128(black, d), _mm_andnot_si128(black, sum)));
  }
  return column;
}
#endif

}  // namespace

void read_pixel_format() {
  plat_pixels info;
  if (display.back_buffer != nullptr) {
    plat_describe(display.back_buffer, &info);
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
  const unsigned levels = std::max(
      {(f.red_mask >> f.red_shift) + 1u, (f.green_mask >> f.green_shift) + 1u, (f.blue_mask >> f.blue_shift) + 1u});
  if (levels <= max_product_levels) {
    // Every channel value times t and times u, made once per call: the sum
    // of two entries is the very double the per-pixel rule adds up, so the
    // result is the same to the bit, without converting and multiplying
    // six times a pixel.
    double kept[max_product_levels], taken[max_product_levels];
    for (unsigned v = 0; v < levels; ++v) {
      kept[v] = static_cast<double>(v) * keep;
      taken[v] = static_cast<double>(v) * take;
    }
    auto channel = [&kept, &taken](std::uint16_t d, std::uint16_t s, std::uint16_t mask, std::uint16_t shift) {
      return static_cast<std::uint32_t>(kept[(d & mask) >> shift] + taken[(s & mask) >> shift]) << shift;
    };
    blend_pixels(area, [&](std::uint16_t d, std::uint16_t s) {
      return static_cast<std::uint16_t>(channel(d, s, f.red_mask, f.red_shift) |
                                        channel(d, s, f.green_mask, f.green_shift) |
                                        channel(d, s, f.blue_mask, f.blue_shift));
    });
  } else {
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
  }
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
  auto blend = [&](std::uint16_t d, std::uint16_t s) {
    return static_cast<std::uint16_t>(channel(d, s, f.red_mask) | channel(d, s, f.green_mask) |
                                      channel(d, s, f.blue_mask));
  };
#if defined(__SSE2__)
  if (area.rows > 0 && area.columns > 0) {
    std::uint16_t* target_row = area.target.pixels + area.y * area.target.stride + area.x;
    const std::uint16_t* source_row = area.source.pixels + area.top * area.source.stride + area.left;
    for (std::int64_t row = 0;;) {
      const std::int64_t done = add_row_sse2(target_row, source_row, area.columns, f);
      for (std::int64_t column = done; column < area.columns; ++column) {
        if (source_row[column] != 0)
          target_row[column] = blend(target_row[column], source_row[column]);
      }
      if (++row == area.rows)
        break;
      target_row += area.target.stride;
      source_row += area.source.stride;
    }
  }
#else
  blend_pixels(area, blend);
#endif
  end_blend(slot);
  return true;
}

}  // namespace shindan
