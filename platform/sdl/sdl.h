// Pieces the SDL2 backend's files share: the window record behind the
// platform's opaque handle, the custom event that carries music news from
// the audio side to the main loop, and the shutdown hooks main runs.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/platform.h"

namespace shindan {

struct plat_window {
  SDL_Window* sdl = nullptr;  // made when the display is opened
  bool exists = true;
  bool shown = false;
  bool fullscreen = true;
};

// The custom event type music news travels in (0 until the window exists).
extern std::uint32_t music_event_type;
// What a music event's code says.
constexpr std::int32_t music_event_ended = 1;   // data1: the play generation
constexpr std::int32_t music_event_loaded = 2;  // a tune finished loading

// Queues a message for the window procedure (dropped once the window it
// names is gone).
void queue_message(const plat_message& message);

// Hands a music event to the sequencer; runs on the main thread only.
void handle_music_event(const SDL_Event& event);

// Switches between full screen at the desktop's size and a resizable window.
void toggle_fullscreen(plat_window* window);
// True while the renderer presents in full screen; message boxes step out
// of it so that they are not hidden behind the picture.
bool window_is_fullscreen(plat_window* window);
void set_window_fullscreen(plat_window* window, bool fullscreen);

// The soundfont SDL2_mixer is to play tunes with: SDL_SOUNDFONTS when set,
// else the first General-MIDI font of the system; "" when there is none.
const char* choose_soundfont();

// Called once from main after the loop has ended, in this order: the
// sequencer lets go of its tunes and its loader, then the sound device and
// SDL itself close.
void shut_down_music();
void shut_down_sound();

}  // namespace shindan
