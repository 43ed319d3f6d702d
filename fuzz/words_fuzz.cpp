// Fuzz target: any bytes as the words file. Every text that comes out must be
// valid UTF-8 with no control character, whatever went in.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "game/narration.h"

namespace {

bool clean_utf8(const std::string& s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char b = p[i];
    std::size_t n = b < 0x80                 ? 1
                    : b >= 0xC2 && b <= 0xDF ? 2
                    : b >= 0xE0 && b <= 0xEF ? 3
                    : b >= 0xF0 && b <= 0xF4 ? 4
                                             : 0;
    if (n == 0 || i + n > s.size())
      return false;
    std::uint32_t c = n == 1 ? b : b & (0xFFu >> (n + 1));
    for (std::size_t k = 1; k < n; ++k) {
      if ((p[i + k] & 0xC0) != 0x80)
        return false;
      c = (c << 6) | (p[i + k] & 0x3Fu);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || c < 0x20 || c == 0x7F ||
        (c >= 0x80 && c < 0xA0))
      return false;
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  shindan::words_record words;
  shindan::parse_words(reinterpret_cast<const char*>(data), size, &words);
  for (const auto& [key, lines] : words.lines) {
    if (key.empty() || !clean_utf8(key))
      std::abort();
    for (const std::string& line : lines)
      if (!clean_utf8(line))
        std::abort();
  }
  return 0;
}
