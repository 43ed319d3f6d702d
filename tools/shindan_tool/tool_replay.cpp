#include <cstdio>

#include "tools/shindan_tool/tool.h"

namespace shindan {
int tool_replay(int, char**) {
  std::fprintf(stderr, "shindan-tool replay: not built yet\n");
  return 2;
}
}  // namespace shindan
