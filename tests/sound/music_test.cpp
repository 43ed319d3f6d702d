// The background tune through the tune calls: where tunes are looked for,
// the loop on an ended tune, stop and replace, and paths too long to hand on.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "sound/sound.h"
#include "tests/support/files.h"

namespace shindan {
namespace {

using namespace testing_files;

using calls = std::vector<std::string>;

class background_music : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::reset();
    music = music_record{};
    ASSERT_TRUE(plat_open_window());
    // A program directory whose path holds a space, with the tunes in it.
    dir_ = temp_path("my games") + "/";
    std::filesystem::create_directories(dir_);
    for (const char* tune : {"bgm01.mid", "bgm02.mid"})
      write_temp(std::string("my games/") + tune, {'M', 'T', 'h', 'd'});
    headless::set_program_file_name(dir_ + "shindan");
  }

  // The calls made since the last look.
  calls sent() {
    const auto& all = headless::tune_calls();
    calls fresh(all.begin() + static_cast<std::ptrdiff_t>(seen_), all.end());
    seen_ = all.size();
    return fresh;
  }
  // Hands every waiting tune end to the music, as the loop would.
  int deliver_ends() {
    int delivered = 0;
    for (plat_event e; (e = plat_poll_event()) != plat_event::none;) {
      EXPECT_EQ(e, plat_event::tune_ended);
      on_tune_ended();
      ++delivered;
    }
    return delivered;
  }

  std::string dir_;
  std::size_t seen_ = 0;
};

TEST_F(background_music, play_opens_the_tune_beside_the_program_and_loops_it_on_every_end) {
  EXPECT_EQ(program_directory(), dir_);
  play_music("bgm01.mid");
  EXPECT_EQ(sent(), (calls{"open " + dir_ + "bgm01.mid", "play"}));
  EXPECT_EQ(music.music_playing, 1);
  EXPECT_EQ(headless::open_tune(), dir_ + "bgm01.mid");
  for (int loop = 0; loop < 3; ++loop) {
    SCOPED_TRACE(loop);
    ASSERT_TRUE(headless::tune_playing());
    headless::end_tune();
    EXPECT_EQ(deliver_ends(), 1);
    EXPECT_EQ(sent(), (calls{"status", "play"}));
  }
  EXPECT_TRUE(headless::tune_playing());
}

TEST_F(background_music, stop_and_replace_close_the_playing_tune) {
  stop_music();  // nothing plays: no call at all
  EXPECT_TRUE(sent().empty());

  play_music("bgm01.mid");
  play_music("bgm02.mid");
  EXPECT_EQ(sent(),
            (calls{"open " + dir_ + "bgm01.mid", "play", "stop", "close", "open " + dir_ + "bgm02.mid", "play"}));
  EXPECT_EQ(headless::open_tune(), dir_ + "bgm02.mid");

  stop_music();
  EXPECT_EQ(sent(), (calls{"stop", "close"}));
  EXPECT_EQ(music.music_playing, 0);
  EXPECT_EQ(headless::open_tune(), "");
  stop_music();
  EXPECT_TRUE(sent().empty());
}

TEST_F(background_music, only_the_end_of_the_tune_still_playing_restarts_it) {
  play_music("bgm01.mid");
  sent();
  // An end reported while the tune plays again asks, but leaves it alone.
  on_tune_ended();
  EXPECT_EQ(sent(), calls{"status"});

  // Ended, then stopped before the end was handled: nothing comes back.
  headless::end_tune();
  stop_music();
  sent();
  EXPECT_EQ(deliver_ends(), 1);
  EXPECT_TRUE(sent().empty());
  EXPECT_FALSE(headless::tune_playing());
}

TEST_F(background_music, missing_tune_is_opened_and_plays_silently) {
  play_music("bgm03.mid");  // not in the folder
  EXPECT_EQ(sent(), (calls{"open " + dir_ + "bgm03.mid", "play"}));
  EXPECT_EQ(music.music_playing, 1);
  EXPECT_FALSE(headless::tune_playing());
  // Stopping it still closes what was opened.
  stop_music();
  EXPECT_EQ(sent(), (calls{"stop", "close"}));
}

TEST_F(background_music, program_directory_keeps_its_separator_and_never_walks_off_the_buffer) {
  headless::set_program_file_name("shindan");
  EXPECT_STREQ(program_directory(), "");
  headless::set_program_file_name("/shindan");
  EXPECT_STREQ(program_directory(), "/");
  // A path longer than the buffer arrives cut; the directory is taken from
  // what arrived.
  headless::set_program_file_name("/" + std::string(250, 'd') + "/x/shindan");
  EXPECT_EQ(program_directory(), "/" + std::string(250, 'd') + "/x/");
  headless::set_program_file_name("/a/" + std::string(300, 'd'));
  EXPECT_STREQ(program_directory(), "/a/");
}

TEST_F(background_music, path_too_long_for_the_player_stops_the_old_tune_and_plays_nothing) {
  // The player takes paths of up to 222 bytes.
  const std::string name = "bgm01.mid";
  // Built in place: GCC 12 warns falsely about "/" + std::string(...) at -O3.
  std::string fits(222 - name.size(), 'a');
  fits.front() = '/';
  fits.back() = '/';
  headless::set_program_file_name(fits + "shindan");
  play_music(name.c_str());
  EXPECT_EQ(sent(), (calls{"open " + fits + name, "play"}));
  EXPECT_EQ(music.music_playing, 1);

  headless::set_program_file_name("/b" + fits + "shindan");
  play_music(name.c_str());
  EXPECT_EQ(sent(), (calls{"stop", "close"}));
  EXPECT_EQ(music.music_playing, 0);
  EXPECT_EQ(headless::open_tune(), "");
}

}  // namespace
}  // namespace shindan
