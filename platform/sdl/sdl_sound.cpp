// Sound effects on SDL2_mixer. Each sound buffer owns one mixer channel of
// its own, so restarting an effect halts and replays that channel: one
// effect never sounds twice at once, while different effects overlap. The
// bytes the program writes into a buffer are PCM in the WAV file's own
// format; when the buffer is unlocked they are converted once into the
// device's format and held as a mixer chunk.
#include <SDL_mixer.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/sdl/sdl.h"

namespace shindan {

struct plat_sound_device {
  bool cooperative = false;
};

struct plat_sound_buffer {
  plat_wave_format format;
  std::vector<std::uint8_t> data;       // as the program wrote it
  std::vector<std::uint8_t> converted;  // in the device's format
  Mix_Chunk chunk = {};                 // points into converted
  bool playable = false;
  int channel = -1;
  std::uint32_t position = 0;  // byte offset in data the next play starts at
};

namespace {

// The largest buffer accepted, as DirectSound's own limit.
constexpr std::uint32_t max_buffer_bytes = 0x0FFFFFFF;

struct audio_state {
  bool open = false;  // the mixer's device, opened once and kept to the end
  int frequency = 0;
  Uint16 format = 0;
  int channels = 0;
  std::vector<std::unique_ptr<plat_sound_device>> devices;
  std::vector<std::unique_ptr<plat_sound_buffer>> buffers;
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

plat_sound_buffer* live_buffer(const plat_sound_buffer* buffer) {
  for (const auto& b : audio.buffers)
    if (b.get() == buffer)
      return b.get();
  return nullptr;
}

bool known_device(const plat_sound_device* device) {
  for (const auto& d : audio.devices)
    if (d.get() == device)
      return true;
  return false;
}

// What a PCM file may hold: the formats DirectSound plays, with the frame
// size the file's block alignment promises.
bool playable_format(const plat_wave_format& f) {
  if (f.format_tag != 1 || f.channels == 0 || f.channels > 8)
    return false;
  if (f.samples_per_second < 100 || f.samples_per_second > 200000)
    return false;
  if (f.bits_per_sample != 8 && f.bits_per_sample != 16 && f.bits_per_sample != 24 && f.bits_per_sample != 32)
    return false;
  return f.block_align == f.channels * (f.bits_per_sample / 8);
}

// Whole frames of the buffer, in a sample format SDL converts from (24-bit
// samples are widened to 32 bits first, as SDL has no 24-bit type).
std::vector<std::uint8_t> source_samples(const plat_sound_buffer& b, SDL_AudioFormat* format) {
  const std::uint32_t frame = b.format.block_align;
  const std::size_t frames = b.data.size() / frame;
  if (b.format.bits_per_sample != 24) {
    *format = b.format.bits_per_sample == 8 ? AUDIO_U8 : b.format.bits_per_sample == 16 ? AUDIO_S16LSB : AUDIO_S32LSB;
    return std::vector<std::uint8_t>(b.data.begin(), b.data.begin() + static_cast<std::ptrdiff_t>(frames * frame));
  }
  *format = AUDIO_S32LSB;
  const std::size_t samples = frames * b.format.channels;
  std::vector<std::uint8_t> out(samples * 4);
  for (std::size_t i = 0; i < samples; ++i) {
    out[i * 4] = 0;
    std::memcpy(&out[i * 4 + 1], &b.data[i * 3], 3);
  }
  return out;
}

// Converts what was written into the device's format; a buffer that cannot
// be converted stays silent.
void prepare_chunk(plat_sound_buffer* b) {
  b->playable = false;
  b->converted.clear();
  if (!audio.open || b->data.empty())
    return;
  SDL_AudioFormat from = 0;
  std::vector<std::uint8_t> samples = source_samples(*b, &from);
  if (samples.empty())
    return;
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, from, static_cast<Uint8>(b->format.channels),
                        static_cast<int>(b->format.samples_per_second), audio.format,
                        static_cast<Uint8>(audio.channels), audio.frequency) < 0)
    return;
  if (samples.size() > static_cast<std::size_t>(INT32_MAX / std::max(1, cvt.len_mult)))
    return;
  cvt.len = static_cast<int>(samples.size());
  b->converted.assign(samples.size() * static_cast<std::size_t>(cvt.len_mult), 0);
  std::memcpy(b->converted.data(), samples.data(), samples.size());
  if (cvt.needed != 0) {
    cvt.buf = b->converted.data();
    if (SDL_ConvertAudio(&cvt) != 0) {
      b->converted.clear();
      return;
    }
    b->converted.resize(static_cast<std::size_t>(cvt.len_cvt));
  }
  b->chunk.allocated = 0;
  b->chunk.abuf = b->converted.data();
  b->chunk.alen = static_cast<Uint32>(b->converted.size());
  b->chunk.volume = MIX_MAX_VOLUME;
  b->playable = !b->converted.empty();
}

}  // namespace

