// What the game needs of the operating system, in the game's own terms.
//
// One backend implements every function here and is chosen at link time:
//   platform/win32/     DirectDraw, DirectSound, MCI, GDI (the original target)
//   platform/sdl/       SDL2 window, SDL2_mixer, FreeType text
//   platform/headless/  in-memory screen and devices, driven by tests and replays
//
// The portable program (app/, gfx/, sound/, game/) calls only these functions.
// Results follow the original convention: an operation that can fail returns
// a plat_result, where 0 is success and every failure is negative; only the
// failures the program reacts to have names of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace shindan {

// ---------------------------------------------------------------------------
// Results

using plat_result = std::int32_t;
constexpr plat_result plat_ok = 0;
constexpr plat_result plat_failed = static_cast<plat_result>(0x80004005u);
// The surface lost its memory (mode switch, another program took the screen).
constexpr plat_result plat_surface_lost = static_cast<plat_result>(0x887601C2u);
// A blit is still pending on the surface; a lock should simply be retried.
constexpr plat_result plat_still_drawing = static_cast<plat_result>(0x8876021Cu);
// A sound buffer lost its memory; restore and lock again.
constexpr plat_result plat_buffer_lost = static_cast<plat_result>(0x88780096u);

inline bool plat_failed_result(plat_result r) { return r < 0; }

// ---------------------------------------------------------------------------
// Window, messages, program

struct plat_window;

// Messages the backend's queue delivers. The portable loop takes them one at a
// time and runs a frame only when none is waiting.
enum class plat_message_kind : std::uint8_t {
  quit,          // the loop ends
  key_down,      // param = virtual-key code (27 = Esc)
  close,         // close request (Esc, window close button, Alt+F4)
  music_notify,  // param = notification code (1 = played to its end)
  other,         // anything the program does not look at
};

struct plat_message {
  plat_message_kind kind = plat_message_kind::other;
  plat_window* window = nullptr;
  std::uint32_t param = 0;
};

// Creates the program's one full-screen popup window. The backend calls
// on_window_create (app/shell.h) while the window is being created, as the
// window system does. Returns null on failure.
plat_window* plat_create_window();
void plat_show_window(plat_window* window);
// Minimises (CloseWindow), then destroys; destroying calls on_window_destroy.
void plat_minimise_window(plat_window* window);
void plat_destroy_window(plat_window* window);
// Takes the next waiting message off the queue; false when the queue is empty.
bool plat_peek_message(plat_message* message);
// Hands a message to the window procedure, which calls the app/shell.h handlers.
void plat_dispatch_message(const plat_message& message);
void plat_post_close(plat_window* window);
void plat_post_quit();
void plat_show_cursor(bool show);

// Milliseconds since some start; wraps after 49.7 days like GetTickCount.
std::uint32_t plat_tick_count();

// Virtual-key codes the game polls.
constexpr int vk_enter = 13;
constexpr int vk_shift = 16;
constexpr int vk_escape = 27;
constexpr int vk_space = 32;
constexpr int vk_up = 38;
constexpr int vk_down = 40;
// The key state with GetKeyState's meaning: bit 0x80 set while the key is down.
std::int16_t plat_key_state(int virtual_key);

// A modal message box with MB_OK. Texts are Shift-JIS bytes; a null caption
// asks for the system's default caption, an empty one for a blank title.
// owner may be null.
void plat_message_box(plat_window* owner, const char* text, const char* caption);

// The path of the program file, zero-terminated, cut to size bytes like
// GetModuleFileNameA. Returns the number of bytes written without the zero.
std::uint32_t plat_program_file_name(char* buffer, std::uint32_t size);
// The separator between directories in what plat_program_file_name returns.
extern const char plat_path_separator;

// Opens a file whose name is given as Shift-JIS bytes, in the working
// directory unless the name holds a directory part. The contents are written
// as they are given; only the name is converted to what the file system takes.
std::FILE* plat_open_file_sjis(const char* name, const char* mode);

