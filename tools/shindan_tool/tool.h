// shindan-tool subcommands; each answers the process exit status.
#pragma once

namespace shindan {
int tool_bmp(int argc, char** argv);
int tool_slim_bmp(int argc, char** argv);
int tool_wav(int argc, char** argv);
int tool_replay(int argc, char** argv);
}  // namespace shindan
