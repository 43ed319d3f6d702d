// Sound effects on SDL2_mixer. Each sound owns one mixer channel of its own,
// so playing an effect again halts and replays that channel: one effect never
// sounds twice at once, while different effects overlap. The WAV file is read
// by the shared reader and its samples converted once, at load time, into the
// device's format and held as a mixer chunk.
#include <SDL_mixer.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/common/wave.h"
#include "platform/sdl/sdl.h"

namespace shindan {

struct plat_sound {
  std::vector<std::uint8_t> samples;  // in the device's format
  Mix_Chunk chunk = {};               // points into samples
  int channel = -1;
};

namespace {

struct audio_state {
  bool open = false;  // the mixer's device, opened once and kept to the end
  int frequency = 0;
  Uint16 format = 0;
  int channels = 0;
  std::vector<std::unique_ptr<plat_sound>> sounds;
  int next_channel = 0;
};
audio_state audio;

bool open_mixer() {
  if (audio.open)
    return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "shindan: no sound device: %s\n", SDL_GetError());
    return false;
  }
  Mix_Init(MIX_INIT_MID);
  if (Mix_OpenAudioDevice(MIX_DEFAULT_FREQUENCY, AUDIO_S16SYS, 2, 1024, nullptr,
                          SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE) != 0) {
    std::fprintf(stderr, "shindan: cannot open the sound device: %s\n", Mix_GetError());
    return false;
  }
  if (Mix_QuerySpec(&audio.frequency, &audio.format, &audio.channels) == 0) {
    Mix_CloseAudio();
    return false;
  }
  Mix_AllocateChannels(0);
  audio.open = true;
  return true;
}

// What a PCM file may hold: the formats the original's sound device plays,
// with the frame size the file's block alignment promises.
bool playable_format(const wave_format& f) {
  if (f.channels == 0 || f.channels > 8)
    return false;
  if (f.samples_per_second < 100 || f.samples_per_second > 200000)
    return false;
  if (f.bits_per_sample != 8 && f.bits_per_sample != 16 && f.bits_per_sample != 24 && f.bits_per_sample != 32)
    return false;
  return f.block_align == f.channels * (f.bits_per_sample / 8);
}

// Whole frames of the data, in a sample format SDL converts from (24-bit
// samples are widened to 32 bits first, as SDL has no 24-bit type).
std::vector<std::uint8_t> source_samples(const wave_format& f, const std::vector<std::uint8_t>& data,
                                         SDL_AudioFormat* format) {
  const std::size_t frames = data.size() / f.block_align;
  if (f.bits_per_sample != 24) {
    *format = f.bits_per_sample == 8 ? AUDIO_U8 : f.bits_per_sample == 16 ? AUDIO_S16LSB : AUDIO_S32LSB;
    return std::vector<std::uint8_t>(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(frames * f.block_align));
  }
  *format = AUDIO_S32LSB;
  const std::size_t samples = frames * f.channels;
  std::vector<std::uint8_t> out(samples * 4);
  for (std::size_t i = 0; i < samples; ++i) {
    out[i * 4] = 0;
    std::memcpy(&out[i * 4 + 1], &data[i * 3], 3);
  }
  return out;
}

// Converts the file's samples into the device's format; false when SDL
// cannot (the sound then stays, silent).
bool convert(const wave_format& f, const std::vector<std::uint8_t>& data, plat_sound* sound) {
  SDL_AudioFormat from = 0;
  std::vector<std::uint8_t> samples = source_samples(f, data, &from);
  if (samples.empty())
    return false;
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, from, static_cast<Uint8>(f.channels), static_cast<int>(f.samples_per_second),
                        audio.format, static_cast<Uint8>(audio.channels), audio.frequency) < 0)
    return false;
  if (samples.size() > static_cast<std::size_t>(INT32_MAX / std::max(1, cvt.len_mult)))
    return false;
  if (cvt.needed == 0) {
    sound->samples = std::move(samples);
  } else {
    cvt.len = static_cast<int>(samples.size());
    samples.resize(samples.size() * static_cast<std::size_t>(cvt.len_mult));
    cvt.buf = samples.data();
    if (SDL_ConvertAudio(&cvt) != 0)
      return false;
    samples.resize(static_cast<std::size_t>(cvt.len_cvt));
    sound->samples = std::move(samples);
  }
  sound->chunk.allocated = 0;
  sound->chunk.abuf = sound->samples.data();
  sound->chunk.alen = static_cast<Uint32>(sound->samples.size());
  sound->chunk.volume = MIX_MAX_VOLUME;
  return !sound->samples.empty();
}

plat_sound* live_sound(const plat_sound* sound) {
  for (const auto& s : audio.sounds)
    if (s.get() == sound)
      return s.get();
  return nullptr;
}

}  // namespace

plat_sound_stage plat_open_sound() {
  return open_mixer() ? plat_sound_stage::ready : plat_sound_stage::no_device;
}

void plat_close_sound() {
  // The mixer's device stays open: the tune still plays through it until it
  // is stopped, after the effects. main closes it at the very end.
  for (const auto& s : audio.sounds)
    Mix_HaltChannel(s->channel);
}

plat_wave_stage plat_load_sound(const char* file_name, plat_sound** sound) {
  wave_format format;
  std::vector<std::uint8_t> data;
  const plat_wave_stage stage = read_sound_for_device(file_name, audio.open, sound, &format, &data);
  if (stage != plat_wave_stage::ready)
    return stage;
  if (!playable_format(format))
    return plat_wave_stage::no_buffer;
  auto made = std::make_unique<plat_sound>();
  made->channel = audio.next_channel++;
  if (Mix_AllocateChannels(-1) < audio.next_channel)
    Mix_AllocateChannels(audio.next_channel);
  const bool filled = convert(format, data, made.get());
  *sound = made.get();
  audio.sounds.push_back(std::move(made));
  return filled ? plat_wave_stage::ready : plat_wave_stage::unfilled;
}

void plat_play_sound(plat_sound* sound) {
  plat_sound* s = live_sound(sound);
  if (s == nullptr || s->samples.empty())
    return;
  // Halted first: a playback still running is cut off, never doubled.
  Mix_HaltChannel(s->channel);
  Mix_PlayChannel(s->channel, &s->chunk, 0);
}

void plat_release_sound(plat_sound* sound) {
  auto& list = audio.sounds;
  auto it = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == sound; });
  if (it == list.end())
    return;
  Mix_HaltChannel((*it)->channel);
  list.erase(it);
}

void shut_down_sound() {
  if (audio.open) {
    Mix_HaltChannel(-1);
    audio.sounds.clear();
    Mix_CloseAudio();
    Mix_Quit();
  }
  audio = audio_state{};
}

}  // namespace shindan
