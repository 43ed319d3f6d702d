// The in-memory platform: a window that exists only as a record, a message
// queue the tests fill, a clock and keys the tests set, memory surfaces for
// the display, and sound and music devices that record what the program
// asks of them. Everything is kept in one global record so that reset()
// can put the whole platform back as at start.
#include "platform/headless/headless.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

#include "app/shell.h"
#include "platform/common/mci.h"
#include "platform/common/surface.h"

namespace shindan {

struct plat_window {
  bool exists = true;
};

struct plat_sound_device {
  bool cooperative = false;
};

struct plat_sound_buffer {
  int number = 0;
  plat_wave_format format;
  std::vector<std::uint8_t> data;
  bool lost = false;
  bool released = false;
};

const char plat_path_separator = '/';

namespace {

constexpr std::int32_t display_width = 640;
constexpr std::int32_t display_height = 480;
// The largest buffer the sound device makes, as DirectSound's limit.
constexpr std::uint32_t max_sound_buffer_bytes = 0x0FFFFFFF;

struct tune_state {
  std::string path;
  bool playing = false;
  bool at_end = false;
};

struct headless_state {
  // clock, keys, windows, queue
  std::uint32_t tick = 0;
  bool keys[256] = {};
  std::vector<std::unique_ptr<plat_window>> windows;
  plat_window* main = nullptr;
  bool window_fails = false;
  std::deque<plat_message> queue;
  int cursor_count = 0;  // shown while >= 0, as the window system counts
  std::vector<std::string> shell_calls;
  std::vector<headless::message_box_record> boxes;
  std::string program_file = "/shindan/shindan";
  // display
  bool use_555 = false;
  plat_display_stage fail_stage = plat_display_stage::ready;
  std::vector<std::unique_ptr<plat_display>> displays;
  plat_surface* back_buffer = nullptr;
  std::vector<std::uint16_t> screen;
  std::uint64_t frames = 0;
  // sound
  bool sound_creation_fails = false;
  bool sound_cooperation_fails = false;
  bool lose_next_lock = false;
  std::vector<std::unique_ptr<plat_sound_device>> sound_devices;
  std::vector<std::unique_ptr<plat_sound_buffer>> buffers;
  std::vector<headless::sound_record> sound_records;
  // music
  std::vector<std::string> music_commands;
  tune_state tune;
};

headless_state& state() {
  static headless_state s;
  return s;
}

bool window_alive(const plat_window* window) {
  for (const auto& w : state().windows)
    if (w.get() == window)
      return w->exists;
  return false;
}

plat_sound_buffer* live_buffer(const plat_sound_buffer* buffer) {
  for (const auto& b : state().buffers)
    if (b.get() == buffer && !b->released)
      return b.get();
  return nullptr;
}

bool surface_alive(const plat_surface* surface) {
  return surface && std::find(live_surfaces.begin(), live_surfaces.end(), surface) != live_surfaces.end();
}

void record_sound(headless::sound_action action, const plat_sound_buffer* buffer, std::uint32_t value) {
  state().sound_records.push_back({action, buffer->number, value});
}

}  // namespace

// ---------------------------------------------------------------------------
// Window, messages, program

plat_window* plat_create_window() {
  headless_state& s = state();
  if (s.window_fails)
    return nullptr;
  s.windows.push_back(std::make_unique<plat_window>());
  plat_window* window = s.windows.back().get();
  s.main = window;
  s.shell_calls.push_back("create_window");
  on_window_create(window);
  return window;
}

void plat_show_window(plat_window* window) {
  if (window_alive(window))
    state().shell_calls.push_back("show_window");
}

void plat_minimise_window(plat_window* window) {
  if (window_alive(window))
    state().shell_calls.push_back("minimise");
}

void plat_destroy_window(plat_window* window) {
  if (!window_alive(window))
    return;
  state().shell_calls.push_back("destroy");
  on_window_destroy(window);
  window->exists = false;
  // Messages still queued for it go nowhere.
  auto& q = state().queue;
  q.erase(std::remove_if(q.begin(), q.end(), [window](const plat_message& m) { return m.window == window; }), q.end());
}

bool plat_peek_message(plat_message* message) {
  auto& q = state().queue;
  if (q.empty() || !message)
    return false;
  *message = q.front();
  q.pop_front();
  return true;
}

void plat_dispatch_message(const plat_message& message) {
  if (message.window && !window_alive(message.window))
    return;
  window_procedure(message);
}

void plat_post_close(plat_window* window) {
  if (window_alive(window))
    state().queue.push_back({plat_message_kind::close, window, 0});
}

void plat_post_quit() {
  state().queue.push_back({plat_message_kind::quit, nullptr, 0});
}

void plat_show_cursor(bool show) {
  headless_state& s = state();
  s.cursor_count += show ? 1 : -1;
  s.shell_calls.push_back(show ? "show_cursor 1" : "show_cursor 0");
}

std::uint32_t plat_tick_count() {
  return state().tick;
}

std::int16_t plat_key_state(int virtual_key) {
  if (virtual_key < 0 || virtual_key > 255)
    return 0;
  // Down keys read with the high bit set, as GetKeyState answers them.
  return state().keys[virtual_key] ? static_cast<std::int16_t>(-128) : 0;
}

void plat_message_box(plat_window* owner, const char* text, const char* caption) {
  headless::message_box_record box;
  box.has_owner = owner != nullptr;
  box.text = text ? text : "";
  box.has_caption = caption != nullptr;
  box.caption = caption ? caption : "";
  state().boxes.push_back(box);
  state().shell_calls.push_back("message_box");
}

std::uint32_t plat_program_file_name(char* buffer, std::uint32_t size) {
  if (!buffer || size == 0)
    return 0;
  const std::string& path = state().program_file;
  const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(path.size(), size - 1));
  std::memcpy(buffer, path.data(), n);
  buffer[n] = '\0';
  return n;
}

