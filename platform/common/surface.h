// Memory surfaces: the display, the back buffer and pictures held as plain
// 16-bit pixel arrays, for the backends that have no DirectDraw underneath.
// Each backend keeps these records; the common code implements the picture
// and drawing operations of platform.h on them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/common/bmp_decode.h"
#include "platform/platform.h"

namespace shindan {

// What a restored surface holds until the program draws it again: a loud
// magenta in either layout, so a missing repaint shows.
constexpr std::uint16_t restored_garbage = 0xF81F;

struct plat_display {
  pixel_layout layout = pixel_layout::rgb565;
};

struct plat_surface {
  pixel_layout layout = pixel_layout::rgb565;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::int32_t pitch = 0;             // bytes per row, a multiple of 4
  std::vector<std::uint16_t> memory;  // (pitch / 2) * height pixels
  bool has_colour_key = false;
  std::uint32_t colour_key = 0;  // raw pixel value
  bool locked = false;
  bool lost = false;
  bool primary = false;
  plat_surface* attached = nullptr;  // the primary's back buffer
};

// Every surface alive, so that a loss can reach them all at once.
extern std::vector<plat_surface*> live_surfaces;
// Whether keyed copies use the processor's 256-bit vectors; on where they
// exist. Tests switch it off to check the narrower path on the same machine.
extern bool keyed_copy_uses_avx2;

// A surface of the given size, filled with black, entered in live_surfaces.
// Null when the size is zero or too large to hold.
plat_surface* create_surface(pixel_layout layout, std::uint32_t width, std::uint32_t height);
// A picture's surface: its pixels, black transparent. Null when it cannot be held.
plat_surface* picture_surface(pixel_layout layout, const decoded_picture& picture);
// Copies the picture's pixels into a surface of its size; false when the sizes differ.
bool fill_picture(plat_surface* surface, const decoded_picture& picture);
// Every live surface loses its memory until it is restored.
void lose_all_surfaces();
// Frees every live surface (for backends that reset between runs).
void release_all_surfaces();

std::uint32_t red_mask_of(pixel_layout layout);
std::uint32_t green_mask_of(pixel_layout layout);
std::uint32_t blue_mask_of(pixel_layout layout);
// Colour 0x00BBGGRR to a pixel, keeping the top bits of each channel.
std::uint16_t colour_to_pixel(pixel_layout layout, std::uint32_t colour);

inline std::uint16_t* surface_row(plat_surface* surface, std::uint32_t y) {
  return surface->memory.data() + static_cast<std::size_t>(y) * (static_cast<std::uint32_t>(surface->pitch) / 2);
}

// The copy plat_present makes: screen of back_buffer onto the primary.
plat_result present_copy(plat_surface* primary, plat_surface* back_buffer, const plat_rect& screen);

}  // namespace shindan
