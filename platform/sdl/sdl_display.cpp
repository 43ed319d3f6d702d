// The display on SDL2: one window, full screen at the desktop's own size,
// showing the 640x480 back buffer as large as the window allows with its
// aspect kept and black bars around it. The back buffer and the primary are
// the common memory surfaces; presenting copies the back buffer onto the
// primary and streams the primary, in its own 5-6-5 format, into a texture
// that the renderer draws once per frame.
//
// The pixels stay sharp at any size the way pixel-art ports keep them: the
// picture is first blown up by the largest whole factor that fits, pixel
// for pixel, and only that is smoothed down to the final size, so the
// blending touches no more than the seams between enlarged pixels.
// SHINDAN_SCALE=integer keeps to whole factors alone (black bars wherever
// the window is no whole multiple).
//
// Frames follow the display's rate: the renderer waits for the vertical
// blank, and where the driver ignores that wait (a virtual X server, some
// virtual machines, vsync forced off) the present waits out the rest of the
// display's refresh period itself, so no core spins.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "platform/common/surface.h"
#include "platform/sdl/sdl.h"

namespace shindan {

namespace {

constexpr int picture_width = 640;
constexpr int picture_height = 480;

// The refresh rate assumed when the display does not tell its own.
constexpr int default_refresh_rate = 60;

// The window's name where no title file names it: 深層心理診断.
constexpr char default_title[] = "\xe6\xb7\xb1\xe5\xb1\xa4\xe5\xbf\x83\xe7\x90\x86\xe8\xa8\xba\xe6\x96\xad";

struct renderer_state {
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;  // the picture, 640x480
  // The picture enlarged by a whole factor, the sharp step before the
  // smooth one; made again when the factor changes.
  SDL_Texture* enlarged = nullptr;
  int enlarged_factor = 0;
  bool whole_factors_only = false;
  const plat_surface* shown = nullptr;  // the primary: the frame on screen
  std::chrono::steady_clock::time_point last_present;
};
renderer_state screen;

bool whole_factors_asked() {
  const char* v = std::getenv("SHINDAN_SCALE");
  return v != nullptr && std::strcmp(v, "integer") == 0;
}

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
// with its 4:3 shape kept, or, with whole factors only, by the largest
// whole factor whenever at least 1x fits.
SDL_Rect fitted_rect(int w, int h, bool whole_factors_only) {
  SDL_Rect r;
  const int factor = std::min(w / picture_width, h / picture_height);
  if (whole_factors_only && factor >= 1) {
    r.w = picture_width * factor;
    r.h = picture_height * factor;
  } else if (static_cast<long>(w) * picture_height >= static_cast<long>(h) * picture_width) {
    r.h = h;  // wider than 4:3: bars left and right
    r.w = std::min(w, static_cast<int>((static_cast<long>(h) * picture_width + picture_height / 2) / picture_height));
  } else {
    r.w = w;
    r.h = std::min(h, static_cast<int>((static_cast<long>(w) * picture_height + picture_width / 2) / picture_width));
  }
  r.w = std::max(1, r.w);
  r.h = std::max(1, r.h);
  r.x = (w - r.w) / 2;
  r.y = (h - r.h) / 2;
  return r;
}

// The texture to draw into target: the picture itself where it lands at a
// whole multiple of its size (or whole factors were asked for), else the
// picture enlarged pixel for pixel by the largest whole factor that fits,
// which the renderer then smooths to the target's size. Where the renderer
// cannot draw into textures, the picture is drawn as it is.
SDL_Texture* texture_for(const SDL_Rect& target) {
  const int factor = std::max(1, std::min(target.w / picture_width, target.h / picture_height));
  if (screen.whole_factors_only || (target.w == picture_width * factor && target.h == picture_height * factor))
    return screen.texture;
  if (SDL_RenderTargetSupported(screen.renderer) == SDL_FALSE)
    return screen.texture;
  if (screen.enlarged_factor != factor) {
    if (screen.enlarged != nullptr)
      SDL_DestroyTexture(screen.enlarged);
    screen.enlarged = SDL_CreateTexture(screen.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET,
                                        picture_width * factor, picture_height * factor);
    screen.enlarged_factor = factor;
    if (screen.enlarged != nullptr)
      SDL_SetTextureScaleMode(screen.enlarged, SDL_ScaleModeLinear);
  }
  if (screen.enlarged == nullptr || SDL_SetRenderTarget(screen.renderer, screen.enlarged) != 0)
    return screen.texture;
  SDL_RenderCopy(screen.renderer, screen.texture, nullptr, nullptr);
  SDL_SetRenderTarget(screen.renderer, nullptr);
  return screen.enlarged;
}

// A file of the game folder: the working directory, where the pictures
// are, else beside the program.
std::string game_file(const char* name) {
  if (std::ifstream(name).good())
    return name;
  char* base = SDL_GetBasePath();
  std::string path = base != nullptr ? std::string(base) + name : std::string();
  SDL_free(base);
  return !path.empty() && std::ifstream(path).good() ? path : std::string();
}

// The window's name: the first line of title.txt (UTF-8) when the edition
// brings one, else the game's Japanese name.
std::string window_title() {
  const std::string path = game_file("title.txt");
  std::string line;
  if (!path.empty()) {
    std::ifstream file(path);
    std::getline(file, line);
  }
  if (line.rfind("\xef\xbb\xbf", 0) == 0)
    line.erase(0, 3);  // a byte-order mark some editors write
  while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  return line.empty() ? std::string(default_title) : line;
}

void set_window_icon(SDL_Window* sdl) {
  const std::string path = game_file("icon.bmp");
  SDL_Surface* icon = path.empty() ? nullptr : SDL_LoadBMP(path.c_str());
  if (icon == nullptr)
    return;
  SDL_SetWindowIcon(sdl, icon);
  SDL_FreeSurface(icon);
}

// Gives the window the whole display it is on. The window is first laid
// over the display as a borderless window of its size and only then marked
// full screen: a window manager makes it full screen as asked, and an X
// server without one, which would leave the window at its old size while
// SDL takes it for the display's, finds it at the right size already.
void cover_display(SDL_Window* sdl) {
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(sdl)), &bounds) == 0) {
    SDL_SetWindowBordered(sdl, SDL_FALSE);
    SDL_SetWindowPosition(sdl, bounds.x, bounds.y);
    SDL_SetWindowSize(sdl, bounds.w, bounds.h);
  }
}

