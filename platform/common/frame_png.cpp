#include "platform/common/frame_png.h"

#include <png.h>

#include <cstddef>
#include <vector>

namespace shindan {

namespace {

std::uint32_t widen(std::uint32_t value, int bits) {
  return bits == 5 ? (value << 3) | (value >> 2) : (value << 2) | (value >> 4);
}

// libpng reports errors by longjmp; keeping the setjmp in a function of its
// own leaves no caller's locals to be clobbered.
bool encode_png(std::FILE* file, const png_byte* rgb, std::int32_t width, std::int32_t height) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr)
    return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (std::int32_t y = 0; y < height; ++y)
    png_write_row(png, rgb + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

std::uint32_t frame_pixel_rgb(std::uint16_t pixel, bool five_five_five) {
  std::uint32_t r, g, b;
  if (five_five_five) {
    r = widen((pixel >> 10) & 31u, 5);
    g = widen((pixel >> 5) & 31u, 5);
  } else {
    r = widen((pixel >> 11) & 31u, 5);
    g = widen((pixel >> 5) & 63u, 6);
  }
  b = widen(pixel & 31u, 5);
  return (r << 16) | (g << 8) | b;
}

bool write_frame_png(std::FILE* file, const std::uint16_t* pixels, std::int32_t pitch, std::int32_t width,
                     std::int32_t height, bool five_five_five) {
  if (file == nullptr || pixels == nullptr || width <= 0 || height <= 0 || pitch < width * 2)
    return false;
  const auto w = static_cast<std::size_t>(width);
  std::vector<png_byte> rgb(w * static_cast<std::size_t>(height) * 3);
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint16_t* row = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(pitch / 2);
    png_byte* out = &rgb[static_cast<std::size_t>(y) * w * 3];
    for (std::size_t x = 0; x < w; ++x) {
      const std::uint32_t c = frame_pixel_rgb(row[x], five_five_five);
      out[x * 3] = static_cast<png_byte>(c >> 16);
      out[x * 3 + 1] = static_cast<png_byte>(c >> 8);
      out[x * 3 + 2] = static_cast<png_byte>(c);
    }
  }
  return encode_png(file, rgb.data(), width, height);
}

}  // namespace shindan
