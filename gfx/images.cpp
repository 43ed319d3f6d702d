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

  plat_pixels info;
  plat_describe(surface, &info);
  slot->width = info.width;
  slot->height = info.height;
  slot->pitch = info.pitch;
  return true;
}

plat_result set_colour_key(image_slot* slot, std::uint32_t colour) {
  slot->colour_key = colour;
  if (slot->surface == nullptr) {
    return plat_result::failed;
  }
  return plat_set_colour_key(slot->surface, colour);
}

}  // namespace shindan
