// The MCI command interpreter over the recording sequencer: the commands
// the music sends, the notifications a window gets, and the replies.
#include "platform/common/mci.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/support/files.h"

namespace shindan {
namespace {

struct mci : ::testing::Test {
  plat_window* window = nullptr;
  std::string tune;

  void SetUp() override {
    headless::reset();
    window = plat_create_window();
    std::filesystem::create_directories(testing_files::temp_path("with spaces"));
    tune = testing_files::write_temp_text("with spaces/bgm01.mid", "MThd");
  }
  void TearDown() override { headless::reset(); }

  std::uint32_t send(const std::string& command, plat_window* notify = nullptr) {
    return plat_send_music_command(command.c_str(), nullptr, 0, notify);
  }
  std::string status() {
    char reply[32] = "junk";
    EXPECT_EQ(plat_send_music_command("status midi mode", reply, sizeof reply, nullptr), 0u);
    return reply;
  }
  // The notification codes queued so far, in order; other messages dropped.
  std::vector<std::uint32_t> notifications() {
    std::vector<std::uint32_t> codes;
    plat_message m;
    while (plat_peek_message(&m))
      if (m.kind == plat_message_kind::music_notify) {
        EXPECT_EQ(m.window, window);
        codes.push_back(m.param);
      }
    return codes;
  }
  void open_and_play() {
    ASSERT_EQ(send("open \"" + tune + "\" type sequencer alias midi"), 0u);
    ASSERT_EQ(send("seek midi to start"), 0u);
    ASSERT_EQ(send("play midi notify", window), 0u);
  }
};

TEST_F(mci, plays_a_quoted_path_with_spaces_and_reports_its_mode) {
  open_and_play();
  EXPECT_EQ(headless::open_tune(), tune);
  EXPECT_TRUE(headless::tune_playing());
  EXPECT_EQ(status(), "playing");
  EXPECT_EQ(send("stop midi"), 0u);
  EXPECT_EQ(status(), "stopped");
  EXPECT_EQ(send("close midi"), 0u);
  EXPECT_EQ(headless::open_tune(), "");
  EXPECT_EQ(headless::music_commands().size(), 7u);
  EXPECT_EQ(headless::music_commands()[1], "seek midi to start");
}

TEST_F(mci, every_end_of_the_tune_notifies_success_and_a_replay_loops_it) {
  open_and_play();
  for (int loop = 0; loop < 3; ++loop) {
    headless::end_tune();
    EXPECT_FALSE(headless::tune_playing());
    EXPECT_EQ(notifications(), std::vector<std::uint32_t>{mci_notify_successful});
    EXPECT_EQ(status(), "stopped");
    ASSERT_EQ(send("seek midi to start"), 0u);
    ASSERT_EQ(send("play midi notify", window), 0u);
    EXPECT_TRUE(headless::tune_playing());
  }
  // Playing again without rewinding ends at once: the tune stands at its end.
  headless::end_tune();
  notifications();
  ASSERT_EQ(send("play midi notify", window), 0u);
  EXPECT_FALSE(headless::tune_playing());
  EXPECT_EQ(notifications(), std::vector<std::uint32_t>{mci_notify_successful});
}

TEST_F(mci, a_superseded_or_aborted_play_never_reports_success) {
  open_and_play();
  ASSERT_EQ(send("stop midi"), 0u);
  EXPECT_EQ(notifications(), std::vector<std::uint32_t>{mci_notify_aborted});
  headless::end_tune();  // stopped: no end to report
  EXPECT_TRUE(notifications().empty());

  ASSERT_EQ(send("play midi notify", window), 0u);
  ASSERT_EQ(send("play midi notify", window), 0u);
  EXPECT_EQ(notifications(), std::vector<std::uint32_t>{mci_notify_superseded});
  ASSERT_EQ(send("seek midi to start"), 0u);
  EXPECT_EQ(notifications(), std::vector<std::uint32_t>{mci_notify_aborted});

  ASSERT_EQ(send("play midi notify", window), 0u);
  ASSERT_EQ(send("close midi"), 0u);
  EXPECT_EQ(notifications(), std::vector<std::uint32_t>{mci_notify_aborted});
  headless::end_tune();
  EXPECT_TRUE(notifications().empty());
}

TEST_F(mci, a_play_without_window_or_notify_queues_nothing) {
  ASSERT_EQ(send("open \"" + tune + "\" type sequencer alias midi"), 0u);
  ASSERT_EQ(send("play midi"), 0u);
  headless::end_tune();
  ASSERT_EQ(send("seek midi to start"), 0u);
  ASSERT_EQ(send("play midi notify"), 0u);
  headless::end_tune();
  EXPECT_TRUE(notifications().empty());
}

TEST_F(mci, errors_for_unknown_alias_command_and_missing_file) {
  EXPECT_NE(send("open \"" + testing_files::temp_path("missing.mid") + "\" type sequencer alias midi"), 0u);
  EXPECT_EQ(headless::open_tune(), "");
  EXPECT_NE(send("play midi notify", window), 0u);
  EXPECT_NE(send("stop midi"), 0u);
  EXPECT_NE(send("close midi"), 0u);
  char reply[32] = "junk";
  EXPECT_NE(plat_send_music_command("status midi mode", reply, sizeof reply, nullptr), 0u);
  EXPECT_STREQ(reply, "");

  ASSERT_EQ(send("open \"" + tune + "\" type sequencer alias midi"), 0u);
  EXPECT_NE(send("open \"" + tune + "\" type sequencer alias midi"), 0u);  // already open
  EXPECT_NE(send("play other"), 0u);
  EXPECT_NE(send("rewind midi"), 0u);
  EXPECT_NE(send(""), 0u);
  EXPECT_NE(send("open \"" + tune + " type sequencer alias midi"), 0u);  // no closing quote
  EXPECT_NE(plat_send_music_command(nullptr, nullptr, 0, nullptr), 0u);
  // The alias is not case sensitive; the tune is still the one opened.
  EXPECT_EQ(send("PLAY Midi"), 0u);
  EXPECT_TRUE(headless::tune_playing());
  EXPECT_TRUE(notifications().empty());
}

TEST_F(mci, status_reply_is_cut_to_the_buffer) {
  open_and_play();
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_NE(plat_send_music_command("status midi mode", small, sizeof small, nullptr), 0u);
  EXPECT_STREQ(small, "pla");
  char one[1] = {'x'};
  plat_send_music_command("status midi mode", one, sizeof one, nullptr);
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(plat_send_music_command("status midi mode", nullptr, 0, nullptr), 0u);
}

TEST_F(mci, a_notification_for_a_destroyed_window_is_dropped) {
  open_and_play();
  plat_destroy_window(window);
  headless::end_tune();
  EXPECT_TRUE(notifications().empty());
}

}  // namespace
}  // namespace shindan
