// Sound effects from WAV files and looping MIDI music through MCI strings.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace shindan {

// ---- effects
constexpr int sound_slot_count = 100;
extern plat_sound_device* sound_device;
extern plat_sound_buffer* sounds[sound_slot_count];

bool init_sound(plat_window* window);
bool load_sound(plat_sound_buffer** slot, const char* file_name);
void play_sound(plat_sound_buffer* buffer);
void release_sound();
// The format and data size of the last file load_sound filled a buffer from.
extern plat_wave_format loaded_wave_format;
extern std::uint32_t loaded_wave_bytes;

// ---- music
extern std::uint8_t music_playing;
extern char mci_status[32];

void play_music(const char* file_name);
void stop_music();
void on_music_notify(plat_window* window, std::uint32_t code);
// The program file's directory with its trailing separator (recomputed at
// every call, held in a 256-byte buffer).
const char* program_directory();

}  // namespace shindan
