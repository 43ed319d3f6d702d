// The in-memory platform: a window that exists only as a flag, an event
// queue the tests fill, a clock and keys the tests set, memory surfaces for
// the display, sound and tune players that record what the program asks of
// them, and a voice that writes down what it is asked to say. Everything is
// kept in one global record so that reset() can put the whole platform back
// as at start.
#include "platform/headless/headless.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

#include "platform/common/sjis.h"
#include "platform/common/surface.h"
#include "platform/common/wave.h"

namespace shindan {

struct plat_sound {
  int number = 0;
  std::string file;
  wave_format format;
  std::vector<std::uint8_t> data;
  bool released = false;
};

const char plat_path_separator = '/';

namespace {

constexpr std::int32_t display_width = 640;
constexpr std::int32_t display_height = 480;

struct headless_state {
  std::uint32_t tick = 0;
  bool keys[5] = {};
  bool window_fails = false;
  bool window_open = false;
  std::deque<plat_event> queue;
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
  plat_sound_stage sound_fails = plat_sound_stage::ready;
  bool sound_open = false;
  bool fail_next_fill = false;
  std::vector<std::unique_ptr<plat_sound>> sounds;
  std::vector<headless::sound_record> sound_records;
  // tunes
  std::vector<std::string> tune_calls;
  std::string tune;  // the open tune's path, "" when none is open
  bool tune_playing = false;
  // speech
  bool speech_wanted = false;
  bool speech_open = false;
  bool speech_on = false;
  std::string speech_language;
  std::vector<headless::speech_record> speech_records;
};

headless_state& state() {
  static headless_state s;
  return s;
}

bool surface_alive(const plat_surface* surface) {
  return surface && std::find(live_surfaces.begin(), live_surfaces.end(), surface) != live_surfaces.end();
}

plat_sound* live_sound(const plat_sound* sound) {
  for (const auto& s : state().sounds)
    if (s.get() == sound && !s->released)
      return s.get();
  return nullptr;
}

void record_sound(headless::sound_action action, const plat_sound* sound) {
  state().sound_records.push_back({action, sound->number, sound->file, static_cast<std::uint32_t>(sound->data.size())});
}

void shell_call(const char* call) {
  state().shell_calls.emplace_back(call);
}

}  // namespace

// ---- Program, window and events

bool plat_open_window() {
  headless_state& s = state();
  if (s.window_fails)
    return false;
  s.window_open = true;
  shell_call("open_window");
  return true;
}

void plat_close_window() {
  headless_state& s = state();
  if (!s.window_open)
    return;
  shell_call("close_window");
  s.window_open = false;
  // Nothing queued for the window arrives any more.
  s.queue.clear();
}

plat_event plat_poll_event() {
  auto& q = state().queue;
  if (q.empty())
    return plat_event::none;
  const plat_event event = q.front();
  q.pop_front();
  return event;
}

std::uint32_t plat_tick_count() {
  return state().tick;
}

bool plat_key_down(plat_key key) {
  const auto k = static_cast<std::size_t>(key);
  return k < std::size(state().keys) && state().keys[k];
}

void plat_show_cursor(bool show) {
  headless_state& s = state();
  s.cursor_count += show ? 1 : -1;
  shell_call(show ? "show_cursor 1" : "show_cursor 0");
}

void plat_message_box(const char* text, const char* caption, bool owned) {
  headless::message_box_record box;
  box.owned = owned;
  box.text = text ? text : "";
  box.has_caption = caption != nullptr;
  box.caption = caption ? caption : "";
  state().boxes.push_back(box);
  shell_call("message_box");
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

// ---- Display

plat_display_stage plat_open_display(plat_display_objects* objects) {
  headless_state& s = state();
  shell_call("open_display");
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

void plat_close_display(const plat_display_objects& objects) {
  headless_state& s = state();
  shell_call("close_display");
  // The back buffer goes down with its primary.
  if (surface_alive(objects.primary_surface))
    plat_release_surface(objects.primary_surface);
  if (!surface_alive(s.back_buffer))
    s.back_buffer = nullptr;
  auto& d = s.displays;
  d.erase(std::remove_if(d.begin(), d.end(), [&](const auto& p) { return p.get() == objects.device; }), d.end());
}

void plat_flip_to_desktop(plat_display*) {
  shell_call("flip_to_desktop");
}

plat_result plat_present(const plat_display_objects& objects) {
  plat_surface* primary = objects.primary_surface;
  const plat_result r = present_copy(primary, objects.back_buffer, plat_rect{0, 0, display_width, display_height});
  if (r != plat_result::ok)
    return r;
  headless_state& s = state();
  s.screen.resize(static_cast<std::size_t>(display_width) * display_height);
  for (std::int32_t y = 0; y < display_height; ++y)
    std::memcpy(s.screen.data() + static_cast<std::size_t>(y) * display_width,
                surface_row(primary, static_cast<std::uint32_t>(y)), display_width * 2);
  ++s.frames;
  return plat_result::ok;
}

// ---- Sound effects

plat_sound_stage plat_open_sound() {
  headless_state& s = state();
  shell_call("open_sound");
  if (s.sound_fails == plat_sound_stage::no_device)
    return plat_sound_stage::no_device;
  s.sound_open = true;
  return s.sound_fails;
}

void plat_close_sound() {
  shell_call("close_sound");
  state().sound_open = false;
}

plat_wave_stage plat_load_sound(const char* file_name, plat_sound** sound) {
  headless_state& s = state();
  wave_format format;
  std::vector<std::uint8_t> bytes;
  const plat_wave_stage stage = read_sound_for_device(file_name, s.sound_open, sound, &format, &bytes);
  if (stage != plat_wave_stage::ready)
    return stage;
  s.sounds.push_back(std::make_unique<plat_sound>());
  plat_sound* made = s.sounds.back().get();
  made->number = static_cast<int>(s.sounds.size());
  made->file = file_name;
  made->format = format;
  *sound = made;
  if (s.fail_next_fill) {
    s.fail_next_fill = false;
    made->data.assign(bytes.size(), 0);
    record_sound(headless::sound_action::load, made);
    return plat_wave_stage::unfilled;
  }
  made->data = std::move(bytes);
  record_sound(headless::sound_action::load, made);
  return plat_wave_stage::ready;
}

void plat_play_sound(plat_sound* sound) {
  if (plat_sound* s = live_sound(sound))
    record_sound(headless::sound_action::play, s);
}

void plat_release_sound(plat_sound* sound) {
  if (plat_sound* s = live_sound(sound)) {
    record_sound(headless::sound_action::release, s);
    // Kept (marked) rather than freed, so that a test can still read what
    // was loaded; any later use of it is ignored.
    s->released = true;
  }
}

// ---- Tunes

bool plat_open_tune(const char* path) {
  headless_state& s = state();
  if (!tune_path_fits(path))
    return false;
  s.tune_calls.push_back(std::string("open ") + path);
  // A file that cannot be opened leaves no tune open: plays are silent.
  std::string name;
  std::FILE* f = sjis_path(path, &name) ? std::fopen(name.c_str(), "rb") : nullptr;
  if (f) {
    std::fclose(f);
    s.tune = path;
  } else {
    s.tune.clear();
  }
  s.tune_playing = false;
  return true;
}

void plat_play_tune() {
  headless_state& s = state();
  s.tune_calls.emplace_back("play");
  s.tune_playing = !s.tune.empty();
}

bool plat_tune_stopped() {
  headless_state& s = state();
  s.tune_calls.emplace_back("status");
  return !s.tune_playing;
}

void plat_stop_tune() {
  headless_state& s = state();
  s.tune_calls.emplace_back("stop");
  shell_call("stop_tune");
  s.tune_playing = false;
}

void plat_close_tune() {
  headless_state& s = state();
  s.tune_calls.emplace_back("close");
  shell_call("close_tune");
  s.tune.clear();
  s.tune_playing = false;
}

// ---- Speech

bool plat_open_speech(const char* language) {
  headless_state& s = state();
  s.speech_open = true;
  s.speech_language = language != nullptr ? language : "";
  return s.speech_wanted;
}

void plat_close_speech() {
  state().speech_open = false;
}

void plat_set_speech(bool on) {
  state().speech_on = on;
}

void plat_speak(const char* text, bool cut_off) {
  headless_state& s = state();
  if (!s.speech_open)
    return;
  s.speech_records.push_back({text != nullptr ? text : "", cut_off, s.speech_on});
}

// ---- Test controls

namespace headless {

void reset() {
  release_all_surfaces();
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

void set_key(plat_key key, bool down) {
  const auto k = static_cast<std::size_t>(key);
  if (k < std::size(state().keys))
    state().keys[k] = down;
}

void post_close() {
  headless_state& s = state();
  if (s.window_open)
    s.queue.push_back(plat_event::close_requested);
}

void fail_display_at(plat_display_stage stage) {
  state().fail_stage = stage;
}
void fail_sound(plat_sound_stage stage) {
  state().sound_fails = stage;
}
void fail_next_sound_fill() {
  state().fail_next_fill = true;
}
void lose_surfaces() {
  lose_all_surfaces();
}
std::size_t live_surface_count() {
  return live_surfaces.size();
}
void fail_window(bool fails) {
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

int sound_number(const plat_sound* sound) {
  for (const auto& s : state().sounds)
    if (s.get() == sound)
      return s->number;
  return 0;
}

wave_format sound_format_of(const plat_sound* sound) {
  for (const auto& s : state().sounds)
    if (s.get() == sound)
      return s->format;
  return {};
}

std::vector<std::uint8_t> sound_contents(const plat_sound* sound) {
  for (const auto& s : state().sounds)
    if (s.get() == sound)
      return s->data;
  return {};
}

const std::vector<std::string>& tune_calls() {
  return state().tune_calls;
}
std::string open_tune() {
  return state().tune;
}
bool tune_playing() {
  return state().tune_playing;
}

void end_tune() {
  headless_state& s = state();
  if (!s.tune_playing)
    return;
  s.tune_playing = false;
  if (s.window_open)
    s.queue.push_back(plat_event::tune_ended);
}

void set_program_file_name(const std::string& path) {
  state().program_file = path;
}

void want_speech(bool wanted) {
  state().speech_wanted = wanted;
}

void post_speech_toggle() {
  headless_state& s = state();
  if (s.window_open)
    s.queue.push_back(plat_event::speech_toggled);
}

const std::vector<speech_record>& speech_records() {
  return state().speech_records;
}
std::string speech_language() {
  return state().speech_language;
}
bool speech_open() {
  return state().speech_open;
}

bool cursor_shown() {
  return state().cursor_count >= 0;
}
bool window_exists() {
  return state().window_open;
}
const std::vector<std::string>& shell_calls() {
  return state().shell_calls;
}

}  // namespace headless

}  // namespace shindan