// ---------------------------------------------------------------------------
// Display

plat_display_stage plat_open_display(plat_window*, plat_display_objects* objects) {
  headless_state& s = state();
  s.shell_calls.push_back("open_display");
  const plat_display_stage stop = s.fail_stage;
  if (!objects)
    return plat_display_stage::no_device;
  // The stages in the order set-up passes them; the device reaches the
  // caller once it has its final interface.
  if (stop == plat_display_stage::no_device || stop == plat_display_stage::no_exclusive_mode ||
      stop == plat_display_stage::no_device_interface)
    return stop;
  s.displays.push_back(std::make_unique<plat_display>());
  plat_display* device = s.displays.back().get();
  device->layout = s.use_555 ? pixel_layout::rgb555 : pixel_layout::rgb565;
  objects->device = device;
  if (stop == plat_display_stage::no_display_mode || stop == plat_display_stage::no_primary_surface ||
      stop == plat_display_stage::no_surface_interface)
    return stop;
  plat_surface* primary = create_surface(device->layout, display_width, display_height);
  primary->primary = true;
  objects->primary_surface = primary;
  if (stop == plat_display_stage::no_back_buffer)
    return stop;
  plat_surface* back = create_surface(device->layout, display_width, display_height);
  primary->attached = back;
  objects->back_buffer = back;
  s.back_buffer = back;
  return plat_display_stage::ready;
}

void plat_close_display(plat_window*, plat_display_objects* objects) {
  headless_state& s = state();
  s.shell_calls.push_back("close_display");
  if (!objects)
    return;
  if (objects->primary_surface) {
    if (surface_alive(objects->primary_surface))
      plat_release_surface(objects->primary_surface);
    objects->primary_surface = nullptr;
    objects->back_buffer = nullptr;
  }
  if (!surface_alive(s.back_buffer))
    s.back_buffer = nullptr;
  if (objects->device) {
    auto& d = s.displays;
    d.erase(std::remove_if(d.begin(), d.end(), [&](const auto& p) { return p.get() == objects->device; }), d.end());
    objects->device = nullptr;
  }
}

void plat_flip_to_desktop(plat_display*) {
  state().shell_calls.push_back("flip_to_desktop");
}

plat_result plat_present(plat_surface* primary, plat_surface* back_buffer, const plat_rect& screen) {
  const plat_result r = present_copy(primary, back_buffer, screen);
  if (r != plat_ok)
    return r;
  headless_state& s = state();
  s.screen.resize(static_cast<std::size_t>(display_width) * display_height);
  const std::uint32_t rows = std::min<std::uint32_t>(primary->height, display_height);
  const std::uint32_t cols = std::min<std::uint32_t>(primary->width, display_width);
  for (std::uint32_t y = 0; y < rows; ++y)
    std::memcpy(s.screen.data() + static_cast<std::size_t>(y) * display_width, surface_row(primary, y), cols * 2);
  ++s.frames;
  return plat_ok;
}