// ---------------------------------------------------------------------------
// Display and surfaces

struct plat_display;  // the display device
struct plat_surface;  // the screen, the back buffer or a picture

// How far display set-up got; each stage has its own failure.
enum class plat_display_stage : std::uint8_t {
  ready,
  no_device,          // no display device could be opened
  no_exclusive_mode,  // full-screen exclusive cooperation refused
  no_device_interface,
  no_display_mode,    // 640x480x16 refused
  no_primary_surface,
  no_surface_interface,
  no_back_buffer,
};

// The objects set-up has obtained so far; fields stay null past the stage
// that failed. The back buffer belongs to the primary surface.
struct plat_display_objects {
  plat_display* device = nullptr;
  plat_surface* primary_surface = nullptr;
  plat_surface* back_buffer = nullptr;
};

// Takes the screen exclusively at 640x480 with 16 bits per pixel and makes a
// primary surface with one back buffer. Fills objects as far as it gets.
plat_display_stage plat_open_display(plat_window* window, plat_display_objects* objects);
// Releases the primary (and with it the back buffer), gives the desktop its
// mode back, returns to normal cooperation and releases the device.
void plat_close_display(plat_window* window, plat_display_objects* objects);
// Lets a message box show over the full-screen display.
void plat_flip_to_desktop(plat_display* device);

struct plat_rect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct plat_surface_info {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::int32_t pitch = 0;  // bytes per row
  std::uint32_t bit_count = 0;
  std::uint32_t red_mask = 0, green_mask = 0, blue_mask = 0;
};

// Loads a Windows bitmap file as a new picture surface in the display's pixel
// format: width cut to 640, height the bitmap's full height, top row first.
// Null when the file is missing, malformed or no surface can be made.
plat_surface* plat_load_picture(plat_display* device, const char* file_name);
void plat_release_surface(plat_surface* surface);
plat_result plat_surface_describe(plat_surface* surface, plat_surface_info* info);
plat_result plat_restore_surface(plat_surface* surface);

// Source colour key: pixels of this raw value are skipped by keyed copies.
plat_result plat_set_colour_key(plat_surface* surface, std::uint32_t raw_key);

// Writes GDI colour 0x00BBGGRR into pixel (0, 0) through the window system's
// own conversion and returns the colour that was there; false when the
// surface gives no drawing context.
bool plat_swap_first_pixel(plat_surface* surface, std::uint32_t colour, std::uint32_t* previous);
// Writes a GDI colour back into pixel (0, 0).
bool plat_put_first_pixel(plat_surface* surface, std::uint32_t colour);

struct plat_locked {
  void* pixels = nullptr;
  std::int32_t pitch = 0;
  std::uint32_t width = 0, height = 0;
  std::uint32_t bit_count = 0;
};
// wait: keep trying while a blit is pending (DDLOCK_WAIT); otherwise a pending
// blit gives plat_still_drawing.
plat_result plat_lock(plat_surface* surface, bool wait, plat_locked* locked);
plat_result plat_unlock(plat_surface* surface);

// Fills rect of the surface with a raw pixel value.
plat_result plat_fill(plat_surface* surface, const plat_rect& rect, std::uint32_t raw_colour);
// Copies src_rect of source to (x, y) unscaled, skipping pixels equal to the
// source's colour key. An empty rectangle copies nothing.
plat_result plat_copy_keyed(plat_surface* target, std::int32_t x, std::int32_t y, plat_surface* source,
                            const plat_rect& src_rect);
// Stretches src_rect of source onto dst_rect, skipping keyed pixels. An
// inverted rectangle, or one outside either surface, is refused and nothing
// is drawn.
plat_result plat_copy_keyed_stretched(plat_surface* target, const plat_rect& dst_rect, plat_surface* source,
                                      const plat_rect& src_rect);
// Copies the whole back buffer to the screen; may answer plat_surface_lost.
plat_result plat_present(plat_surface* primary, plat_surface* back_buffer, const plat_rect& screen);

