// Smaller bitmap files for the browser edition, whose pictures are
// downloaded and unpacked before the title can show: the game's 24-bit
// pictures hold few colours once they are on a 16-bit screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace shindan {

// The smallest of these files that the game's decoder turns into exactly the
// pixels of `data`, on a 5-6-5 and on a 5-5-5 screen alike: 8 bits a pixel
// with a palette, plain or run-length coded, or 16 bits a pixel with 5-6-5
// masks. Answers `data` itself when none is smaller, or when it does not
// decode (the game must then refuse the same bytes).
std::vector<std::uint8_t> slim_bmp(const std::uint8_t* data, std::size_t size);

}  // namespace shindan
