// What the game needs of a machine, in the game's own terms. One backend
// implements it, chosen at link time: platform/win32 (DirectDraw, DirectSound,
// MCI, GDI), platform/sdl (SDL2, SDL2_mixer, FreeType), platform/headless (in
// memory, for tests and replays), platform/web (a canvas and Web Audio).
// The portable program calls only these functions; no backend calls back into
// it (a backend's main file may call its entry).
#pragma once

#include <cstdint>
#include <cstdio>

namespace shindan {

// lost: the surface lost its memory, restore it and draw again; failed: the
// item is simply missing this time.
enum class plat_result : std::uint8_t { ok, lost, failed };

// ---- Program, window and events

bool plat_open_window();   // the one full-screen window; false when there is none
void plat_close_window();  // minimises and destroys it, the teardown's last step

enum class plat_event : std::uint8_t {
  none,             // nothing waits: run a frame
  close_requested,  // Esc, the window's close button, Alt+F4
  tune_ended,       // the playing tune reached its end
  speech_toggled,   // the player asked for speech on or off (V, the page's switch)
};
// Handles what the machine has queued and answers the next event for the game.
plat_event plat_poll_event();

std::uint32_t plat_tick_count();  // milliseconds; wraps after 49.7 days

enum class plat_key : std::uint8_t { enter, shift, space, up, down };
bool plat_key_down(plat_key key);  // held down now
void plat_show_cursor(bool show);  // the mouse cursor over the window

// A modal box with an OK button; Shift-JIS texts. A null caption is the
// system's default, an empty one a blank title bar; owned puts it over the game.
void plat_message_box(const char* text, const char* caption, bool owned);

// The program file's path, cut to size bytes, and the separator ending its folder.
std::uint32_t plat_program_file_name(char* buffer, std::uint32_t size);
extern const char plat_path_separator;
// Opens a file named in Shift-JIS; its contents are written as given.
std::FILE* plat_open_file_sjis(const char* name, const char* mode);

// ---- Display: the screen, a 640x480 16-bit back buffer, pictures

struct plat_display;
struct plat_surface;

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
  plat_surface* primary_surface = nullptr;
  plat_surface* back_buffer = nullptr;
};
// Takes the screen; fills objects as far as it gets.
plat_display_stage plat_open_display(plat_display_objects* objects);
void plat_close_display(const plat_display_objects& objects);  // gives the desktop back
void plat_flip_to_desktop(plat_display* device);               // so a box shows over the game

struct plat_rect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // right, bottom exclusive
};
struct plat_pixels {
  void* pixels = nullptr;  // only while locked
  std::int32_t pitch = 0;  // bytes per row
  std::uint32_t width = 0, height = 0, bit_count = 0;
  std::uint32_t red_mask = 0, green_mask = 0, blue_mask = 0;
};

// A bitmap file as a picture in the display's format, black transparent,
// width cut to 640; null when the file is missing or unreadable.
plat_surface* plat_load_picture(plat_display* device, const char* file_name);
// Pixels of this colour (0x00BBGGRR, matched to the picture) become transparent.
plat_result plat_set_colour_key(plat_surface* picture, std::uint32_t colour);
void plat_release_surface(plat_surface* surface);
plat_result plat_restore_surface(plat_surface* surface);              // memory back, contents undefined
plat_result plat_describe(plat_surface* surface, plat_pixels* info);  // without locking
plat_result plat_lock(plat_surface* surface, plat_pixels* locked);
void plat_unlock(plat_surface* surface);
plat_result plat_fill(plat_surface* surface, const plat_rect& rect, std::uint32_t raw_colour);
// Copies src_rect of source to (x, y), skipping transparent pixels.
plat_result plat_copy_keyed(plat_surface* target, std::int32_t x, std::int32_t y, plat_surface* source,
                            const plat_rect& src_rect);
// Stretches src_rect onto dst_rect, skipping transparent pixels; a rectangle
// inverted or reaching outside its surface draws nothing.
plat_result plat_copy_keyed_stretched(plat_surface* target, const plat_rect& dst_rect, plat_surface* source,
                                      const plat_rect& src_rect);
plat_result plat_present(const plat_display_objects& objects);  // the back buffer to the screen

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
plat_sound_stage plat_open_sound();
void plat_close_sound();

struct plat_sound;
// How reading a WAV file into a sound went, stage by stage.
enum class plat_wave_stage : std::uint8_t {
  ready,
  cannot_open,
  no_wave_form,     // no RIFF "WAVE" form
  no_format_chunk,  // no "fmt " chunk
  short_format,
  not_pcm,              // format tag other than 1
  cannot_leave_format,  // the format chunk cannot be left
  no_data_chunk,
  short_data,  // less data than the chunk claims
  no_buffer,   // no sound could be made of it
  unfilled,    // a sound was made but not filled: it stays, silent
};
// *sound is set when the stage is ready or unfilled.
plat_wave_stage plat_load_sound(const char* file_name, plat_sound** sound);
void plat_play_sound(plat_sound* sound);  // from its start, cutting off a playback
void plat_release_sound(plat_sound* sound);

// ---- Tunes, one at a time

// False when the path cannot even be handed to the player; a file that fails
// to open still counts as open, silent.
bool plat_open_tune(const char* path);
void plat_play_tune();     // from its start; reaching the end gives tune_ended once
bool plat_tune_stopped();  // played to its end, stopped, or none open
void plat_stop_tune();     // stopping or closing is never an end
void plat_close_tune();

// ---- Speech: the words on the screen, for players who cannot see it

// Readies a voice for the pack's language ("ja", "en"); answers whether the
// player wants speech from the start (a setting, a running screen reader).
bool plat_open_speech(const char* language);
void plat_close_speech();       // stops at once, mid-sentence too
void plat_set_speech(bool on);  // the player's switch: words are said aloud only while on
// The screen's words changed (UTF-8): said after what is being said, or
// cutting it off when it is stale; an empty text with cut_off only silences.
// Never waits for the voice.
void plat_speak(const char* text, bool cut_off);

}  // namespace shindan
