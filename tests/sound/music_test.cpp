// Music through command strings: the exact commands, the loop on a finished
// tune, and where the tunes are looked for.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/shell.h"
#include "platform/headless/headless.h"
#include "sound/sound.h"
#include "tests/support/files.h"

namespace shindan {
namespace {

using namespace testing_files;

using commands = std::vector<std::string>;

class Music : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::reset();
    music_playing = 0;
    main_window = plat_create_window();
    ASSERT_NE(main_window, nullptr);
  }

  // The commands sent since the last call.
  commands sent() {
    const auto& all = headless::music_commands();
    commands fresh(all.begin() + static_cast<std::ptrdiff_t>(seen_), all.end());
    seen_ = all.size();
    return fresh;
  }

  // Hands every waiting notification to the music, as the window would.
  int deliver_notifications() {
    int delivered = 0;
    plat_message message;
    while (plat_peek_message(&message)) {
      if (message.kind != plat_message_kind::music_notify)
        continue;
      EXPECT_EQ(message.window, main_window);
      on_music_notify(message.window, message.param);
      ++delivered;
    }
    return delivered;
  }

  // A program directory whose path holds a space, with the tunes in it.
  std::string install_dir() {
    const std::string dir = temp_path("my games") + "/";
    std::filesystem::create_directories(dir);
    for (const char* tune : {"bgm01.mid", "bgm02.mid", "bgm03.mid"})
      write_temp(std::string("my games/") + tune, {'M', 'T', 'h', 'd'});
    headless::set_program_file_name(dir + "shindan");
    return dir;
  }

  std::size_t seen_ = 0;
};

TEST_F(Music, PlayOpensTheTuneBesideTheProgramAndPlaysItFromTheStart) {
  const std::string dir = install_dir();
  EXPECT_EQ(program_directory(), dir);
  play_music("bgm01.mid");
  EXPECT_EQ(sent(), (commands{"open \"" + dir + "bgm01.mid\" type sequencer alias midi", "seek midi to start",
                              "play midi notify"}));
  EXPECT_EQ(music_playing, 1);
  EXPECT_EQ(headless::open_tune(), dir + "bgm01.mid");
  EXPECT_TRUE(headless::tune_playing());
}

TEST_F(Music, StopClosesThePlayingTuneAndIsSilentOtherwise) {
  install_dir();
  stop_music();
  EXPECT_TRUE(sent().empty());

  play_music("bgm03.mid");
  sent();
  stop_music();
  EXPECT_EQ(sent(), (commands{"stop midi", "close midi"}));
  EXPECT_EQ(music_playing, 0);
  EXPECT_EQ(headless::open_tune(), "");
  stop_music();
  EXPECT_TRUE(sent().empty());
}

TEST_F(Music, PlayingTwiceClosesAndReopensTheTune) {
  headless::set_program_file_name("/g/shindan");
  play_music("bgm02.mid");
  play_music("bgm02.mid");
  EXPECT_EQ(sent(),
            (commands{"open \"/g/bgm02.mid\" type sequencer alias midi", "seek midi to start", "play midi notify",
                      "stop midi", "close midi", "open \"/g/bgm02.mid\" type sequencer alias midi",
                      "seek midi to start", "play midi notify"}));
  EXPECT_EQ(music_playing, 1);
}

TEST_F(Music, FinishedTuneStartsAgainEveryTime) {
  install_dir();
  play_music("bgm01.mid");
  sent();
  for (int loop = 0; loop < 3; ++loop) {
    SCOPED_TRACE(loop);
    headless::end_tune();
    EXPECT_FALSE(headless::tune_playing());
    EXPECT_EQ(deliver_notifications(), 1);
    EXPECT_EQ(sent(), (commands{"status midi mode", "seek midi to start", "play midi notify"}));
    EXPECT_EQ(std::string(mci_status, 2), "st");
    EXPECT_TRUE(headless::tune_playing());
  }
}

TEST_F(Music, OnlyASuccessfulEndOfAStoppedTuneRestartsIt) {
  install_dir();
  play_music("bgm01.mid");
  sent();
  // Superseded, aborted and failed plays are not ends of the tune.
  for (std::uint32_t code : {2u, 4u, 8u, 0u})
    on_music_notify(main_window, code);
  EXPECT_TRUE(sent().empty());

  // A success reported while the tune is (again) playing asks, but leaves it.
  on_music_notify(main_window, 1);
  EXPECT_EQ(sent(), commands{"status midi mode"});

  // Once the music was stopped, a late success brings nothing back.
  headless::end_tune();
  stop_music();
  sent();
  EXPECT_GE(deliver_notifications(), 0);
  on_music_notify(main_window, 1);
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(headless::open_tune(), "");
}

TEST_F(Music, ProgramDirectoryKeepsItsSeparatorAndNeverWalksOffTheBuffer) {
  headless::set_program_file_name("shindan");
  EXPECT_STREQ(program_directory(), "");
  headless::set_program_file_name("/shindan");
  EXPECT_STREQ(program_directory(), "/");
  // A path longer than the buffer arrives cut; the directory is still
  // taken from what arrived.
  const std::string deep = "/" + std::string(300, 'd') + "/x/shindan";
  headless::set_program_file_name(deep);
  const std::string directory = program_directory();
  EXPECT_LT(directory.size(), 256u);
  EXPECT_TRUE(directory.empty() || directory.back() == '/');
}

TEST_F(Music, CommandThatWouldNotFitPlaysNothing) {
  // The open command has 33 characters of its own around the directory and
  // the file name, and must fit in 256 bytes with its terminator.
  const std::string name = "bgm01.mid";
  const std::size_t fitting_directory = 255 - 33 - name.size();
  const std::string fits = "/" + std::string(fitting_directory - 2, 'a') + "/";
  ASSERT_EQ(fits.size(), fitting_directory);
  headless::set_program_file_name(fits + "shindan");
  play_music(name.c_str());
  const commands opened = sent();
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[0].size(), 255u);
  EXPECT_EQ(music_playing, 1);

  // One character more: the old tune is stopped and nothing new is sent.
  const std::string too_long = "/" + std::string(fitting_directory - 1, 'a') + "/";
  headless::set_program_file_name(too_long + "shindan");
  play_music(name.c_str());
  EXPECT_EQ(sent(), (commands{"stop midi", "close midi"}));
  EXPECT_EQ(music_playing, 0);
  EXPECT_FALSE(headless::tune_playing());
}

}  // namespace
}  // namespace shindan