// The font a text is drawn in, as the program asks for it.
struct plat_font_request {
  std::int32_t height = 0;  // > 0 cell height, < 0 character height, pixels
  std::int32_t weight = 400;
  std::uint8_t charset = 0;  // 128 = Shift-JIS
  const char* face = "";     // Shift-JIS face name
};
// Draws Shift-JIS text with a transparent background, clipped to the surface.
// colour is 0x00BBGGRR. Draws nothing when the surface gives no context.
void plat_draw_text(plat_surface* surface, const plat_font_request& font, std::int32_t x, std::int32_t y,
                    std::uint32_t colour, const char* text, std::uint32_t length);

// ---------------------------------------------------------------------------
// Sound effects

struct plat_sound_device;
struct plat_sound_buffer;

struct plat_wave_format {
  std::uint16_t format_tag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samples_per_second = 0;
  std::uint32_t average_bytes_per_second = 0;
  std::uint16_t block_align = 0;
  std::uint16_t bits_per_sample = 0;
};

plat_sound_device* plat_create_sound_device();  // null on failure
bool plat_set_sound_cooperation(plat_sound_device* device, plat_window* window);
void plat_release_sound_device(plat_sound_device* device);
// A buffer of bytes bytes that plays PCM of the given format; null on failure.
plat_sound_buffer* plat_create_sound_buffer(plat_sound_device* device, const plat_wave_format& format,
                                            std::uint32_t bytes);
// Locks [offset, offset + bytes) and answers up to two regions (the second
// when the range wraps round the buffer's end).
plat_result plat_lock_sound_buffer(plat_sound_buffer* buffer, std::uint32_t offset, std::uint32_t bytes,
                                   void** first, std::uint32_t* first_bytes, void** second,
                                   std::uint32_t* second_bytes);
plat_result plat_unlock_sound_buffer(plat_sound_buffer* buffer, void* first, std::uint32_t first_bytes,
                                     void* second, std::uint32_t second_bytes);
plat_result plat_restore_sound_buffer(plat_sound_buffer* buffer);
void plat_stop_sound(plat_sound_buffer* buffer);
void plat_set_sound_position(plat_sound_buffer* buffer, std::uint32_t position);
void plat_play_sound(plat_sound_buffer* buffer);  // once, from the position
void plat_release_sound_buffer(plat_sound_buffer* buffer);

// RIFF files, read chunk by chunk (the multimedia file functions).
struct plat_riff_file;
struct plat_riff_chunk {
  char id[4] = {};         // chunk identifier ("RIFF" for the outer chunk)
  char form[4] = {};       // form type of a RIFF chunk ("WAVE")
  std::uint32_t size = 0;       // data bytes the chunk claims
  std::uint32_t available = 0;  // data bytes of it the file really holds
  std::uint32_t data_offset = 0;
};
plat_riff_file* plat_riff_open(const char* file_name);  // null when it cannot be opened
// Finds the RIFF chunk of the given form type from the start of the file.
bool plat_riff_find_form(plat_riff_file* file, const char form[4], plat_riff_chunk* chunk);
// Finds a sub-chunk inside parent, searching from the current position.
bool plat_riff_find_chunk(plat_riff_file* file, const plat_riff_chunk& parent, const char id[4],
                          plat_riff_chunk* chunk);
// Reads up to bytes bytes from the current position; answers how many it read
// (-1 on error).
std::int32_t plat_riff_read(plat_riff_file* file, void* data, std::int32_t bytes);
// Moves past the end of chunk.
bool plat_riff_leave(plat_riff_file* file, const plat_riff_chunk& chunk);
void plat_riff_close(plat_riff_file* file);

// ---------------------------------------------------------------------------
// Music: MCI command strings

// Sends one command string. reply (reply_size bytes) receives a text answer
// when given; notify, when given, receives a music_notify message when the
// command completes or is superseded. Answers 0 on success.
std::uint32_t plat_send_music_command(const char* command, char* reply, std::uint32_t reply_size,
                                      plat_window* notify);

}  // namespace shindan
