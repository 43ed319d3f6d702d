// shindan-tool bmp FILE [--555]: decodes a picture as the game loads it and
// prints the 16-bit surface pixels, so a decode can be compared by eye or by
// diff against what Windows puts on the surface.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/common/bmp_decode.h"
#include "tools/shindan_tool/tool.h"

namespace shindan {

int tool_bmp(int argc, char** argv) {
  const char* path = nullptr;
  pixel_layout layout = pixel_layout::rgb565;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--555") == 0) {
      layout = pixel_layout::rgb555;
    } else if (path == nullptr && argv[i][0] != '-') {
      path = argv[i];
    } else {
      std::fprintf(stderr, "usage: shindan-tool bmp FILE [--555]\n");
      return 2;
    }
  }
  if (path == nullptr) {
    std::fprintf(stderr, "usage: shindan-tool bmp FILE [--555]\n");
    return 2;
  }

  decoded_picture picture;
  const char* why = "unknown failure";
  if (!decode_bmp_file(path, layout, &picture, &why)) {
    std::fprintf(stderr, "%s: %s\n", path, why);
    return 1;
  }

  std::printf("%u %u\n", static_cast<unsigned>(picture.width), static_cast<unsigned>(picture.height));
  static const char hex[] = "0123456789abcdef";
  std::string line;
  line.reserve(static_cast<std::size_t>(picture.width) * 5 + 1);
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    line.clear();
    const std::uint16_t* row = picture.pixels.data() + static_cast<std::size_t>(y) * picture.width;
    for (std::uint32_t x = 0; x < picture.width; ++x) {
      if (x > 0)
        line.push_back(' ');
      const std::uint16_t v = row[x];
      line.push_back(hex[(v >> 12) & 15]);
      line.push_back(hex[(v >> 8) & 15]);
      line.push_back(hex[(v >> 4) & 15]);
      line.push_back(hex[v & 15]);
    }
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace shindan
