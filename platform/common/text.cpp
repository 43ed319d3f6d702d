// Shift-JIS text drawn with FreeType in the Mincho face, the way GDI of the
// program's time drew it on a 16-bit surface: glyphs rendered in one bit per
// pixel (no smoothing), bold made by striking each glyph twice one pixel
// apart, only the glyph pixels written (a transparent background), and
// everything clipped to the surface.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <string>

#include "platform/common/sjis.h"
#include "platform/common/surface.h"
#include "platform/common/text.h"

namespace shindan {

namespace {

// The face is opened on first use and kept for the whole run.
struct text_face {
  std::string path = SHINDAN_MINCHO_FONT;
  bool tried = false;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
};
text_face font;

FT_Face loaded_face() {
  if (!font.tried) {
    font.tried = true;
    if (FT_Init_FreeType(&font.library) != 0) {
      font.library = nullptr;
    } else if (FT_New_Face(font.library, font.path.c_str(), 0, &font.face) != 0) {
      font.face = nullptr;
    }
  }
  return font.face;
}

// The cell of a line: GDI's cell height is the face's Windows ascent plus
// descent, falling back on the horizontal header where there is no OS/2
// table.
void cell_units(FT_Face face, long* ascent, long* descent) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
    *ascent = os2->usWinAscent;
    *descent = os2->usWinDescent;
  } else {
    *ascent = face->ascender;
    *descent = -face->descender;
  }
  if (*ascent + *descent <= 0) {
    *ascent = face->units_per_EM;
    *descent = 0;
  }
}

// Largest glyph size drawn: beyond it a glyph is bigger than any screen.
constexpr long max_em_pixels = 2048;
// GDI's choice when a font asks for height 0.
constexpr long default_cell_pixels = 16;

void draw_glyph_bitmap(plat_surface* s, const FT_Bitmap& bitmap, std::int64_t left, std::int64_t top,
                       std::uint16_t pixel) {
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    const std::int64_t y = top + row;
    if (y < 0 || y >= s->height)
      continue;
    const unsigned char* bits = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
    std::uint16_t* line = surface_row(s, static_cast<std::uint32_t>(y));
    for (unsigned col = 0; col < bitmap.width; ++col) {
      if (!(bits[col >> 3] & (0x80 >> (col & 7))))
        continue;
      const std::int64_t x = left + col;
      if (x < 0 || x >= s->width)
        continue;
      line[x] = pixel;
    }
  }
}

}  // namespace

void use_text_font(const char* path) {
  if (font.face)
    FT_Done_Face(font.face);
  if (font.library)
    FT_Done_FreeType(font.library);
  font = text_face{};
  if (path)
    font.path = path;
}

const char* text_font_path() {
  return font.path.c_str();
}

void plat_draw_text(plat_surface* surface, const plat_font_request& request, std::int32_t x, std::int32_t y,
                    std::uint32_t colour, const char* text, std::uint32_t length) {
  // A surface that is lost or locked gives no drawing context.
  if (!surface || surface->lost || surface->locked || !text || length == 0)
    return;
  FT_Face face = loaded_face();
  if (!face)
    return;

  long ascent_units, descent_units;
  cell_units(face, &ascent_units, &descent_units);
  const long cell_units_total = ascent_units + descent_units;
  long em;
  if (request.height < 0) {
    em = -static_cast<long>(request.height);
  } else {
    const long cell = request.height == 0 ? default_cell_pixels : request.height;
    em = (cell * face->units_per_EM + cell_units_total / 2) / cell_units_total;
  }
  em = std::clamp(em, 1L, max_em_pixels);
  const long ascent = (ascent_units * em + face->units_per_EM / 2) / face->units_per_EM;
  const long cell = ((ascent_units + descent_units) * em + face->units_per_EM / 2) / face->units_per_EM;
  // A line wholly above or below the surface draws nothing.
  if (static_cast<std::int64_t>(y) + cell <= 0 || y >= static_cast<std::int64_t>(surface->height))
    return;
  if (x >= static_cast<std::int64_t>(surface->width))
    return;
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em)) != 0)
    return;

  const bool bold = request.weight >= 700;
  const std::uint16_t pixel = colour_to_pixel(surface->layout, colour);
  const std::int64_t baseline = static_cast<std::int64_t>(y) + ascent;
  std::int64_t pen = x;
  for (char32_t c : sjis_to_utf32(text, length)) {
    if (pen >= static_cast<std::int64_t>(surface->width))
      break;
    const FT_UInt index = FT_Get_Char_Index(face, c);
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0)
      continue;
    const FT_GlyphSlot g = face->glyph;
    if (g->bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
      const std::int64_t left = pen + g->bitmap_left;
      const std::int64_t top = baseline - g->bitmap_top;
      draw_glyph_bitmap(surface, g->bitmap, left, top, pixel);
      if (bold)
        draw_glyph_bitmap(surface, g->bitmap, left + 1, top, pixel);
    }
    pen += (g->advance.x + 32) >> 6;
    if (bold)
      pen += 1;
  }
}

}  // namespace shindan
