// Sound effects and tunes through the page's Web Audio. Each effect is read
// by the common WAV reader and handed over as samples; the page keeps one
// voice per effect, so a restart cuts the previous playback off. Tunes were
// rendered from their MIDI files when the site was built and lie beside
// them; the page decodes them once and reports a tune's natural end, never a
// stop or a replacement.
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

// clang-format off
EM_JS(int, web_open_sound, (), { return Module.host.openSound() ? 1 : 0; });
EM_JS(void, web_close_sound, (), { Module.host.closeSound(); });
EM_JS(int, web_make_sound, (const char* name, const std::uint8_t* bytes, std::size_t size, int channels,
                            int rate, int bits), {
  return Module.host.makeSound(UTF8ToString(name), HEAPU8.slice(bytes, bytes + size), channels, rate, bits);
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
  sound_open = false;
}

plat_wave_stage plat_load_sound(const char* file_name, plat_sound** sound) {
  wave_format format;
  std::vector<std::uint8_t> bytes;
  const plat_wave_stage stage = read_sound_for_device(file_name, sound_open, sound, &format, &bytes);
  if (stage != plat_wave_stage::ready)
    return stage;
  const std::string name = sjis_to_utf8(file_name, std::strlen(file_name));
  const int id = web_make_sound(name.c_str(), bytes.data(), bytes.size(), format.channels,
                                static_cast<int>(format.samples_per_second), format.bits_per_sample);
  if (id == 0)
    return plat_wave_stage::no_buffer;
  sounds.push_back(std::make_unique<plat_sound>());
  sounds.back()->id = id;
  *sound = sounds.back().get();
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

}  // namespace shindan
