// One line of Shift-JIS text drawn onto the back buffer in a bold Mincho
// face. Nothing is kept between calls: the font is asked for every time.
#include <cstring>

#include "gfx/gfx.h"

namespace shindan {

namespace {

// "標準明朝" (standard Mincho) in Shift-JIS.
constexpr const char* mincho_face = "\x95\x57\x8f\x80\x96\xbe\x92\xa9";
constexpr std::int32_t bold_weight = 700;

}  // namespace

void draw_text(const char* text, std::int32_t height, std::int32_t x, std::int32_t y, std::int32_t red,
               std::int32_t green, std::int32_t blue) {
  if (text == nullptr || display.back_buffer == nullptr) {
    return;
  }
  plat_font_request font;
  font.height = height;
  font.weight = bold_weight;
  font.face = mincho_face;
  // Only the low byte of each channel counts; the colour is laid out as
  // 0x00BBGGRR like a window-system colour value.
  const std::uint32_t colour = (static_cast<std::uint32_t>(red) & 0xFFu) |
                               ((static_cast<std::uint32_t>(green) & 0xFFu) << 8) |
                               ((static_cast<std::uint32_t>(blue) & 0xFFu) << 16);
  plat_draw_text(display.back_buffer, font, x, y, colour, text, static_cast<std::uint32_t>(std::strlen(text)));
}

}  // namespace shindan