// ---------------------------------------------------------------------------
// Sound effects

plat_sound_device* plat_create_sound_device() {
  headless_state& s = state();
  s.shell_calls.push_back("create_sound_device");
  if (s.sound_creation_fails)
    return nullptr;
  s.sound_devices.push_back(std::make_unique<plat_sound_device>());
  return s.sound_devices.back().get();
}

bool plat_set_sound_cooperation(plat_sound_device* device, plat_window*) {
  headless_state& s = state();
  s.shell_calls.push_back("sound_cooperation");
  if (!device || s.sound_cooperation_fails)
    return false;
  device->cooperative = true;
  return true;
}

void plat_release_sound_device(plat_sound_device* device) {
  headless_state& s = state();
  s.shell_calls.push_back("release_sound_device");
  auto& d = s.sound_devices;
  d.erase(std::remove_if(d.begin(), d.end(), [&](const auto& p) { return p.get() == device; }), d.end());
}

plat_sound_buffer* plat_create_sound_buffer(plat_sound_device* device, const plat_wave_format& format,
                                            std::uint32_t bytes) {
  headless_state& s = state();
  bool known = false;
  for (const auto& d : s.sound_devices)
    known = known || d.get() == device;
  if (!known || bytes == 0 || bytes > max_sound_buffer_bytes)
    return nullptr;
  s.buffers.push_back(std::make_unique<plat_sound_buffer>());
  plat_sound_buffer* b = s.buffers.back().get();
  b->number = static_cast<int>(s.buffers.size());
  b->format = format;
  b->data.assign(bytes, 0);
  record_sound(headless::sound_action::create, b, bytes);
  return b;
}

plat_result plat_lock_sound_buffer(plat_sound_buffer* buffer, std::uint32_t offset, std::uint32_t bytes, void** first,
                                   std::uint32_t* first_bytes, void** second, std::uint32_t* second_bytes) {
  plat_sound_buffer* b = live_buffer(buffer);
  if (!b || !first || !first_bytes)
    return plat_failed;
  if (state().lose_next_lock) {
    state().lose_next_lock = false;
    b->lost = true;
  }
  if (b->lost)
    return plat_buffer_lost;
  const auto size = static_cast<std::uint32_t>(b->data.size());
  if (offset >= size || bytes == 0 || bytes > size)
    return plat_failed;
  const std::uint32_t head = std::min(bytes, size - offset);
  *first = b->data.data() + offset;
  *first_bytes = head;
  if (second)
    *second = head < bytes ? b->data.data() : nullptr;
  if (second_bytes)
    *second_bytes = bytes - head;
  if (head < bytes && (!second || !second_bytes))
    return plat_failed;
  return plat_ok;
}

plat_result plat_unlock_sound_buffer(plat_sound_buffer* buffer, void*, std::uint32_t first_bytes, void*,
                                     std::uint32_t second_bytes) {
  plat_sound_buffer* b = live_buffer(buffer);
  if (!b)
    return plat_failed;
  record_sound(headless::sound_action::fill, b, first_bytes + second_bytes);
  return plat_ok;
}

plat_result plat_restore_sound_buffer(plat_sound_buffer* buffer) {
  plat_sound_buffer* b = live_buffer(buffer);
  if (!b)
    return plat_failed;
  b->lost = false;
  return plat_ok;
}

void plat_stop_sound(plat_sound_buffer* buffer) {
  if (plat_sound_buffer* b = live_buffer(buffer))
    record_sound(headless::sound_action::stop, b, 0);
}

void plat_set_sound_position(plat_sound_buffer* buffer, std::uint32_t position) {
  if (plat_sound_buffer* b = live_buffer(buffer))
    record_sound(headless::sound_action::set_position, b, position);
}

void plat_play_sound(plat_sound_buffer* buffer) {
  if (plat_sound_buffer* b = live_buffer(buffer))
    record_sound(headless::sound_action::play, b, 0);
}

void plat_release_sound_buffer(plat_sound_buffer* buffer) {
  if (plat_sound_buffer* b = live_buffer(buffer)) {
    record_sound(headless::sound_action::release, b, 0);
    // Kept (marked) rather than freed, so that a test can still read what
    // was written; any later use of it is ignored.
    b->released = true;
  }
}

// ---------------------------------------------------------------------------
// Music: the recording sequencer behind the MCI interpreter