plat_sound_device* plat_create_sound_device() {
  if (!open_mixer())
    return nullptr;
  audio.devices.push_back(std::make_unique<plat_sound_device>());
  return audio.devices.back().get();
}

bool plat_set_sound_cooperation(plat_sound_device* device, plat_window*) {
  if (!known_device(device))
    return false;
  device->cooperative = true;
  return true;
}

void plat_release_sound_device(plat_sound_device* device) {
  // The mixer's device stays open: the music still plays through it until it
  // is stopped, after the effects. main closes it at the very end.
  auto& d = audio.devices;
  d.erase(std::remove_if(d.begin(), d.end(), [&](const auto& p) { return p.get() == device; }), d.end());
}

plat_sound_buffer* plat_create_sound_buffer(plat_sound_device* device, const plat_wave_format& format,
                                            std::uint32_t bytes) {
  if (!known_device(device) || bytes == 0 || bytes > max_buffer_bytes || !playable_format(format))
    return nullptr;
  auto b = std::make_unique<plat_sound_buffer>();
  b->format = format;
  b->data.assign(bytes, 0);
  b->channel = audio.next_channel++;
  if (Mix_AllocateChannels(-1) < audio.next_channel)
    Mix_AllocateChannels(audio.next_channel);
  audio.buffers.push_back(std::move(b));
  return audio.buffers.back().get();
}

plat_result plat_lock_sound_buffer(plat_sound_buffer* buffer, std::uint32_t offset, std::uint32_t bytes, void** first,
                                   std::uint32_t* first_bytes, void** second, std::uint32_t* second_bytes) {
  plat_sound_buffer* b = live_buffer(buffer);
  if (b == nullptr || first == nullptr || first_bytes == nullptr)
    return plat_failed;
  const auto size = static_cast<std::uint32_t>(b->data.size());
  if (offset >= size || bytes == 0 || bytes > size)
    return plat_failed;
  // A range that runs past the end wraps round to the start, in two parts.
  const std::uint32_t head = std::min(bytes, size - offset);
  if (head < bytes && (second == nullptr || second_bytes == nullptr))
    return plat_failed;
  *first = b->data.data() + offset;
  *first_bytes = head;
  if (second != nullptr)
    *second = head < bytes ? b->data.data() : nullptr;
  if (second_bytes != nullptr)
    *second_bytes = bytes - head;
  return plat_ok;
}

plat_result plat_unlock_sound_buffer(plat_sound_buffer* buffer, void*, std::uint32_t, void*, std::uint32_t) {
  plat_sound_buffer* b = live_buffer(buffer);
  if (b == nullptr)
    return plat_failed;
  Mix_HaltChannel(b->channel);  // the chunk's memory is about to change
  prepare_chunk(b);
  return plat_ok;
}

plat_result plat_restore_sound_buffer(plat_sound_buffer* buffer) {
  // Buffers here never lose their memory.
  return live_buffer(buffer) != nullptr ? plat_ok : plat_failed;
}

void plat_stop_sound(plat_sound_buffer* buffer) {
  if (plat_sound_buffer* b = live_buffer(buffer))
    Mix_HaltChannel(b->channel);
}

void plat_set_sound_position(plat_sound_buffer* buffer, std::uint32_t position) {
  if (plat_sound_buffer* b = live_buffer(buffer))
    b->position = std::min<std::uint32_t>(position, static_cast<std::uint32_t>(b->data.size()));
}

void plat_play_sound(plat_sound_buffer* buffer) {
  plat_sound_buffer* b = live_buffer(buffer);
  if (b == nullptr || !b->playable)
    return;
  // Start at the same fraction of the converted samples, on a whole frame.
  const std::size_t out_frame =
      static_cast<std::size_t>(SDL_AUDIO_BITSIZE(audio.format) / 8) * static_cast<std::size_t>(audio.channels);
  std::size_t skip = 0;
  if (b->position > 0 && !b->data.empty()) {
    skip = static_cast<std::size_t>(static_cast<double>(b->position) / static_cast<double>(b->data.size()) *
                                    static_cast<double>(b->converted.size()));
    skip -= skip % out_frame;
  }
  if (skip >= b->converted.size())
    return;
  b->chunk.abuf = b->converted.data() + skip;
  b->chunk.alen = static_cast<Uint32>(b->converted.size() - skip);
  Mix_HaltChannel(b->channel);
  Mix_PlayChannel(b->channel, &b->chunk, 0);
}

void plat_release_sound_buffer(plat_sound_buffer* buffer) {
  auto& list = audio.buffers;
  auto it = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == buffer; });
  if (it == list.end())
    return;
  Mix_HaltChannel((*it)->channel);
  list.erase(it);
}

void shut_down_sound() {
  if (audio.open) {
    Mix_HaltChannel(-1);
    audio.buffers.clear();
    Mix_CloseAudio();
    Mix_Quit();
  }
  audio = audio_state{};
}

}  // namespace shindan