// Waits out what is left of the display's refresh period since the last
// present. Where the renderer waits for the vertical blank, nothing is left.
// The wait stops a little short of the period: the rate the display reports
// is rounded (and unknown on some), and a wait longer than the real period
// would make a vsync'd present miss every few blanks.
void pace_frame() {
  int rate = 0;
  SDL_DisplayMode mode;
  if (window.sdl != nullptr && SDL_GetWindowDisplayMode(window.sdl, &mode) == 0)
    rate = mode.refresh_rate;
  if (rate <= 0)
    rate = default_refresh_rate;
  const auto shortest = std::chrono::nanoseconds(950000000 / rate);
  const auto due = screen.last_present + shortest;
  if (std::chrono::steady_clock::now() < due)
    std::this_thread::sleep_until(due);
  screen.last_present = std::chrono::steady_clock::now();
}

void release_renderer() {
  if (screen.enlarged != nullptr)
    SDL_DestroyTexture(screen.enlarged);
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
  if (fullscreen) {
    cover_display(window.sdl);
    if (SDL_SetWindowFullscreen(window.sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0)
      window.fullscreen = true;
    return;
  }
  if (SDL_SetWindowFullscreen(window.sdl, 0) != 0)
    return;
  window.fullscreen = false;
  const int scale = window_scale();
  SDL_SetWindowBordered(window.sdl, SDL_TRUE);
  SDL_SetWindowSize(window.sdl, picture_width * scale, picture_height * scale);
  SDL_SetWindowPosition(window.sdl, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

const plat_surface* shown_frame() {
  return screen.renderer != nullptr ? screen.shown : nullptr;
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

  // Full screen is made over the display's whole area from the start (see
  // cover_display); a window asked for opens at exactly 640x480.
  const bool windowed = windowed_start();
  SDL_Rect area{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, picture_width, picture_height};
  Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN;
  if (!windowed) {
    if (SDL_GetDisplayBounds(0, &area) != 0)
      area = SDL_Rect{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, picture_width, picture_height};
    flags |= SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP;
  }
  window.sdl = SDL_CreateWindow(window_title().c_str(), area.x, area.y, area.w, area.h, flags);
  if (window.sdl == nullptr) {
    complain("cannot open the window");
    return plat_display_stage::no_exclusive_mode;
  }
  window.fullscreen = !windowed;
  SDL_SetWindowMinimumSize(window.sdl, picture_width / 2, picture_height / 2);
  set_window_icon(window.sdl);

  auto* device = new plat_display;
  device->layout = pixel_layout::rgb565;
  objects->device = device;

  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  screen.renderer = SDL_CreateRenderer(window.sdl, -1, SDL_RENDERER_PRESENTVSYNC | SDL_RENDERER_TARGETTEXTURE);
  if (screen.renderer == nullptr)  // a renderer that cannot draw into textures still shows the picture
    screen.renderer = SDL_CreateRenderer(window.sdl, -1, SDL_RENDERER_PRESENTVSYNC);
  screen.whole_factors_only = whole_factors_asked();
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
  screen.shown = primary;

  // Black at once, rather than whatever the window held, while the first
  // frame loads the pictures.
  SDL_SetRenderDrawColor(screen.renderer, 0, 0, 0, 255);
  SDL_RenderClear(screen.renderer);
  SDL_RenderPresent(screen.renderer);
  screen.last_present = std::chrono::steady_clock::now();
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
  // Fitted anew every frame to the size the renderer draws into, so that
  // every change of the window's size is followed at once.
  int w = 0;
  int h = 0;
  if (SDL_GetRendererOutputSize(screen.renderer, &w, &h) == 0 && w > 0 && h > 0) {
    const SDL_Rect target = fitted_rect(w, h, screen.whole_factors_only);
    SDL_Texture* picture = texture_for(target);
    SDL_SetRenderDrawColor(screen.renderer, 0, 0, 0, 255);
    SDL_RenderClear(screen.renderer);
    SDL_RenderCopy(screen.renderer, picture, nullptr, &target);
    SDL_RenderPresent(screen.renderer);
  }
  // Minimised windows draw nothing and wait all the same.
  pace_frame();
  return plat_result::ok;
}

}  // namespace shindan
