// shindan-tool: decoding checks, smaller pictures for the browser edition, and
// scripted replays on the headless platform.
#include <cstdio>
#include <cstring>

#include "tools/shindan_tool/tool.h"

int main(int argc, char** argv) {
  if (argc >= 2) {
    if (std::strcmp(argv[1], "bmp") == 0)
      return shindan::tool_bmp(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "slim-bmp") == 0)
      return shindan::tool_slim_bmp(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "wav") == 0)
      return shindan::tool_wav(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "replay") == 0)
      return shindan::tool_replay(argc - 2, argv + 2);
  }
  std::fprintf(stderr,
               "usage: shindan-tool bmp FILE [--555]\n"
               "       shindan-tool slim-bmp IN OUT\n"
               "       shindan-tool wav FILE\n"
               "       shindan-tool replay SCRIPT [--ms N] [--555] [--log] [--speech]\n");
  return 2;
}
