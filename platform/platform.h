// What the game needs of a machine, in the game's own terms.
//
// One backend implements every function here and is chosen at link time:
//   platform/win32/     DirectDraw, DirectSound, MCI, GDI (the original target)
//   platform/sdl/       SDL2 window, SDL2_mixer, FreeType text
//   platform/headless/  in-memory screen and devices, driven by tests and replays
//   platform/web/       a canvas and Web Audio in a browser page
//
// The portable program (app/, gfx/, sound/, game/) calls only these functions;
// no backend calls back into it (a backend's main file may call its entry).
#pragma once

#include <cstdint>
#include <cstdio>

namespace shindan {

enum class plat_result : std::uint8_t {
  ok,
  lost,    // the surface lost its memory; restore it and draw it again
  failed,  // anything else; the item is simply missing this time
};

// ---- Program, window and events

// Opens the program's one full-screen window; false when there is none.
bool plat_open_window();
// Minimises and destroys the window (the last step of the teardown).
void plat_close_window();

enum class plat_event : std::uint8_t {
  none,             // nothing waits: run a frame
  close_requested,  // Esc, the window's close button, Alt+F4
  tune_ended,       // the playing tune reached its end
};
// Handles what the machine has queued and answers the next event for the game.
plat_event plat_poll_event();

// Milliseconds since some start; wraps after 49.7 days.
std::uint32_t plat_tick_count();

enum class plat_key : std::uint8_t { enter, shift, space, up, down };
// Whether the key is held down now.
bool plat_key_down(plat_key key);

// Shows or hides the mouse cursor over the window.
void plat_show_cursor(bool show);

// A modal box with an OK button. Texts are Shift-JIS; a null caption asks for
// the system's default caption, an empty one for a blank title bar; owned puts
// it over the game's window.
void plat_message_box(const char* text, const char* caption, bool owned);

// The program file's path (cut to size bytes, zero-terminated when it fits)
// and the separator that ends its directory part.
std::uint32_t plat_program_file_name(char* buffer, std::uint32_t size);
extern const char plat_path_separator;

// Opens a file named in Shift-JIS; its contents are written as given.
std::FILE* plat_open_file_sjis(const char* name, const char* mode);

// ---- Display

struct plat_display;  // the display device
struct plat_surface;  // the screen, the back buffer or a picture

// How far display set-up got; each failing stage has its own answer.
enum class plat_display_stage : std::uint8_t {
  ready,
  no_device,
  no_exclusive_mode,
  no_device_interface,
  no_display_mode,  // 640x480 with 16 bits per pixel refused
  no_primary_surface,
  no_surface_interface,
  no_back_buffer,
};
struct plat_display_objects {
  plat_display* device = nullptr;
  plat_surface* primary_surface = nullptr;  // the screen
  plat_surface* back_buffer = nullptr;      // 640x480, 16 bits, drawn every frame
};
// Takes the screen at 640x480x16 with a back buffer; fills objects as far as it gets.
plat_display_stage plat_open_display(plat_display_objects* objects);
// Releases what set-up obtained and gives the desktop back.
void plat_close_display(const plat_display_objects& objects);
// Lets a message box show over the full-screen display.
void plat_flip_to_desktop(plat_display* device);

struct plat_rect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // right, bottom exclusive
};

// A surface's memory while it is locked.
struct plat_pixels {
  void* pixels = nullptr;
  std::int32_t pitch = 0;  // bytes per row
  std::uint32_t width = 0, height = 0;
  std::uint32_t bit_count = 0;
  std::uint32_t red_mask = 0, green_mask = 0, blue_mask = 0;
};

// Loads a bitmap file as a picture in the display's format, black transparent
// (width cut to 640); null when the file is missing or unreadable.
plat_surface* plat_load_picture(plat_display* device, const char* file_name);
// Makes pixels of the given colour (0x00BBGGRR, matched to the picture's
// format) the transparent ones.
plat_result plat_set_colour_key(plat_surface* picture, std::uint32_t colour);
void plat_release_surface(plat_surface* surface);
// Gives a lost surface its memory back (its contents are then undefined).
plat_result plat_restore_surface(plat_surface* surface);
// Size and format without locking.
plat_result plat_describe(plat_surface* surface, plat_pixels* info);
plat_result plat_lock(plat_surface* surface, plat_pixels* locked);
void plat_unlock(plat_surface* surface);
// Fills rect with a raw pixel value.
plat_result plat_fill(plat_surface* surface, const plat_rect& rect, std::uint32_t raw_colour);
// Copies src_rect of source to (x, y), skipping transparent pixels.
plat_result plat_copy_keyed(plat_surface* target, std::int32_t x, std::int32_t y, plat_surface* source,
                            const plat_rect& src_rect);
// Stretches src_rect onto dst_rect, skipping transparent pixels; a rectangle
// that is inverted or reaches outside its surface draws nothing.
plat_result plat_copy_keyed_stretched(plat_surface* target, const plat_rect& dst_rect, plat_surface* source,
                                      const plat_rect& src_rect);
// Shows the back buffer on the screen.
plat_result plat_present(const plat_display_objects& objects);

struct plat_font_request {
  std::int32_t height = 0;  // > 0 cell height, < 0 character height, pixels
  std::int32_t weight = 400;
  const char* face = "";  // Shift-JIS face name
};
// Draws Shift-JIS text, transparent background, clipped; colour 0x00BBGGRR.
void plat_draw_text(plat_surface* surface, const plat_font_request& font, std::int32_t x, std::int32_t y,
                    std::uint32_t colour, const char* text, std::uint32_t length);

// ---- Sound effects

enum class plat_sound_stage : std::uint8_t { ready, no_device, no_cooperation };
// Opens the sound device for the window.
plat_sound_stage plat_open_sound();
void plat_close_sound();

struct plat_sound;  // one effect, ready to play

// How reading a WAV file into a sound went.
enum class plat_wave_stage : std::uint8_t {
  ready,
  cannot_open,
  no_wave_form,        // no RIFF "WAVE" form
  no_format_chunk,     // no "fmt " chunk
  short_format,        // the format could not be read
  not_pcm,             // format tag other than 1
  cannot_leave_format, // the format chunk cannot be left
  no_data_chunk,
  short_data,          // the file holds less data than its chunk claims
  no_buffer,           // no sound could be made of it
  unfilled,            // a sound was made but not filled: it stays, silent
};
// Reads a WAV file; *sound is set when the stage is ready or unfilled.
plat_wave_stage plat_load_sound(const char* file_name, plat_sound** sound);
// Plays the sound from its start, cutting off a playback still running.
void plat_play_sound(plat_sound* sound);
void plat_release_sound(plat_sound* sound);

// ---- Tunes (one at a time)

// Opens a tune file by its full path; false when the path cannot even be
// handed to the player (a file that fails to open still counts, silent).
bool plat_open_tune(const char* path);
// Plays the open tune from its start; reaching its end gives tune_ended once.
void plat_play_tune();
// Whether the open tune stands still (played to its end, stopped, none).
bool plat_tune_stopped();
// Stopping or closing is never reported as an end.
void plat_stop_tune();
void plat_close_tune();

}  // namespace shindan
