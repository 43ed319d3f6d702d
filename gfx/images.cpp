// Picture slots: bitmap files turned into surfaces in the display's format,
// each keyed so that its black pixels stay transparent.
#include <cstring>

#include "gfx/gfx.h"

namespace shindan {

image_slot images[image_slot_count];

namespace {

// Copies a name into a slot-sized buffer, cut to fit and always terminated.
void copy_file_name(char (&target)[sizeof(image_slot::file_name)], const char* name) {
  const std::size_t length = strnlen(name, sizeof(target) - 1);
  std::memmove(target, name, length);
  target[length] = '\0';
}

}  // namespace

bool load_image(image_slot* slot, const char* file_name) {
  if (slot == nullptr || file_name == nullptr) {
    return false;
  }
  plat_surface* surface = plat_load_picture(display.direct_draw, file_name);
  if (surface == nullptr) {
    return false;
  }
  // A reload after surface loss passes the slot's own name: take a copy
  // before the slot changes.
  char name[sizeof(image_slot::file_name)];
  copy_file_name(name, file_name);

  // The new surface replaces any earlier one, which would otherwise be lost
  // for the rest of the run.
  if (slot->surface != nullptr && slot->surface != surface) {
    plat_release_surface(slot->surface);
  }
  slot->surface = surface;
  copy_file_name(slot->file_name, name);
  set_colour_key(slot, 0);

  plat_surface_info info;
  plat_surface_describe(surface, &info);
  slot->width = info.width;
  slot->height = info.height;
  slot->pitch = info.pitch;
  return true;
}

plat_result set_colour_key(image_slot* slot, std::uint32_t colour) {
  slot->colour_key = colour;
  if (slot->surface == nullptr) {
    return plat_failed;
  }
  const std::uint32_t key = match_colour(slot->surface, colour);
  return plat_set_colour_key(slot->surface, key);
}

std::uint32_t match_colour(plat_surface* surface, std::uint32_t colour) {
  std::uint32_t result = 0xFFFFFFFFu;
  if (surface == nullptr) {
    return result;
  }
  // Let the window system convert the colour by writing it into the first
  // pixel, then read back the raw value it became.
  std::uint32_t saved = 0;
  const bool swapped = plat_swap_first_pixel(surface, colour, &saved);

  plat_locked locked;
  plat_result locking;
  do {
    locking = plat_lock(surface, false, &locked);
  } while (locking == plat_still_drawing);

  if (!plat_failed_result(locking)) {
    // Only the first pixel's own bytes are read: a one-pixel surface may end
    // right after them.
    if (locked.pixels != nullptr && locked.width > 0 && locked.height > 0) {
      std::uint32_t bytes = (locked.bit_count + 7) / 8;
      if (bytes > 4) {
        bytes = 4;
      }
      const auto* first = static_cast<const std::uint8_t*>(locked.pixels);
      std::uint32_t word = 0;
      for (std::uint32_t i = 0; i < bytes; ++i) {
        word |= static_cast<std::uint32_t>(first[i]) << (8 * i);
      }
      if (locked.bit_count < 32) {
        word &= (1u << locked.bit_count) - 1u;
      }
      result = word;
    }
    plat_unlock(surface);
  }

  // The picture's top-left pixel goes back to what the file held.
  if (swapped) {
    plat_put_first_pixel(surface, saved);
  }
  return result;
}

}  // namespace shindan
