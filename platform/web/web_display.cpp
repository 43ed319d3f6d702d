// The display in a page: memory surfaces as on the other non-Windows builds,
// the screen shown in the page's canvas, and text drawn by the browser.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/common/sjis.h"
#include "platform/common/surface.h"
#include "platform/web/web.h"

namespace shindan {

namespace {

constexpr std::uint32_t display_width = 640;
constexpr std::uint32_t display_height = 480;

plat_display the_display;
plat_surface* back_buffer = nullptr;
// Whether the page shows the program's 16-bit pixels as they are (WebGL);
// otherwise it takes 8-bit red, green, blue and alpha, widened here.
bool page_takes_packed = false;
std::vector<std::uint8_t> rgba;

// clang-format off
EM_JS(int, web_screen_takes_packed, (), { return Module.host.screenTakesPacked() ? 1 : 0; });
EM_JS(void, web_present_packed, (const std::uint16_t* pixels, int pitch, int five_five_five), {
  Module.host.presentPacked(HEAPU8.buffer, pixels, pitch, five_five_five !== 0);
});
EM_JS(void, web_present, (const std::uint8_t* pixels), {
  Module.host.present(HEAPU8.buffer, pixels);
});
// Coverage of the text in the rectangle it reaches: writes left, top,
// right, bottom into rect and the coverage row by row into coverage (room
// for width x height bytes); answers 0 when nothing shows.
EM_JS(int, web_text_coverage, (const char* text, int size, int weight, int serif, int x, int y,
                               int width, int height, int* rect, std::uint8_t* coverage), {
  const got = Module.host.textCoverage(UTF8ToString(text), size, weight, serif !== 0, x, y, width, height);
  if (!got)
    return 0;
  HEAP32.set(got.rect, rect >> 2);
  HEAPU8.set(got.coverage, coverage);
  return 1;
});
// clang-format on

// A 5- or 6-bit channel widened to 8 bits by repeating its top bits, so
// that white stays white and black stays black.
constexpr std::uint8_t widen5(std::uint32_t v) {
  return static_cast<std::uint8_t>((v << 3) | (v >> 2));
}
constexpr std::uint8_t widen6(std::uint32_t v) {
  return static_cast<std::uint8_t>((v << 2) | (v >> 4));
}

// Eight 5-6-5 pixels into eight red, green, blue, alpha quadruples.
#if defined(__SSE2__)
void widen_eight(const std::uint16_t* from, std::uint8_t* to) {
  const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
  const __m128i r5 = _mm_srli_epi16(p, 11);
  const __m128i g6 = _mm_and_si128(_mm_srli_epi16(p, 5), _mm_set1_epi16(63));
  const __m128i b5 = _mm_and_si128(p, _mm_set1_epi16(31));
  const __m128i r = _mm_or_si128(_mm_slli_epi16(r5, 3), _mm_srli_epi16(r5, 2));
  const __m128i g = _mm_or_si128(_mm_slli_epi16(g6, 2), _mm_srli_epi16(g6, 4));
  const __m128i b = _mm_or_si128(_mm_slli_epi16(b5, 3), _mm_srli_epi16(b5, 2));
  // Per pixel: red and green in one 16-bit lane, blue and opaque alpha in
  // another; interleaving the lanes gives the bytes in canvas order.
  const __m128i rg = _mm_or_si128(r, _mm_slli_epi16(g, 8));
  const __m128i ba = _mm_or_si128(b, _mm_set1_epi16(static_cast<short>(0xFF00)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_unpacklo_epi16(rg, ba));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), _mm_unpackhi_epi16(rg, ba));
}
#endif

void widen_one(std::uint32_t p, bool five_five_five, std::uint8_t* out) {
  if (five_five_five) {
    out[0] = widen5((p >> 10) & 31u);
    out[1] = widen5((p >> 5) & 31u);
  } else {
    out[0] = widen5((p >> 11) & 31u);
    out[1] = widen6((p >> 5) & 63u);
  }
  out[2] = widen5(p & 31u);
  out[3] = 255;
}

void show_on_canvas(plat_surface* screen) {
  const bool five_five_five = screen->layout == pixel_layout::rgb555;
  if (page_takes_packed) {
    web_present_packed(screen->memory.data(), screen->pitch, five_five_five ? 1 : 0);
    return;
  }
  rgba.resize(static_cast<std::size_t>(display_width) * display_height * 4);
  std::uint8_t* out = rgba.data();
  for (std::uint32_t y = 0; y < display_height; ++y) {
    const std::uint16_t* row = surface_row(screen, y);
    std::uint32_t x = 0;
#if defined(__SSE2__)
    if (!five_five_five) {
      for (; x + 8 <= display_width; x += 8, out += 32)
        widen_eight(row + x, out);
    }
#endif
    for (; x < display_width; ++x, out += 4)
      widen_one(row[x], five_five_five, out);
  }
  web_present(rgba.data());
}

bool surface_alive(const plat_surface* surface) {
  return surface && std::find(live_surfaces.begin(), live_surfaces.end(), surface) != live_surfaces.end();
}

}  // namespace