std::uint32_t plat_send_music_command(const char* command, char* reply, std::uint32_t reply_size, plat_window* notify) {
  state().music_commands.push_back(command ? command : "");
  return mci_execute(command, reply, reply_size, notify);
}

bool sequencer_open(const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f)
    return false;
  std::fclose(f);
  state().tune = tune_state{path, false, false};
  return true;
}

void sequencer_seek_start() {
  tune_state& t = state().tune;
  t.playing = false;
  t.at_end = false;
}

void sequencer_play() {
  tune_state& t = state().tune;
  if (t.at_end) {
    music_tune_ended();  // nothing left to play: done at once
    return;
  }
  t.playing = true;
}

void sequencer_stop() {
  state().tune.playing = false;
}

void sequencer_close() {
  state().tune = tune_state{};
}

bool sequencer_playing() {
  return state().tune.playing;
}

void music_post_notify(plat_window* window, std::uint32_t code) {
  if (window_alive(window))
    state().queue.push_back({plat_message_kind::music_notify, window, code});
}

// ---------------------------------------------------------------------------
// Test controls

namespace headless {

void reset() {
  release_all_surfaces();
  mci_reset();
  state() = headless_state{};
}

void use_555(bool five_five_five) {
  state().use_555 = five_five_five;
}
void set_tick(std::uint32_t milliseconds) {
  state().tick = milliseconds;
}
std::uint32_t tick() {
  return state().tick;
}

void set_key(int virtual_key, bool down) {
  if (virtual_key >= 0 && virtual_key <= 255)
    state().keys[virtual_key] = down;
}

void post_key_down(int virtual_key) {
  headless_state& s = state();
  if (window_alive(s.main))
    s.queue.push_back({plat_message_kind::key_down, s.main, static_cast<std::uint32_t>(virtual_key)});
}

void post_close() {
  plat_post_close(state().main);
}

void fail_display_at(plat_display_stage stage) {
  state().fail_stage = stage;
}

void fail_sound_device(bool creation_fails, bool cooperation_fails) {
  state().sound_creation_fails = creation_fails;
  state().sound_cooperation_fails = cooperation_fails;
}

void lose_surfaces() {
  lose_all_surfaces();
}
void still_drawing_locks(int count) {
  pending_blit_answers = count;
}
std::size_t live_surface_count() {
  return live_surfaces.size();
}
void fail_window_creation(bool fails) {
  state().window_fails = fails;
}

const std::vector<std::uint16_t>& screen() {
  headless_state& s = state();
  if (s.screen.empty())
    s.screen.assign(static_cast<std::size_t>(display_width) * display_height, 0);
  return s.screen;
}

std::uint64_t frames_presented() {
  return state().frames;
}

std::vector<std::uint16_t> back_buffer_pixels() {
  std::vector<std::uint16_t> out;
  plat_surface* b = state().back_buffer;
  if (!surface_alive(b))
    return out;
  out.reserve(static_cast<std::size_t>(b->width) * b->height);
  for (std::uint32_t y = 0; y < b->height; ++y) {
    const std::uint16_t* row = surface_row(b, y);
    out.insert(out.end(), row, row + b->width);
  }
  return out;
}

const std::vector<message_box_record>& message_boxes() {
  return state().boxes;
}
const std::vector<sound_record>& sound_records() {
  return state().sound_records;
}

int buffer_number(const plat_sound_buffer* buffer) {
  for (const auto& b : state().buffers)
    if (b.get() == buffer)
      return b->number;
  return 0;
}

std::vector<std::uint8_t> buffer_contents(const plat_sound_buffer* buffer) {
  for (const auto& b : state().buffers)
    if (b.get() == buffer)
      return b->data;
  return {};
}

void lose_next_sound_lock() {
  state().lose_next_lock = true;
}

const std::vector<std::string>& music_commands() {
  return state().music_commands;
}
std::string open_tune() {
  return state().tune.path;
}
bool tune_playing() {
  return state().tune.playing;
}

void end_tune() {
  tune_state& t = state().tune;
  if (!t.playing)
    return;
  t.playing = false;
  t.at_end = true;
  music_tune_ended();
}

void set_program_file_name(const std::string& path) {
  state().program_file = path;
}

bool cursor_shown() {
  return state().cursor_count >= 0;
}
bool window_exists() {
  return window_alive(state().main);
}
const std::vector<std::string>& shell_calls() {
  return state().shell_calls;
}

}  // namespace headless

}  // namespace shindan
