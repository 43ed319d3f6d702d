// Sound effects and tunes through the page's Web Audio. Each effect is read
// by the common WAV reader and handed over as samples; the page keeps one
// voice per effect, so a restart cuts the previous playback off. Tunes were
// rendered from their MIDI files when the site was built and lie beside
// them; the page decodes them once and reports a tune's natural end, never a
// stop or a replacement. An effect whose file is still on its way when the
// program loads it is made at once, silent, and gets its samples once its
// pack is in.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/common/sjis.h"
#include "platform/common/wave.h"
#include "platform/web/web.h"

namespace shindan {

struct plat_sound {
  int id = 0;  // the page's voice
};

namespace {

bool sound_open = false;
std::vector<std::unique_ptr<plat_sound>> sounds;

struct late_sound {
  plat_sound* sound = nullptr;
  std::string name;  // as the program asked for it, Shift-JIS
  std::string path;
};
std::vector<late_sound> late_sounds;

// clang-format off
EM_JS(int, web_open_sound, (), { return Module.host.openSound() ? 1 : 0; });
EM_JS(void, web_close_sound, (), { Module.host.closeSound(); });
EM_JS(int, web_make_sound, (const char* name, const std::uint8_t* bytes, std::size_t size, int channels,
                            int rate, int bits), {
  return Module.host.makeSound(UTF8ToString(name), HEAPU8.slice(bytes, bytes + size), channels, rate, bits);
});
// A silent sound whose samples fillSound gives later.
EM_JS(int, web_make_late_sound, (const char* name), { return Module.host.makeSound(UTF8ToString(name), null); });
EM_JS(int, web_fill_sound, (int id, const std::uint8_t* bytes, std::size_t size, int channels, int rate, int bits), {
  return Module.host.fillSound(id, HEAPU8.slice(bytes, bytes + size), channels, rate, bits) ? 1 : 0;
});
EM_JS(void, web_play_sound, (int id), { Module.host.playSound(id); });
EM_JS(void, web_release_sound, (int id), { Module.host.releaseSound(id); });
EM_JS(void, web_open_tune, (const char* path), { Module.host.openTune(UTF8ToString(path)); });
EM_JS(void, web_play_tune, (), { Module.host.playTune(); });
EM_JS(int, web_tune_stopped, (), { return Module.host.tuneStopped() ? 1 : 0; });
EM_JS(void, web_stop_tune, (), { Module.host.stopTune(); });
EM_JS(void, web_close_tune, (), { Module.host.closeTune(); });
// clang-format on

plat_sound* live_sound(const plat_sound* sound) {
  for (const auto& s : sounds)
    if (s.get() == sound)
      return s.get();
  return nullptr;
}

plat_sound* add_sound(int id) {
  sounds.push_back(std::make_unique<plat_sound>());
  sounds.back()->id = id;
  return sounds.back().get();
}

// A sound whose file is on its way: made now, filled once it is in.
plat_wave_stage load_late_sound(const char* file_name, plat_sound** sound) {
  std::string path;
  if (!sjis_path(file_name, &path) || web::file_state(path.c_str()) != web::file_coming)
    return plat_wave_stage::cannot_open;
  if (!sound_open || !sound)
    return plat_wave_stage::no_buffer;
  const std::string name = sjis_to_utf8(file_name, std::strlen(file_name));
  const int id = web_make_late_sound(name.c_str());
  if (id == 0)
    return plat_wave_stage::no_buffer;
  *sound = add_sound(id);
  late_sounds.push_back({*sound, file_name, path});
  return plat_wave_stage::ready;
}

}  // namespace

plat_sound_stage plat_open_sound() {
  if (!web_open_sound())
    return plat_sound_stage::no_device;
  sound_open = true;
  return plat_sound_stage::ready;
}

void plat_close_sound() {
  web_close_sound();
  sounds.clear();
  late_sounds.clear();
  sound_open = false;
}

plat_wave_stage plat_load_sound(const char* file_name, plat_sound** sound) {
  wave_format format;
  std::vector<std::uint8_t> bytes;
  const plat_wave_stage stage = read_sound_for_device(file_name, sound_open, sound, &format, &bytes);
  if (stage == plat_wave_stage::cannot_open)
    return load_late_sound(file_name, sound);
  if (stage != plat_wave_stage::ready)
    return stage;
  const std::string name = sjis_to_utf8(file_name, std::strlen(file_name));
  const int id = web_make_sound(name.c_str(), bytes.data(), bytes.size(), format.channels,
                                static_cast<int>(format.samples_per_second), format.bits_per_sample);
  if (id == 0)
    return plat_wave_stage::no_buffer;
  *sound = add_sound(id);
  return plat_wave_stage::ready;
}

void plat_play_sound(plat_sound* sound) {
  if (plat_sound* s = live_sound(sound))
    web_play_sound(s->id);
}

void plat_release_sound(plat_sound* sound) {
  plat_sound* s = live_sound(sound);
  if (!s)
    return;
  web_release_sound(s->id);
  sounds.erase(std::find_if(sounds.begin(), sounds.end(), [s](const auto& p) { return p.get() == s; }));
}

bool plat_open_tune(const char* path) {
  if (!tune_path_fits(path))
    return false;
  std::string name;
  // A name that is no Shift-JIS opens nothing: the tune stays silent.
  if (!sjis_path(path, &name))
    name.clear();
  web_open_tune(name.c_str());
  return true;
}

void plat_play_tune() {
  web_play_tune();
}

bool plat_tune_stopped() {
  return web_tune_stopped() != 0;
}

void plat_stop_tune() {
  web_stop_tune();
}

void plat_close_tune() {
  web_close_tune();
}

namespace web {

bool bring_in_late_sounds(double deadline) {
  for (auto it = late_sounds.begin(); it != late_sounds.end();) {
    const web::file_arrival state = web::file_state(it->path.c_str());
    if (state == web::file_coming) {
      ++it;
      continue;
    }
    if (emscripten_get_now() >= deadline)
      return false;
    wave_format format;
    std::vector<std::uint8_t> bytes;
    // One that came broken, or was released meanwhile, stays silent.
    if (state == web::file_here && live_sound(it->sound) &&
        read_wave_file(it->name.c_str(), &format, &bytes) == plat_wave_stage::ready && !bytes.empty() &&
        bytes.size() <= max_sound_bytes)
      web_fill_sound(it->sound->id, bytes.data(), bytes.size(), format.channels,
                     static_cast<int>(format.samples_per_second), format.bits_per_sample);
    it = late_sounds.erase(it);
  }
  return late_sounds.empty();
}

}  // namespace web

}  // namespace shindan
