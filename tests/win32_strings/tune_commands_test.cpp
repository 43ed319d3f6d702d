// The sequencer takes its commands as text, so a wrong byte is a tune that
// never plays: every command is compared byte for byte.
#include "platform/win32/tune_commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace shindan {
namespace {

std::string built(tune_command command, const char* path = nullptr) {
  char buffer[tune_command_bytes];
  std::memset(buffer, 'x', sizeof buffer);
  if (!build_tune_command(command, path, buffer))
    return "(refused)";
  return buffer;
}

TEST(tune_commands, fixed_commands_are_exact_and_ignore_the_path) {
  EXPECT_EQ(built(tune_command::seek_to_start), "seek midi to start");
  EXPECT_EQ(built(tune_command::play_notify), "play midi notify");
  EXPECT_EQ(built(tune_command::stop), "stop midi");
  EXPECT_EQ(built(tune_command::close), "close midi");
  EXPECT_EQ(built(tune_command::status_mode, "C:\\x\\"), "status midi mode");
}

TEST(tune_commands, open_quotes_the_path_with_its_spaces_and_shift_jis_bytes) {
  EXPECT_EQ(built(tune_command::open, "C:\\Program Files\\shindan\\bgm01.mid"),
            "open \"C:\\Program Files\\shindan\\bgm01.mid\" type sequencer alias midi");
  // 表 is 0x95 0x5C: its second byte is a backslash, which must neither be
  // doubled nor taken for anything; Shift-JIS bytes pass through untouched.
  EXPECT_EQ(built(tune_command::open, "D:\\\x95\x5c\\bgm03.mid"),
            "open \"D:\\\x95\x5c\\bgm03.mid\" type sequencer alias midi");
  EXPECT_EQ(built(tune_command::open, nullptr), "(refused)");
}

TEST(tune_commands, open_fits_the_buffer_or_is_refused_whole) {
  // 33 bytes of the command are its own; with the terminator a path of 222
  // bytes is the longest that fits the 256-byte buffer.
  const std::string longest(222, 'a');
  const std::string command = built(tune_command::open, longest.c_str());
  EXPECT_EQ(command.size(), 255u);
  EXPECT_EQ(command.substr(0, 6), "open \"");
  EXPECT_EQ(command.substr(228), "\" type sequencer alias midi");

  const std::string too_long(223, 'a');
  char buffer[tune_command_bytes];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_FALSE(build_tune_command(tune_command::open, too_long.c_str(), buffer));
  // Nothing cut off is left behind for a careless caller to send.
  EXPECT_EQ(buffer[0], '\0');
}

}  // namespace
}  // namespace shindan
