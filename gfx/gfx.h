// Graphics: the display, picture slots, keyed blits with their clipping, the
// software blends on 16-bit pixels, and text.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace shindan {

constexpr std::int32_t screen_width = 640;
constexpr std::int32_t screen_height = 480;

// ---- display
struct display_record {
  plat_display* direct_draw = nullptr;
  plat_surface* primary_surface = nullptr;
  plat_surface* back_buffer = nullptr;
};
extern display_record display;

bool init_display();
void close_display();
void clear_back_buffer();
void present_frame();

// ---- picture slots
constexpr int image_slot_count = 100;
struct image_slot {
  plat_surface* surface = nullptr;
  char file_name[256] = {};
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::int32_t pitch = 0;
  std::uint32_t colour_key = 0;  // colour 0x00BBGGRR
};
extern image_slot images[image_slot_count];

bool load_image(image_slot* slot, const char* file_name);
plat_result set_colour_key(image_slot* slot, std::uint32_t colour);

// ---- blits
void draw_image(std::int32_t x, std::int32_t y, image_slot* slot, std::int32_t left, std::int32_t top,
                std::int32_t right, std::int32_t bottom);
void draw_image_scaled(std::int32_t x, std::int32_t y, image_slot* slot, float scale_x, float scale_y,
                       std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
void draw_image_scaled_centred(std::int32_t centre_x, std::int32_t centre_y, image_slot* slot, float scale_x,
                               float scale_y, std::int32_t left, std::int32_t top, std::int32_t right,
                               std::int32_t bottom);
bool clip_to_screen(std::int32_t* x, std::int32_t* y, plat_rect* out, std::int32_t left, std::int32_t top,
                    std::int32_t right, std::int32_t bottom);

// ---- pixel format and software blends
struct pixel_format_record {
  std::uint16_t red_mask = 0, green_mask = 0, blue_mask = 0;
  std::int32_t pitch = 0;
  std::uint16_t red_shift = 0, green_shift = 0, blue_shift = 0;
  std::uint16_t red_per_blue = 0, green_per_blue = 0;
};
extern pixel_format_record pixel_format;

void read_pixel_format();
bool draw_image_translucent(std::int32_t x, std::int32_t y, float transparency, image_slot* slot, std::int32_t left,
                            std::int32_t top, std::int32_t right, std::int32_t bottom);
bool draw_image_additive(std::int32_t x, std::int32_t y, image_slot* slot, std::int32_t left, std::int32_t top,
                         std::int32_t right, std::int32_t bottom);
bool fill_noise(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);
// Whether fill_noise uses the processor's 256-bit vectors; on where they
// exist. Tests switch it off to check the narrower path on the same machine.
extern bool noise_uses_avx2;

// ---- text (Shift-JIS)
void draw_text(const char* text, std::int32_t height, std::int32_t x, std::int32_t y, std::int32_t red,
               std::int32_t green, std::int32_t blue);

}  // namespace shindan
