// The program's icon: a red disc with a white ring around a red centre, the
// picture the Windows build carries in its resource. Each size is drawn from
// the shapes themselves, so the small ones stay sharp instead of being
// shrunk from a large bitmap.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "tools/assetgen/assetgen.h"

namespace shindan::assetgen {

namespace {

// Radii as shares of the icon's side, measured on the 32-pixel Windows icon.
constexpr float disc_radius = 12.5f / 32;
constexpr float ring_outer = 5.4f / 32;
constexpr float ring_inner = 2.5f / 32;
// The maskable icon's disc, within the 0.4 of the side every mask keeps.
constexpr float maskable_disc_radius = 0.3f;
const rgb red{192, 32, 48};
const rgb white{255, 255, 255};

// Samples per pixel along each axis: enough for smooth edges at 16 pixels.
constexpr int samples = 8;

void write_to_vector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

std::uint8_t byte_of(float v) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

icon_picture draw_icon(int size, float zoom) {
  icon_picture icon{make_canvas(size, size), make_plane(size, size)};
  const float centre = size / 2.0f;
  const float step = 1.0f / samples;
  // Small sizes put the ring's edges on whole pixels, or the thin ring
  // blurs into pink.
  const auto radius = [size, zoom](float share) {
    const float r = share * zoom * size;
    return size <= 32 ? std::max(1.0f, std::round(r)) / size : share * zoom;
  };
  const float disc = radius(disc_radius);
  const float outer = radius(ring_outer);
  const float inner = radius(ring_inner);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      rgb sum;
      int inside = 0;
      for (int sy = 0; sy < samples; ++sy) {
        for (int sx = 0; sx < samples; ++sx) {
          const float dx = (x + (sx + 0.5f) * step - centre) / size;
          const float dy = (y + (sy + 0.5f) * step - centre) / size;
          const float r = std::sqrt(dx * dx + dy * dy);
          if (r >= disc)
            continue;
          const rgb c = (r >= inner && r < outer) ? white : red;
          sum.r += c.r;
          sum.g += c.g;
          sum.b += c.b;
          ++inside;
        }
      }
      const float cover = static_cast<float>(inside) / (samples * samples);
      at(icon.alpha, x, y) = cover;
      // The colour the covered part averages to; the canvas alone shows
      // it over black, as the Windows icon has it.
      at(icon.colour, x, y) = inside > 0 ? scale(sum, 1.0f / (samples * samples)) : rgb{};
    }
  }
  return icon;
}

std::vector<std::uint8_t> png_bytes(const icon_picture& icon) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  const int w = icon.colour.width;
  const int h = icon.colour.height;
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const float a = get(icon.alpha, x, y);
      const rgb c = icon.colour.pixels[static_cast<std::size_t>(y) * w + x];
      // PNG keeps straight colour: undo the blend over black.
      const float k = a > 0 ? 1.0f / a : 0.0f;
      std::uint8_t* p = &rows[(static_cast<std::size_t>(y) * w + x) * 4];
      p[0] = byte_of(c.r * k);
      p[1] = byte_of(c.g * k);
      p[2] = byte_of(c.b * k);
      p[3] = byte_of(a * 255);
    }
  }
  std::vector<png_bytep> row_pointers(static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y)
    row_pointers[static_cast<std::size_t>(y)] = &rows[static_cast<std::size_t>(y) * w * 4];
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, write_to_vector, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  png_set_rows(png, info, row_pointers.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

void make_window_icon(file_set* out) {
  // A plain 24-bit bitmap every loader reads.
  (*out)["icon.bmp"] = bmp_bytes(draw_icon(64).colour);
}

icon_picture draw_maskable_icon(int size) {
  // A launcher may cut the icon to any shape that holds the centred circle
  // of 80% of its side: the disc keeps well inside that, on the page's black
  // filling the whole square.
  icon_picture icon = draw_icon(size, maskable_disc_radius / disc_radius);
  for (float& a : icon.alpha.v)
    a = 1.0f;
  return icon;
}

bool make_theme_icons(file_set* out) {
  for (const int size : icon_sizes) {
    const std::string name = "hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/shindan.png";
    std::vector<std::uint8_t> bytes = png_bytes(draw_icon(size));
    if (bytes.empty())
      return false;
    (*out)[name] = std::move(bytes);
  }
  // The web page's install icons: the disc as it is at 192 and 512, and
  // the maskable one.
  for (const int size : {192, 512}) {
    std::vector<std::uint8_t> bytes = png_bytes(draw_icon(size));
    if (bytes.empty())
      return false;
    (*out)["web/icon-" + std::to_string(size) + ".png"] = std::move(bytes);
  }
  std::vector<std::uint8_t> maskable = png_bytes(draw_maskable_icon(512));
  if (maskable.empty())
    return false;
  (*out)["web/icon-maskable-512.png"] = std::move(maskable);
  return true;
}

}  // namespace shindan::assetgen
