// A frame of the 16-bit screen as an 8-bit RGB PNG file. The replay tool and
// the desktop's screenshot key write through here, so that a picture saved
// while playing holds exactly the pixels the replay shows for that frame.
#pragma once

#include <cstdint>
#include <cstdio>

namespace shindan {

// One 16-bit pixel (5-6-5, or 5-5-5 when asked) as 0x00RRGGBB, each channel
// widened by repeating its top bits, so that white stays 255.
std::uint32_t frame_pixel_rgb(std::uint16_t pixel, bool five_five_five);

// Writes width x height pixels, rows pitch bytes apart, as a PNG into an
// open file; false when the encoder fails.
bool write_frame_png(std::FILE* file, const std::uint16_t* pixels, std::int32_t pitch, std::int32_t width,
                     std::int32_t height, bool five_five_five);

}  // namespace shindan
