// The window's events and the small services of the desktop: clock, keys,
// cursor, message boxes and the program's own path.
//
// SDL's events are turned into the three the game reacts to: Esc (auto-repeat
// included), the window's close button and the session's quit request (Alt+F4
// among them) ask to close; a tune that played to its end, told by the audio
// side through an event of our own, ends the tune; V switches speech. F11
// switches full screen and F12 saves the screen as a picture, here, and go no
// further; gamepads coming and going are opened and closed here. Everything
// else is dropped at once, so mouse movement never holds a frame up.
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "platform/common/sjis.h"
#include "platform/sdl/sdl.h"

namespace shindan {

const char plat_path_separator = '/';
desktop_window window;
std::uint32_t tune_event_type = 0;

namespace {

struct event_state {
  std::deque<plat_event> waiting;
  int cursor_count = 0;  // shown while >= 0, counted as the window system does
};
event_state events;

void translate(const SDL_Event& event) {
  if (tune_event_type != 0 && event.type == tune_event_type) {
    if (take_tune_event(event))
      events.waiting.push_back(plat_event::tune_ended);
    return;
  }
  switch (event.type) {
    case SDL_QUIT:
      events.waiting.push_back(plat_event::close_requested);
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE)
        events.waiting.push_back(plat_event::close_requested);
      break;
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
      take_pad_event(event);
      break;
    case SDL_KEYDOWN:
      // Alt+Enter stays free: Enter is one of the game's keys.
      if (event.key.keysym.scancode == SDL_SCANCODE_F11) {
        if (event.key.repeat == 0)
          set_window_fullscreen(!window.fullscreen);
      } else if (event.key.keysym.scancode == SDL_SCANCODE_F12) {
        if (event.key.repeat == 0)
          save_screenshot();
      } else if (event.key.keysym.sym == SDLK_ESCAPE) {
        // Every repeat asks again; the first one closes, the rest find the
        // window gone.
        events.waiting.push_back(plat_event::close_requested);
      } else if (event.key.keysym.sym == SDLK_v && event.key.repeat == 0) {
        events.waiting.push_back(plat_event::speech_toggled);
      }
      break;
    default:
      break;
  }
}

bool key_down(const Uint8* keys, int count, SDL_Scancode code) {
  return static_cast<int>(code) < count && keys[code] != 0;
}

// The path as the program's own strings are written: Shift-JIS. A path
// that has no Shift-JIS form is handed on as it is; opening tunes beside it
// then fails quietly, as it would with the window system's narrow names.
std::string to_program_encoding(const std::string& host) {
  const bool ascii = std::all_of(host.begin(), host.end(), [](char c) { return (c & 0x80) == 0; });
  if (ascii)
    return host;
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1))
    return host;
  std::string out(host.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(host.data());
  std::size_t in_left = host.size();
  char* to = out.data();
  std::size_t to_left = out.size();
  const std::size_t r = iconv(cd, &in, &in_left, &to, &to_left);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || in_left != 0)
    return host;
  out.resize(out.size() - to_left);
  return out;
}

}  // namespace

bool plat_open_window() {
  if (window.open)
    return false;  // one window per run
  // Events, the clock and gamepads here: the display is taken by
  // plat_open_display, so that a machine without one still gets its message.
  if (SDL_Init(SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
    std::fprintf(stderr, "shindan: %s\n", SDL_GetError());
    return false;
  }
  if (tune_event_type == 0) {
    const Uint32 type = SDL_RegisterEvents(1);
    if (type == static_cast<Uint32>(-1))
      return false;
    tune_event_type = type;
  }
  // A machine without gamepad support still plays from the keyboard.
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
    std::fprintf(stderr, "shindan: no gamepads: %s\n", SDL_GetError());
  window = desktop_window{};
  window.open = true;
  events = event_state{};
  return true;
}

void plat_close_window() {
  if (!window.open)
    return;
  // The window leaves the screen before it goes; a real minimise would only
  // add the desktop's animation to a window about to vanish.
  if (window.sdl != nullptr) {
    SDL_HideWindow(window.sdl);
    SDL_DestroyWindow(window.sdl);
  }
  window = desktop_window{};
  close_pads();
  // Requests still waiting were for the window that is gone.
  events.waiting.clear();
}

plat_event plat_poll_event() {
  SDL_Event event;
  while (SDL_PollEvent(&event) == 1)
    translate(event);
  if (take_tune_time())
    events.waiting.push_back(plat_event::tune_ended);
  if (events.waiting.empty() || !window.open)
    return plat_event::none;
  const plat_event next = events.waiting.front();
  events.waiting.pop_front();
  return next;
}

std::uint32_t plat_tick_count() {
  return SDL_GetTicks();
}

bool plat_key_down(plat_key key) {
  if (any_pad_key_down(key))
    return true;
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  if (keys == nullptr)
    return false;
  switch (key) {
    case plat_key::space:
      return key_down(keys, count, SDL_SCANCODE_SPACE);
    case plat_key::shift:
      return key_down(keys, count, SDL_SCANCODE_LSHIFT) || key_down(keys, count, SDL_SCANCODE_RSHIFT);
    case plat_key::enter:
      return key_down(keys, count, SDL_SCANCODE_RETURN) || key_down(keys, count, SDL_SCANCODE_KP_ENTER);
    case plat_key::up:
      return key_down(keys, count, SDL_SCANCODE_UP);
    case plat_key::down:
      return key_down(keys, count, SDL_SCANCODE_DOWN);
  }
  return false;
}

void plat_show_cursor(bool show) {
  events.cursor_count += show ? 1 : -1;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0)
    SDL_ShowCursor(events.cursor_count >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

void plat_message_box(const char* text, const char* caption, bool owned) {
  const std::string body = text != nullptr ? sjis_to_utf8(text, std::strlen(text)) : std::string();
  // A null caption asks for the system's default one.
  const std::string title = caption != nullptr ? sjis_to_utf8(caption, std::strlen(caption)) : std::string("Error");
  // Always on stderr too: without a display this is the only trace.
  if (caption == nullptr || title.empty())
    std::fprintf(stderr, "shindan: %s\n", body.c_str());
  else
    std::fprintf(stderr, "shindan: %s: %s\n", title.c_str(), body.c_str());
  std::fflush(stderr);

  SDL_Window* parent = owned ? window.sdl : nullptr;
  // A box behind a full-screen picture could never be answered.
  const bool was_fullscreen = parent != nullptr && window.fullscreen;
  if (was_fullscreen)
    set_window_fullscreen(false);
  plat_show_cursor(true);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), body.c_str(), parent);
  plat_show_cursor(false);
  if (was_fullscreen && window.sdl != nullptr)
    set_window_fullscreen(true);
}

std::uint32_t plat_program_file_name(char* buffer, std::uint32_t size) {
  if (buffer == nullptr || size == 0)
    return 0;
  std::string host(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", host.data(), host.size() - 1);
  if (n <= 0) {
    buffer[0] = '\0';
    return 0;
  }
  host.resize(static_cast<std::size_t>(n));
  const std::string path = to_program_encoding(host);
  // Cut to the buffer, terminator included, as the window system cuts it.
  const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(path.size(), size - 1));
  std::memcpy(buffer, path.data(), length);
  buffer[length] = '\0';
  return length;
}

}  // namespace shindan
