// The drawing operations of platform.h on memory surfaces. They behave as
// the game relies on DirectDraw to behave: keyed copies skip the key value,
// stretched copies refuse rectangles that do not fit, lost surfaces answer
// lost until restored, and nothing ever touches memory outside
// a surface, whatever rectangle a caller passes.
#include "platform/common/surface.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#include <immintrin.h>
#define SHINDAN_AVX2_ROWS 1
#endif

namespace shindan {

std::vector<plat_surface*> live_surfaces;
#if defined(SHINDAN_AVX2_ROWS)
bool keyed_copy_uses_avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
#else
bool keyed_copy_uses_avx2 = false;
#endif

namespace {

// A picture may be many screens tall, but not so big that holding it is a
// danger in itself: 64 Mi pixels is far beyond any sprite sheet.
constexpr std::uint64_t max_surface_pixels = 64u * 1024u * 1024u;

// Why a surface cannot take part in a draw right now, or ok.
plat_result usable(const plat_surface* surface) {
  if (surface->lost)
    return plat_result::lost;
  if (surface->locked)
    return plat_result::failed;
  return plat_result::ok;
}

bool inverted(const plat_rect& r) {
  return r.right < r.left || r.bottom < r.top;
}

bool inside(const plat_rect& r, const plat_surface* s) {
  return r.left >= 0 && r.top >= 0 && static_cast<std::int64_t>(r.right) <= s->width &&
         static_cast<std::int64_t>(r.bottom) <= s->height;
}

// A copy of the pixels of rect, so that a surface can be drawn onto itself.
std::vector<std::uint16_t> snapshot(plat_surface* s, const plat_rect& r) {
  std::vector<std::uint16_t> out;
  const auto w = static_cast<std::size_t>(r.right - r.left);
  out.reserve(w * static_cast<std::size_t>(r.bottom - r.top));
  for (std::int32_t y = r.top; y < r.bottom; ++y) {
    const std::uint16_t* row = surface_row(s, static_cast<std::uint32_t>(y)) + r.left;
    out.insert(out.end(), row, row + w);
  }
  return out;
}

// One row of a keyed copy. The game's pictures hold long runs of black (the
// key) and long runs of picture, with scattered black at their edges: eight
// pixels at a time, a run of key is skipped, a run of picture is stored
// whole, and only mixed groups choose pixel by pixel, without branching.
void copy_row_keyed(std::uint16_t* to, const std::uint16_t* from, std::size_t w, std::uint16_t key) {
  std::size_t col = 0;
#if defined(__SSE2__)
  const __m128i keys = _mm_set1_epi16(static_cast<short>(key));
  for (; col + 8 <= w; col += 8) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + col));
    const __m128i skip = _mm_cmpeq_epi16(p, keys);
    const int skipped = _mm_movemask_epi8(skip);
    if (skipped == 0xFFFF)
      continue;
    __m128i* out = reinterpret_cast<__m128i*>(to + col);
    if (skipped == 0) {
      _mm_storeu_si128(out, p);
    } else {
      const __m128i d = _mm_loadu_si128(out);
      _mm_storeu_si128(out, _mm_or_si128(_mm_and_si128(skip, d), _mm_andnot_si128(skip, p)));
    }
  }
#endif
  for (; col < w; ++col) {
    if (from[col] != key)
      to[col] = from[col];
  }
}

#if defined(SHINDAN_AVX2_ROWS)
// The same with sixteen pixels a step, for processors that have AVX2; the
// rest of the row goes to the eight-pixel version. Here a group holding any
// key is blended without a further branch: the closing wipe's masks are
// dithered, and guessing wrong about them costs more than the blend.
__attribute__((target("avx2"))) void copy_row_keyed_avx2(std::uint16_t* to, const std::uint16_t* from, std::size_t w,
                                                         std::uint16_t key) {
  std::size_t col = 0;
  const __m256i keys = _mm256_set1_epi16(static_cast<short>(key));
  for (; col + 16 <= w; col += 16) {
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + col));
    const __m256i skip = _mm256_cmpeq_epi16(p, keys);
    __m256i* out = reinterpret_cast<__m256i*>(to + col);
    if (_mm256_testz_si256(skip, skip))
      _mm256_storeu_si256(out, p);
    else
      _mm256_storeu_si256(out, _mm256_blendv_epi8(p, _mm256_loadu_si256(out), skip));
  }
  copy_row_keyed(to + col, from + col, w - col, key);
}

