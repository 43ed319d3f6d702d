// Sound effects from WAV files and the looping background tune.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace shindan {

// ---- effects
constexpr int sound_slot_count = 100;
struct audio_record {
  bool device_open = false;
  plat_sound* sounds[sound_slot_count] = {};
};
extern audio_record audio;

bool init_sound();
bool load_sound(plat_sound** slot, const char* file_name);
void play_sound(plat_sound* sound);
void release_sound();

// ---- music
struct music_record {
  std::uint8_t music_playing = 0;
};
extern music_record music;

void play_music(const char* file_name);
void stop_music();
// The tune played to its end: it starts again from the beginning.
void on_tune_ended();
// The program file's directory with its trailing separator (recomputed at
// every call, held in a 256-byte buffer).
const char* program_directory();

}  // namespace shindan
