// The full-screen display: set-up with a message per failing stage, the
// per-frame clear and present, and the teardown that gives the desktop back.
#include "app/shell.h"
#include "gfx/gfx.h"

namespace shindan {

display_record display;

namespace {

constexpr plat_rect screen_rect{0, 0, screen_width, screen_height};

// Shift-JIS texts of the set-up failures that have a box of their own.
// "フルスクリーン化できません" (cannot go full screen)
constexpr const char* text_no_exclusive_mode =
    "\x83\x74\x83\x8b\x83\x58\x83\x4e\x83\x8a\x81\x5b\x83\x93\x89\xbb\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";
// "解像度が変更できません" (cannot change the resolution)
constexpr const char* text_no_display_mode =
    "\x89\xf0\x91\x9c\x93\x78\x82\xaa\x95\xcf\x8d\x58\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";
// "プライマリィサーフェースが生成できません" (cannot create the primary surface)
constexpr const char* text_no_primary_surface =
    "\x83\x76\x83\x89\x83\x43\x83\x7d\x83\x8a\x83\x42\x83\x54\x81\x5b\x83\x74\x83\x46\x81\x5b\x83\x58\x82\xaa\x90\xb6"
    "\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";
// "バックバッファが生成できません" (cannot create the back buffer)
constexpr const char* text_no_back_buffer =
    "\x83\x6f\x83\x62\x83\x4e\x83\x6f\x83\x62\x83\x74\x83\x40\x82\xaa\x90\xb6\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9"
    "\x82\xf1";

// The device only counts as ours once its full interface was obtained; before
// that a failure box must not try to flip the display to the desktop.
bool device_interface_obtained(plat_display_stage stage) {
  switch (stage) {
    case plat_display_stage::no_device:
    case plat_display_stage::no_exclusive_mode:
    case plat_display_stage::no_device_interface:
      return false;
    default:
      return true;
  }
}

}  // namespace

bool init_display() {
  plat_display_objects objects;
  const plat_display_stage stage = plat_open_display(&objects);

  // The objects go into the record before any box is shown, so that the box
  // knows whether the display has to be flipped first.
  display.direct_draw = device_interface_obtained(stage) ? objects.device : nullptr;
  display.primary_surface = objects.primary_surface;
  display.back_buffer = objects.back_buffer;

  switch (stage) {
    case plat_display_stage::ready:
      return true;
    case plat_display_stage::no_exclusive_mode:
      return report_error(text_no_exclusive_mode);
    case plat_display_stage::no_display_mode:
      return report_error(text_no_display_mode);
    case plat_display_stage::no_primary_surface:
      return report_error(text_no_primary_surface);
    case plat_display_stage::no_back_buffer:
      return report_error(text_no_back_buffer);
    case plat_display_stage::no_device:
    case plat_display_stage::no_device_interface:
    case plat_display_stage::no_surface_interface:
      return false;
  }
  return false;
}

void close_display() {
  if (display.direct_draw == nullptr) {
    return;
  }
  // Pictures first: they belong to the device that goes down last.
  for (image_slot& slot : images) {
    if (slot.surface != nullptr) {
      plat_release_surface(slot.surface);
      slot.surface = nullptr;
    }
  }
  plat_display_objects objects;
  objects.device = display.direct_draw;
  objects.primary_surface = display.primary_surface;
  objects.back_buffer = display.back_buffer;
  plat_close_display(objects);
  // Nothing may reach the released objects afterwards.
  display.direct_draw = nullptr;
  display.primary_surface = nullptr;
  display.back_buffer = nullptr;
}

void clear_back_buffer() {
  if (display.back_buffer == nullptr) {
    return;
  }
  plat_fill(display.back_buffer, screen_rect, 0);
}

void present_frame() {
  if (display.primary_surface == nullptr || display.back_buffer == nullptr) {
    return;
  }
  // A lost screen is given its memory back; this frame is simply not shown.
  plat_display_objects objects;
  objects.device = display.direct_draw;
  objects.primary_surface = display.primary_surface;
  objects.back_buffer = display.back_buffer;
  if (plat_present(objects) == plat_result::lost) {
    plat_restore_surface(display.primary_surface);
  }
}

}  // namespace shindan
