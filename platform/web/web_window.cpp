// The page as the program's window: its events (Esc asks to close, a tune
// that played to its end), the clock, the keys, the cursor over the canvas,
// message boxes as the browser's own modal boxes, and the program's path.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/common/sjis.h"
#include "platform/web/web.h"

namespace shindan {

const char plat_path_separator = '/';

namespace {

// Where the page unpacks the game's files; the program runs in it.
constexpr char program_file[] = "/game/shindan";

bool window_open = false;
std::uint32_t tick = 0;

// clang-format off
EM_JS(int, web_poll_event, (), { return Module.host.pollEvent(); });
EM_JS(int, web_key_down, (int key), { return Module.host.keyDown(key) ? 1 : 0; });
EM_JS(void, web_cursor, (int show), { Module.host.cursor(show !== 0); });
EM_JS(void, web_message_box, (const char* text, const char* caption), {
  Module.host.messageBox(UTF8ToString(text), caption ? UTF8ToString(caption) : null);
});
// clang-format on

}  // namespace

namespace web {

void latch_tick() {
  // Milliseconds since the page started, as an unsigned 32-bit count.
  tick = static_cast<std::uint32_t>(static_cast<std::uint64_t>(emscripten_get_now()));
}

std::uint32_t latched_tick() {
  return tick;
}

}  // namespace web

bool plat_open_window() {
  window_open = true;
  return true;
}

void plat_close_window() {
  window_open = false;
  // Nothing queued for the window arrives any more.
  while (web_poll_event() != 0) {
  }
}

plat_event plat_poll_event() {
  if (!window_open)
    return plat_event::none;
  switch (web_poll_event()) {
    case 1:
      return plat_event::close_requested;
    case 2:
      return plat_event::tune_ended;
    case 3:
      return plat_event::speech_toggled;
    default:
      return plat_event::none;
  }
}

std::uint32_t plat_tick_count() {
  return web::latched_tick();
}

bool plat_key_down(plat_key key) {
  return web_key_down(static_cast<int>(key)) != 0;
}

void plat_show_cursor(bool show) {
  // The page hides the pointer over the picture only; the buttons below it
  // stay usable.
  static int count = 0;
  count += show ? 1 : -1;
  web_cursor(count >= 0 ? 1 : 0);
}

void plat_message_box(const char* text, const char* caption, bool) {
  const std::string body = text ? sjis_to_utf8(text, std::strlen(text)) : std::string();
  // An empty caption shows as none; the browser's box has no title bar.
  if (caption && caption[0] != '\0') {
    const std::string title = sjis_to_utf8(caption, std::strlen(caption));
    web_message_box(body.c_str(), title.c_str());
  } else {
    web_message_box(body.c_str(), nullptr);
  }
}

std::uint32_t plat_program_file_name(char* buffer, std::uint32_t size) {
  if (!buffer || size == 0)
    return 0;
  const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(sizeof program_file - 1, size - 1));
  std::memcpy(buffer, program_file, n);
  buffer[n] = '\0';
  return n;
}

}  // namespace shindan