plat_display_stage plat_open_display(plat_display_objects* objects) {
  if (!objects)
    return plat_display_stage::no_device;
  the_display.layout = pixel_layout::rgb565;
  page_takes_packed = web_screen_takes_packed() != 0;
  objects->device = &the_display;
  plat_surface* primary = create_surface(the_display.layout, display_width, display_height);
  if (!primary)
    return plat_display_stage::no_primary_surface;
  primary->primary = true;
  objects->primary_surface = primary;
  plat_surface* back = create_surface(the_display.layout, display_width, display_height);
  if (!back)
    return plat_display_stage::no_back_buffer;
  primary->attached = back;
  objects->back_buffer = back;
  back_buffer = back;
  return plat_display_stage::ready;
}

void plat_close_display(const plat_display_objects& objects) {
  // The back buffer goes down with its primary.
  if (surface_alive(objects.primary_surface))
    plat_release_surface(objects.primary_surface);
  if (!surface_alive(back_buffer))
    back_buffer = nullptr;
}

void plat_flip_to_desktop(plat_display*) {
  // The page's boxes always show over the canvas.
}

plat_result plat_present(const plat_display_objects& objects) {
  plat_surface* primary = objects.primary_surface;
  const plat_result r = present_copy(
      primary, objects.back_buffer,
      plat_rect{0, 0, static_cast<std::int32_t>(display_width), static_cast<std::int32_t>(display_height)});
  if (r != plat_result::ok)
    return r;
  show_on_canvas(primary);
  return plat_result::ok;
}

void plat_draw_text(plat_surface* surface, const plat_font_request& font, std::int32_t x, std::int32_t y,
                    std::uint32_t colour, const char* text, std::uint32_t length) {
  // A surface that is lost or locked gives no drawing context.
  if (!surface || surface->lost || surface->locked || !text || length == 0)
    return;
  // Every character is at most one em wide and a line at most two ems
  // high: a text that cannot reach the surface costs nothing.
  const std::int64_t size =
      std::clamp<std::int64_t>(font.height < 0 ? -std::int64_t{font.height} : std::int64_t{font.height}, 1, 1000);
  const std::int64_t w = surface->width, h = surface->height;
  if (x >= w || y >= h || y + 2 * size <= 0 || x + size * std::int64_t{length} <= 0)
    return;

  const std::string utf8 = sjis_to_utf8(text, length);
  // A positive height asks for the whole cell; the em is then a bit smaller.
  const int em = static_cast<int>(font.height > 0 ? (size * 7 + 4) / 8 : size);
  const bool serif = std::strstr(font.face ? font.face : "", "\x96\xbe\x92\xa9") != nullptr;  // 明朝
  std::vector<std::uint8_t> coverage(static_cast<std::size_t>(w * h));
  std::array<int, 4> rect{};
  if (!web_text_coverage(utf8.c_str(), em, font.weight, serif ? 1 : 0, x, y, static_cast<int>(w), static_cast<int>(h),
                         rect.data(), coverage.data()))
    return;
  const int left = std::max(rect[0], 0), top = std::max(rect[1], 0);
  const int right = std::min<int>(rect[2], static_cast<int>(w)), bottom = std::min<int>(rect[3], static_cast<int>(h));
  const int span = rect[2] - rect[0];
  const std::uint16_t pixel = colour_to_pixel(surface->layout, colour);
  for (int row = top; row < bottom; ++row) {
    std::uint16_t* to = surface_row(surface, static_cast<std::uint32_t>(row));
    const std::uint8_t* from = coverage.data() + static_cast<std::size_t>(row - rect[1]) * span;
    for (int col = left; col < right; ++col) {
      // Whole pixels only, as the other builds draw their text.
      if (from[col - rect[0]] >= 128)
        to[col] = pixel;
    }
  }
}

}  // namespace shindan