#endif

}  // namespace

std::uint32_t red_mask_of(pixel_layout layout) {
  return layout == pixel_layout::rgb565 ? 0xF800u : 0x7C00u;
}
std::uint32_t green_mask_of(pixel_layout layout) {
  return layout == pixel_layout::rgb565 ? 0x07E0u : 0x03E0u;
}
std::uint32_t blue_mask_of(pixel_layout) {
  return 0x001Fu;
}

std::uint16_t colour_to_pixel(pixel_layout layout, std::uint32_t colour) {
  const std::uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  if (layout == pixel_layout::rgb565)
    return static_cast<std::uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
  return static_cast<std::uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

plat_surface* create_surface(pixel_layout layout, std::uint32_t width, std::uint32_t height) {
  if (width == 0 || height == 0)
    return nullptr;
  if (static_cast<std::uint64_t>(width) * height > max_surface_pixels)
    return nullptr;
  auto* s = new plat_surface;
  s->layout = layout;
  s->width = width;
  s->height = height;
  s->pitch = static_cast<std::int32_t>((width * 2 + 3) & ~3u);
  s->memory.assign(static_cast<std::size_t>(s->pitch / 2) * height, 0);
  live_surfaces.push_back(s);
  return s;
}

void lose_all_surfaces() {
  for (plat_surface* s : live_surfaces)
    s->lost = true;
}

void release_all_surfaces() {
  for (plat_surface* s : live_surfaces)
    delete s;
  live_surfaces.clear();
}

void plat_release_surface(plat_surface* surface) {
  auto it = std::find(live_surfaces.begin(), live_surfaces.end(), surface);
  if (it == live_surfaces.end())
    return;  // null or already gone: never free twice
  live_surfaces.erase(it);
  for (plat_surface* s : live_surfaces)
    if (s->attached == surface)
      s->attached = nullptr;
  plat_surface* attached = surface->attached;
  delete surface;
  // The back buffer goes down with its primary.
  plat_release_surface(attached);
}

plat_surface* picture_surface(pixel_layout layout, const decoded_picture& picture) {
  if (picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height)
    return nullptr;
  plat_surface* s = create_surface(layout, picture.width, picture.height);
  if (!s)
    return nullptr;
  fill_picture(s, picture);
  // Black is transparent in every picture.
  s->has_colour_key = true;
  s->colour_key = 0;
  return s;
}

bool fill_picture(plat_surface* surface, const decoded_picture& picture) {
  if (!surface || surface->width != picture.width || surface->height != picture.height ||
      picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height)
    return false;
  for (std::uint32_t y = 0; y < surface->height; ++y)
    std::memcpy(surface_row(surface, y), picture.pixels.data() + static_cast<std::size_t>(y) * surface->width,
                surface->width * 2u);
  return true;
}

plat_result plat_describe(plat_surface* surface, plat_pixels* info) {
  if (!surface || !info)
    return plat_result::failed;
  info->pixels = nullptr;
  info->width = surface->width;
  info->height = surface->height;
  info->pitch = surface->pitch;
  info->bit_count = 16;
  info->red_mask = red_mask_of(surface->layout);
  info->green_mask = green_mask_of(surface->layout);
  info->blue_mask = blue_mask_of(surface->layout);
  return plat_result::ok;
}

plat_result plat_restore_surface(plat_surface* surface) {
  if (!surface || surface->locked)
    return plat_result::failed;
  // Memory comes back, its contents do not: the caller must draw again.
  if (surface->lost) {
    std::fill(surface->memory.begin(), surface->memory.end(), restored_garbage);
    surface->lost = false;
  }
  // Restoring a primary restores the back buffer made with it.
  if (surface->attached)
    return plat_restore_surface(surface->attached);
  return plat_result::ok;
}

plat_result plat_set_colour_key(plat_surface* picture, std::uint32_t colour) {
  if (!picture)
    return plat_result::failed;
  // The colour is converted straight into the picture's layout, as the
  // window system's own matching gives it for every 16-bit format.
  picture->has_colour_key = true;
  picture->colour_key = colour_to_pixel(picture->layout, colour);
  return plat_result::ok;
}

plat_result plat_lock(plat_surface* surface, plat_pixels* locked) {
  if (!surface || !locked)
    return plat_result::failed;
  if (plat_result r = usable(surface); r != plat_result::ok)
    return r;
  surface->locked = true;
  plat_describe(surface, locked);
  locked->pixels = surface->memory.data();
  return plat_result::ok;
}

void plat_unlock(plat_surface* surface) {
  if (surface)
    surface->locked = false;
}

plat_result plat_fill(plat_surface* surface, const plat_rect& rect, std::uint32_t raw_colour) {
  if (!surface)
    return plat_result::failed;
  if (plat_result r = usable(surface); r != plat_result::ok)
    return r;
  if (inverted(rect))
    return plat_result::failed;
  const std::int64_t left = std::max<std::int64_t>(rect.left, 0);
  const std::int64_t top = std::max<std::int64_t>(rect.top, 0);
  const std::int64_t right = std::min<std::int64_t>(rect.right, surface->width);
  const std::int64_t bottom = std::min<std::int64_t>(rect.bottom, surface->height);
  if (right <= left || bottom <= top)
    return plat_result::ok;
  const auto value = static_cast<std::uint16_t>(raw_colour);
  const std::size_t stride = static_cast<std::uint32_t>(surface->pitch) / 2;
  std::uint16_t* row = surface_row(surface, static_cast<std::uint32_t>(top));
  // The whole surface in black, as every frame clears the back buffer: one
  // block of memory, padding included, which nothing ever reads.
  if (value == 0 && left == 0 && right == surface->width && top == 0 && bottom == surface->height) {
    std::memset(row, 0, stride * static_cast<std::size_t>(bottom) * 2);
    return plat_result::ok;
  }
  for (std::int64_t y = top;;) {
    std::fill(row + left, row + right, value);
    if (++y == bottom)
      break;
    row += stride;
  }
  return plat_result::ok;
}

// Both ends of a copy must exist and be neither lost nor locked.
static plat_result usable_pair(plat_surface* target, plat_surface* source) {
  if (!target || !source)
    return plat_result::failed;
  if (plat_result r = usable(target); r != plat_result::ok)
    return r;
  return usable(source);
}

plat_result plat_copy_keyed(plat_surface* target, std::int32_t x, std::int32_t y, plat_surface* source,
                            const plat_rect& src_rect) {
  if (plat_result r = usable_pair(target, source); r != plat_result::ok)
    return r;
  if (inverted(src_rect))
    return plat_result::failed;

  // Clip the source rectangle to the source, then the placed rectangle to
  // the target; each cut on one side moves the other with it.
  std::int64_t sl = src_rect.left, st = src_rect.top, sr = src_rect.right, sb = src_rect.bottom;
  std::int64_t dx = x, dy = y;
  if (sl < 0) {
    dx -= sl;
    sl = 0;
  }
  if (st < 0) {
    dy -= st;
    st = 0;
  }
  sr = std::min<std::int64_t>(sr, source->width);
  sb = std::min<std::int64_t>(sb, source->height);
  if (dx < 0) {
    sl -= dx;
    dx = 0;
  }
  if (dy < 0) {
    st -= dy;
    dy = 0;
  }
  sr = std::min<std::int64_t>(sr, sl + (static_cast<std::int64_t>(target->width) - dx));
  sb = std::min<std::int64_t>(sb, st + (static_cast<std::int64_t>(target->height) - dy));
  if (sr <= sl || sb <= st)
    return plat_result::ok;  // nothing of it is on both surfaces

  const plat_rect clipped{static_cast<std::int32_t>(sl), static_cast<std::int32_t>(st), static_cast<std::int32_t>(sr),
                          static_cast<std::int32_t>(sb)};
  const auto w = static_cast<std::size_t>(sr - sl);
  const auto h = static_cast<std::size_t>(sb - st);
  std::vector<std::uint16_t> own;
  if (source == target)
    own = snapshot(source, clipped);
  const bool keyed = source->has_colour_key;
  const auto key = static_cast<std::uint16_t>(source->colour_key);
  // Rows advance by their strides; the gauges draw hundreds of two-pixel-wide
  // regions a frame, so the per-row work is kept to the copy itself.
  const std::uint16_t* from = own.empty() ? surface_row(source, static_cast<std::uint32_t>(st)) + sl : own.data();
  const std::size_t from_stride = own.empty() ? static_cast<std::uint32_t>(source->pitch) / 2 : w;
  std::uint16_t* to = surface_row(target, static_cast<std::uint32_t>(dy)) + dx;
  const std::size_t to_stride = static_cast<std::uint32_t>(target->pitch) / 2;
#if defined(SHINDAN_AVX2_ROWS)
  if (keyed && keyed_copy_uses_avx2 && w >= 16) {
    for (std::size_t row = 0;;) {
      copy_row_keyed_avx2(to, from, w, key);
      if (++row == h)
        return plat_result::ok;
      from += from_stride;
      to += to_stride;
    }
  }
#endif
  for (std::size_t row = 0;;) {
    if (keyed)
      copy_row_keyed(to, from, w, key);
    else
      std::memcpy(to, from, w * 2);
    if (++row == h)
      break;
    from += from_stride;
    to += to_stride;
  }
  return plat_result::ok;
}

plat_result plat_copy_keyed_stretched(plat_surface* target, const plat_rect& dst_rect, plat_surface* source,
                                      const plat_rect& src_rect) {
  if (plat_result r = usable_pair(target, source); r != plat_result::ok)
    return r;
  if (inverted(dst_rect) || inverted(src_rect))
    return plat_result::failed;
  if (!inside(src_rect, source) || !inside(dst_rect, target))
    return plat_result::failed;

  const std::int64_t dw = static_cast<std::int64_t>(dst_rect.right) - dst_rect.left;
  const std::int64_t dh = static_cast<std::int64_t>(dst_rect.bottom) - dst_rect.top;
  const std::int64_t sw = static_cast<std::int64_t>(src_rect.right) - src_rect.left;
  const std::int64_t sh = static_cast<std::int64_t>(src_rect.bottom) - src_rect.top;
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0)
    return plat_result::ok;

  std::vector<std::uint16_t> own;
  if (source == target)
    own = snapshot(source, src_rect);
  const bool keyed = source->has_colour_key;
  const std::uint32_t key = source->colour_key;
  // Nearest pixel: each target pixel takes the source pixel under its centre.
  std::vector<std::int64_t> column(static_cast<std::size_t>(dw));
  for (std::int64_t i = 0; i < dw; ++i)
    column[static_cast<std::size_t>(i)] = (2 * i + 1) * sw / (2 * dw);
  for (std::int64_t j = 0; j < dh; ++j) {
    const std::int64_t sy = (2 * j + 1) * sh / (2 * dh);
    const std::uint16_t* from = own.empty()
                                    ? surface_row(source, static_cast<std::uint32_t>(src_rect.top + sy)) + src_rect.left
                                    : own.data() + sy * sw;
    std::uint16_t* to = surface_row(target, static_cast<std::uint32_t>(dst_rect.top + j)) + dst_rect.left;
    for (std::int64_t i = 0; i < dw; ++i) {
      const std::uint16_t p = from[column[static_cast<std::size_t>(i)]];
      if (keyed && p == key)
        continue;
      to[i] = p;
    }
  }
  return plat_result::ok;
}

plat_result present_copy(plat_surface* primary, plat_surface* back_buffer, const plat_rect& screen) {
  if (!primary || !back_buffer)
    return plat_result::failed;
  if (plat_result r = usable(primary); r != plat_result::ok)
    return r;
  if (plat_result r = usable(back_buffer); r != plat_result::ok)
    return r;
  if (inverted(screen) || !inside(screen, primary) || !inside(screen, back_buffer))
    return plat_result::failed;
  const auto w = static_cast<std::size_t>(screen.right - screen.left);
  for (std::int32_t y = screen.top; y < screen.bottom; ++y)
    std::memcpy(surface_row(primary, static_cast<std::uint32_t>(y)) + screen.left,
                surface_row(back_buffer, static_cast<std::uint32_t>(y)) + screen.left, w * 2);
  return plat_result::ok;
}

}  // namespace shindan
