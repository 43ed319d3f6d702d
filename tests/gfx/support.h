// Shared helpers of the graphics tests: a fresh in-memory display, bitmap
// files written on the spot, and direct access to surface pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gfx/gfx.h"

namespace shindan::test {

// Forgets everything the platform and the graphics globals held, opens a
// window and a display in the given layout and reads its pixel format.
void open_display(bool five_five_five = false);
// Closes the display and the window opened by open_display.
void close_everything();

// A directory of this test run's own, removed when the program ends.
const std::string& temp_dir();

// Writes a 24-bit bitmap file into temp_dir() and answers its path. colour
// gives 0xRRGGBB for each pixel, (0, 0) being the top-left one.
using colour_at = std::function<std::uint32_t(int x, int y)>;
std::string write_bmp(const std::string& name, int width, int height, const colour_at& colour, bool top_down = false);
// Loads a bitmap of one colour into a slot; fails the test when it does not load.
void load_plain_picture(image_slot* slot, const std::string& name, int width, int height, std::uint32_t rgb);

// Pixels of any surface through a lock.
std::uint16_t peek(plat_surface* surface, int x, int y);
void poke(plat_surface* surface, int x, int y, std::uint16_t value);
// Sets every pixel of the surface to value(x, y).
void paint(plat_surface* surface, const std::function<std::uint16_t(int x, int y)>& value);

// Reads one pixel of the back buffer snapshot.
inline std::uint16_t at(const std::vector<std::uint16_t>& pixels, int x, int y) {
  return pixels[static_cast<std::size_t>(y) * screen_width + static_cast<std::size_t>(x)];
}

// The same generator the program uses, stepped on a copy of its state.
inline int next_rand(std::uint32_t* state) {
  *state = *state * 214013u + 2531011u;
  return static_cast<int>((*state >> 16) & 0x7FFFu);
}

}  // namespace shindan::test
