// Pieces the SDL2 backend's files share: the one window, the event that
// carries tune news from the audio side to the main loop, and the shutdown
// hooks main runs after the program's own teardown.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/platform.h"

namespace shindan {

// The program's window. plat_open_window only readies the event queue; the
// SDL window itself is made with the display, so that a machine without a
// display still gets its message.
struct desktop_window {
  bool open = false;
  SDL_Window* sdl = nullptr;
  bool fullscreen = true;
};
extern desktop_window window;

// The custom event type tune news travels in (0 until the window is open).
extern std::uint32_t tune_event_type;
// What a tune event's code says.
constexpr std::int32_t tune_event_ended = 1;   // data1: the play it belongs to
constexpr std::int32_t tune_event_loaded = 2;  // a tune finished loading

// Takes a tune event on the main thread; true when it tells of a tune that
// really played to its end.
bool take_tune_event(const SDL_Event& event);
// True once when the playing tune's end of track has come by the clock: the
// tune is then halted and has ended, as the Windows sequencer ends it.
bool take_tune_time();

// Full screen at the desktop's size, or a resizable window.
void set_window_fullscreen(bool fullscreen);

// The primary surface, which holds the frame last presented; null while
// there is no display.
const plat_surface* shown_frame();
// Saves the frame on screen as a PNG file in the player's pictures folder
// and says where on stderr (the F12 key).
void save_screenshot();

// Gamepads: one coming or going, whether any holds a button that stands for
// the key, and letting go of them all when the window closes.
void take_pad_event(const SDL_Event& event);
bool any_pad_key_down(plat_key key);
void close_pads();

// The soundfont SDL2_mixer is to play tunes with: SDL_SOUNDFONTS when set,
// else the first General-MIDI font of the system; "" when there is none.
const char* choose_soundfont();

// Called once from main after the program's loop has ended, in this order:
// the tunes let go of their player and loader, then the sound device and
// SDL itself close.
void shut_down_music();
void shut_down_sound();

}  // namespace shindan
