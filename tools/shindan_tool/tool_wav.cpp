#include <cstdio>

#include "tools/shindan_tool/tool.h"

namespace shindan {
int tool_wav(int, char**) {
  std::fprintf(stderr, "shindan-tool wav: not built yet\n");
  return 2;
}
}  // namespace shindan
