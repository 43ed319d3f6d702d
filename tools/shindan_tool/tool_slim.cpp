// shindan-tool slim-bmp IN OUT: writes to OUT the smallest bitmap that loads
// exactly as IN does (bmp_slim.h), for the browser edition's packs. Prints
// the sizes before and after.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/shindan_tool/bmp_slim.h"
#include "tools/shindan_tool/tool.h"

namespace shindan {

int tool_slim_bmp(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: shindan-tool slim-bmp IN OUT\n");
    return 2;
  }
  std::ifstream in(argv[0], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot open the file\n", argv[0]);
    return 1;
  }
  const std::vector<std::uint8_t> original{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::vector<std::uint8_t> slim = slim_bmp(original.data(), original.size());
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(slim.data()), static_cast<std::streamsize>(slim.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "%s: cannot write the file\n", argv[1]);
    return 1;
  }
  std::printf("%zu %zu\n", original.size(), slim.size());
  return 0;
}

}  // namespace shindan
