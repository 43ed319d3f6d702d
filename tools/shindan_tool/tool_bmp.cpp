#include <cstdio>

#include "tools/shindan_tool/tool.h"

namespace shindan {
int tool_bmp(int, char**) {
  std::fprintf(stderr, "shindan-tool bmp: not built yet\n");
  return 2;
}
}  // namespace shindan
