// The display on SDL2: one window, full screen at the desktop's own size,
// showing the 640x480 back buffer scaled to fit with its aspect kept, black
// bars around it and sharp pixels. The back buffer and the primary are the
// common memory surfaces; presenting copies the back buffer onto the
// primary and streams the primary, in its own 5-6-5 format, into a texture
// that the renderer draws once per frame. The renderer waits for the
// display's vertical blank, so frames follow the display's rate without the
// loop ever sleeping on its own.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/common/surface.h"
#include "platform/sdl/sdl.h"

namespace shindan {

namespace {

constexpr int picture_width = 640;
constexpr int picture_height = 480;

struct renderer_state {
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
};
renderer_state screen;

// Tests and players who want a window ask for one; it then opens at exactly
// 640x480 so that what it shows can be compared pixel for pixel.
bool windowed_start() {
  const char* v = std::getenv("SHINDAN_WINDOWED");
  return v != nullptr && std::strcmp(v, "1") == 0;
}

// The window's size once it leaves full screen: the largest whole multiple
// of the picture that fits comfortably on the desktop.
int window_scale() {
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0)
    return 1;
  const int by_width = usable.w * 9 / 10 / picture_width;
  const int by_height = usable.h * 9 / 10 / picture_height;
  return std::max(1, std::min(by_width, by_height));
}

void complain(const char* what) {
  std::fprintf(stderr, "shindan: %s: %s\n", what, SDL_GetError());
}

// Where the picture goes in an output of w by h pixels: as large as fits
// with its aspect kept, by a whole factor whenever at least 1x fits.
SDL_Rect fitted_rect(int w, int h) {
  double scale = std::min(static_cast<double>(w) / picture_width, static_cast<double>(h) / picture_height);
  if (scale >= 1.0)
    scale = std::floor(scale);
  SDL_Rect r;
  r.w = std::max(1, static_cast<int>(picture_width * scale));
  r.h = std::max(1, static_cast<int>(picture_height * scale));
  r.x = (w - r.w) / 2;
  r.y = (h - r.h) / 2;
  return r;
}

void release_renderer() {
  if (screen.texture != nullptr)
    SDL_DestroyTexture(screen.texture);
  if (screen.renderer != nullptr)
    SDL_DestroyRenderer(screen.renderer);
  screen = renderer_state{};
}

}  // namespace

void set_window_fullscreen(bool fullscreen) {
  if (window.sdl == nullptr || window.fullscreen == fullscreen)
    return;
  if (SDL_SetWindowFullscreen(window.sdl, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0)
    window.fullscreen = fullscreen;
}

plat_display_stage plat_open_display(plat_display_objects* objects) {
  if (!window.open || objects == nullptr || screen.renderer != nullptr)
    return plat_display_stage::no_device;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    complain("no display");
    return plat_display_stage::no_device;
  }
  // Without a display SDL falls back to drawing into memory; a player would
  // see nothing, so that counts as no display unless asked for by name.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  if (driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
      (asked == nullptr || std::strcmp(asked, driver) != 0)) {
    std::fprintf(stderr, "shindan: no display\n");
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return plat_display_stage::no_device;
  }

  const bool windowed = windowed_start();
  const int scale = windowed ? 1 : window_scale();
  Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN;
  if (!windowed)
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  window.sdl = SDL_CreateWindow("shindan", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, picture_width * scale,
                                picture_height * scale, flags);
  if (window.sdl == nullptr) {
    complain("cannot open the window");
    return plat_display_stage::no_exclusive_mode;
  }
  window.fullscreen = !windowed;
  SDL_SetWindowMinimumSize(window.sdl, picture_width / 2, picture_height / 2);

  auto* device = new plat_display;
  device->layout = pixel_layout::rgb565;
  objects->device = device;

  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  screen.renderer = SDL_CreateRenderer(window.sdl, -1, SDL_RENDERER_PRESENTVSYNC);
  if (screen.renderer == nullptr) {
    complain("cannot create a renderer");
    return plat_display_stage::no_primary_surface;
  }
  plat_surface* primary = create_surface(device->layout, picture_width, picture_height);
  if (primary == nullptr) {
    release_renderer();
    return plat_display_stage::no_primary_surface;
  }
  primary->primary = true;
  objects->primary_surface = primary;

  screen.texture = SDL_CreateTexture(screen.renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                     picture_width, picture_height);
  plat_surface* back =
      screen.texture != nullptr ? create_surface(device->layout, picture_width, picture_height) : nullptr;
  if (back == nullptr) {
    complain("cannot create the picture's texture");
    return plat_display_stage::no_back_buffer;
  }
  SDL_SetTextureScaleMode(screen.texture, SDL_ScaleModeNearest);
  primary->attached = back;
  objects->back_buffer = back;

  // Black at once, rather than whatever the window held, while the first
  // frame loads the pictures.
  SDL_SetRenderDrawColor(screen.renderer, 0, 0, 0, 255);
  SDL_RenderClear(screen.renderer);
  SDL_RenderPresent(screen.renderer);
  return plat_display_stage::ready;
}

void plat_close_display(const plat_display_objects& objects) {
  if (objects.primary_surface != nullptr)
    plat_release_surface(objects.primary_surface);  // the back buffer goes with it
  release_renderer();
  delete objects.device;
}

void plat_flip_to_desktop(plat_display*) {
  // Nothing to flip: every message box steps the window out of full screen
  // for as long as it is shown (plat_message_box).
}

plat_result plat_present(const plat_display_objects& objects) {
  plat_surface* primary = objects.primary_surface;
  const plat_rect whole{0, 0, picture_width, picture_height};
  const plat_result r = present_copy(primary, objects.back_buffer, whole);
  if (r != plat_result::ok)
    return r;
  if (screen.renderer == nullptr || screen.texture == nullptr || primary == nullptr)
    return plat_result::failed;
  if (primary->width < static_cast<std::uint32_t>(picture_width) ||
      primary->height < static_cast<std::uint32_t>(picture_height))
    return plat_result::failed;
  SDL_UpdateTexture(screen.texture, nullptr, primary->memory.data(), primary->pitch);
  int w = 0;
  int h = 0;
  if (SDL_GetRendererOutputSize(screen.renderer, &w, &h) != 0 || w <= 0 || h <= 0)
    return plat_result::ok;  // nothing to draw into (minimised)
  const SDL_Rect target = fitted_rect(w, h);
  SDL_SetRenderDrawColor(screen.renderer, 0, 0, 0, 255);
  SDL_RenderClear(screen.renderer);
  SDL_RenderCopy(screen.renderer, screen.texture, nullptr, &target);
  SDL_RenderPresent(screen.renderer);
  return plat_result::ok;
}

}  // namespace shindan
