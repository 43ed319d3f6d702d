// shindan-tool replay SCRIPT [--ms N] [--555] [--log] [--speech]: runs the
// game on the headless platform under a script, in the current directory
// (which holds the pictures and sounds), and prints the frames run and the
// scores; --log also what was played and said, --speech starts with speech on.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/shindan_tool/replay.h"
#include "tools/shindan_tool/tool.h"

namespace shindan {

namespace {

int usage() {
  std::fprintf(stderr, "usage: shindan-tool replay SCRIPT [--ms N] [--555] [--log] [--speech]\n");
  return 2;
}

}  // namespace

int tool_replay(int argc, char** argv) {
  const char* path = nullptr;
  replay_options options;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--555") == 0) {
      options.five_five_five = true;
    } else if (std::strcmp(argv[i], "--log") == 0) {
      options.log = true;
    } else if (std::strcmp(argv[i], "--speech") == 0) {
      options.speech = true;
    } else if (std::strcmp(argv[i], "--ms") == 0 && i + 1 < argc) {
      char* end = nullptr;
      const unsigned long ms = std::strtoul(argv[++i], &end, 10);
      if (*end != '\0' || argv[i][0] == '\0' || argv[i][0] == '-' || ms > 1000000)
        return usage();
      options.frame_ms = static_cast<std::uint32_t>(ms);
    } else if (path == nullptr && argv[i][0] != '-') {
      path = argv[i];
    } else {
      return usage();
    }
  }
  if (path == nullptr)
    return usage();

  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "%s: cannot read the script\n", path);
    return 2;
  }
  std::ostringstream script;
  script << file.rdbuf();

  const replay_result result = run_replay_script(script.str(), options);
  std::fwrite(result.output.data(), 1, result.output.size(), stdout);
  std::fflush(stdout);
  if (!result.error.empty())
    std::fprintf(stderr, "%s: %s\n", path, result.error.c_str());
  return result.status;
}

}  // namespace shindan
