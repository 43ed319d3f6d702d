// The entry function, the one window and the message queue the portable loop
// reads, and the small services of the desktop: clock, keys, cursor, message
// boxes and the program's own path.
//
// SDL's events are turned into the few messages the window procedure knows:
// Esc becomes a key-down message, the window's close button and the
// session's quit request become close messages (so both take the one
// teardown path), and music news from the audio side arrives as a custom
// event that the sequencer turns into its notification. Everything else is
// dropped here rather than queued, so mouse movement never holds a frame up.
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "app/shell.h"
#include "platform/common/sjis.h"
#include "platform/sdl/sdl.h"

namespace shindan {

const char plat_path_separator = '/';
std::uint32_t music_event_type = 0;

namespace {

struct window_state {
  plat_window window;
  bool made = false;
  std::deque<plat_message> queue;
  int cursor_count = 0;  // shown while >= 0, counted as the window system does
};
window_state state;

bool window_alive(const plat_window* window) {
  return window == &state.window && state.made && state.window.exists;
}

void post(plat_message_kind kind, std::uint32_t param) {
  if (window_alive(&state.window))
    state.queue.push_back({kind, &state.window, param});
}

void translate(const SDL_Event& event) {
  if (music_event_type != 0 && event.type == music_event_type) {
    handle_music_event(event);
    return;
  }
  switch (event.type) {
    case SDL_QUIT:
      post(plat_message_kind::close, 0);
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE)
        post(plat_message_kind::close, 0);
      break;
    case SDL_KEYDOWN:
      // Alt+Enter stays free: Enter is one of the game's keys.
      if (event.key.keysym.scancode == SDL_SCANCODE_F11 && event.key.repeat == 0) {
        if (window_alive(&state.window))
          toggle_fullscreen(&state.window);
      } else if (event.key.keysym.sym == SDLK_ESCAPE) {
        // Auto-repeat included, as the window system sends it.
        post(plat_message_kind::key_down, static_cast<std::uint32_t>(vk_escape));
      }
      break;
    default:
      break;
  }
}

void pump_events() {
  SDL_Event event;
  while (SDL_PollEvent(&event) == 1)
    translate(event);
}

bool key_down(const Uint8* keys, int count, SDL_Scancode code) {
  return static_cast<int>(code) < count && keys[code] != 0;
}

// The path as the program's own strings are written: Shift-JIS. A path
// that has no Shift-JIS form is handed on as it is; opening music beside it
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

void print_box(const std::string& caption, const std::string& text) {
  if (caption.empty())
    std::fprintf(stderr, "shindan: %s\n", text.c_str());
  else
    std::fprintf(stderr, "shindan: %s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}

}  // namespace

// ---------------------------------------------------------------------------
// Window and messages

void queue_message(const plat_message& message) {
  if (message.window == nullptr || window_alive(message.window))
    state.queue.push_back(message);
}

plat_window* plat_create_window() {
  if (state.made)
    return nullptr;  // one window per run
  // Only events and the clock here: the display is taken by
  // plat_open_display, so that a machine without one still gets its message.
  if (SDL_Init(SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
    std::fprintf(stderr, "shindan: %s\n", SDL_GetError());
    return nullptr;
  }
  const Uint32 type = SDL_RegisterEvents(1);
  if (type == static_cast<Uint32>(-1))
    return nullptr;
  music_event_type = type;
  state.window = plat_window{};
  state.made = true;
  on_window_create(&state.window);
  return &state.window;
}

void plat_show_window(plat_window* window) {
  if (!window_alive(window))
    return;
  window->shown = true;
  if (window->sdl != nullptr)
    SDL_ShowWindow(window->sdl);
}

void plat_minimise_window(plat_window* window) {
  // The window leaves the screen before it goes; a real minimise would only
  // add the desktop's animation to a window about to vanish.
  if (window_alive(window) && window->sdl != nullptr)
    SDL_HideWindow(window->sdl);
}

void plat_destroy_window(plat_window* window) {
  if (!window_alive(window))
    return;
  on_window_destroy(window);
  window->exists = false;
  if (window->sdl != nullptr) {
    SDL_DestroyWindow(window->sdl);
    window->sdl = nullptr;
  }
  // Messages still queued for it go nowhere; the quit message stays.
  auto& q = state.queue;
  q.erase(std::remove_if(q.begin(), q.end(), [window](const plat_message& m) { return m.window == window; }), q.end());
}

bool plat_peek_message(plat_message* message) {
  if (message == nullptr)
    return false;
  pump_events();
  if (state.queue.empty())
    return false;
  *message = state.queue.front();
  state.queue.pop_front();
  return true;
}

void plat_dispatch_message(const plat_message& message) {
  if (message.window != nullptr && !window_alive(message.window))
    return;
  window_procedure(message);
}

void plat_post_close(plat_window* window) {
  if (window_alive(window))
    state.queue.push_back({plat_message_kind::close, window, 0});
}

void plat_post_quit() {
  state.queue.push_back({plat_message_kind::quit, nullptr, 0});
}

void plat_show_cursor(bool show) {
  state.cursor_count += show ? 1 : -1;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0)
    SDL_ShowCursor(state.cursor_count >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

std::uint32_t plat_tick_count() {
  return SDL_GetTicks();
}

std::int16_t plat_key_state(int virtual_key) {
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  if (keys == nullptr)
    return 0;
  bool down = false;
  switch (virtual_key) {
    case vk_space:
      down = key_down(keys, count, SDL_SCANCODE_SPACE);
      break;
    case vk_shift:
      down = key_down(keys, count, SDL_SCANCODE_LSHIFT) || key_down(keys, count, SDL_SCANCODE_RSHIFT);
      break;
    case vk_enter:
      down = key_down(keys, count, SDL_SCANCODE_RETURN) || key_down(keys, count, SDL_SCANCODE_KP_ENTER);
      break;
    case vk_up:
      down = key_down(keys, count, SDL_SCANCODE_UP);
      break;
    case vk_down:
      down = key_down(keys, count, SDL_SCANCODE_DOWN);
      break;
    case vk_escape:
      down = key_down(keys, count, SDL_SCANCODE_ESCAPE);
      break;
    default:
      break;
  }
  // The down bit, sign-extended as the window system answers it.
  return down ? static_cast<std::int16_t>(-128) : 0;
}

void plat_message_box(plat_window* owner, const char* text, const char* caption) {
  const std::string body = text != nullptr ? sjis_to_utf8(text, std::strlen(text)) : std::string();
  // A null caption asks for the system's default one.
  const std::string title = caption != nullptr ? sjis_to_utf8(caption, std::strlen(caption)) : std::string("Error");
  // Always on stderr too: without a display this is the only trace.
  print_box(caption != nullptr ? title : std::string(), body);

  SDL_Window* parent = window_alive(owner) ? owner->sdl : nullptr;
  // A box behind a full-screen picture could never be answered.
  const bool was_fullscreen = parent != nullptr && window_is_fullscreen(owner);
  if (was_fullscreen)
    set_window_fullscreen(owner, false);
  plat_show_cursor(true);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), body.c_str(), parent);
  plat_show_cursor(false);
  if (was_fullscreen && window_alive(owner))
    set_window_fullscreen(owner, true);
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
