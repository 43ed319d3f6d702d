// Speech on the test folder, whose pictures are plain colours: what is said
// must match what the screen shows (read from its pixels), and a words file
// that is missing, broken or not UTF-8 must leave the game playing, silent
// where words lack, with one line on stderr.
#include <fstream>
#include <sstream>
#include <string>

#include "tests/replay/game_driver.h"

namespace shindan {
namespace {

// A words file in which every text names itself.
std::string test_words() {
  std::string text =
      "language=en\nspeech_on=on\nspeech_off=off\nquestion_number=question {n} of {total}\n"
      "score={label} {score}\nplus=+{number}\nminus=-{number}\nzero=0\n"
      "title=TITLE\nprompt=PROMPT\nenter=ENTER 1\nenter=ENTER 2\nmessage1=M1\nmessage2=M2a\n"
      "message2=M2b\nmessage3=M3\nhelp=HELP 1\nhelp=HELP 2\nband=BAND\n";
  for (int t = 0; t < 8; ++t)
    text += "label=T" + std::to_string(t) + "\n";
  for (int q = 1; q <= 60; ++q) {
    const std::string id = (q < 10 ? "q00" : "q0") + std::to_string(q);
    text += id + "=Q" + std::to_string(q) + "\n";
    for (int a = 0; a < 3; ++a)
      text += id + "=A" + std::to_string(q) + "." + std::to_string(a) + "\n";
  }
  return text;
}

struct spoken_game : game_run {
  std::size_t heard_from = 0;

  void start_speaking(const std::string& words, bool write_words = true) {
    ASSERT_TRUE(write_asset_folder(assets));
    if (write_words)
      std::ofstream("words.txt", std::ios::binary) << words;
    replay_options options;
    options.frame_ms = 100;
    options.log = true;
    options.speech = true;
    ASSERT_TRUE(replay_start(&session, options));
  }
  std::vector<std::string> heard() {
    std::vector<std::string> out;
    const auto& all = headless::speech_records();
    for (; heard_from < all.size(); ++heard_from)
      if (all[heard_from].aloud)
        out.push_back(all[heard_from].text);
    return out;
  }
};

TEST_F(spoken_game, the_question_said_is_the_question_shown) {
  start_speaking(test_words());
  quick_start();
  for (int q = 1; q <= 3; ++q) {
    ASSERT_TRUE(run_until([&] { return questions.answer_active == 1; }));
    frames(1);
    const int shown = question_of_pixel(pixel(170, 104));
    ASSERT_NE(shown, 0);
    const std::vector<std::string> said = heard();
    ASSERT_GE(said.size(), 3u);
    EXPECT_EQ(said[said.size() - 3], "question " + std::to_string(q) + " of 12");
    EXPECT_EQ(said[said.size() - 2], "Q" + std::to_string(shown));
    EXPECT_EQ(said.back(), "A" + std::to_string(shown) + ".0");
    // Up and Down in the same frame leave the cursor where it was: nothing
    // new is said. Up alone wraps to the bottom answer.
    key(plat_key::up, true);
    key(plat_key::down, true);
    frames(1);
    key(plat_key::up, false);
    key(plat_key::down, false);
    frames(2);
    EXPECT_TRUE(heard().empty());
    press(plat_key::up);
    EXPECT_EQ(heard(), std::vector<std::string>{"A" + std::to_string(shown) + ".2"});
    press(plat_key::space);
    // The flash and the next appearance say nothing of the old question.
    frames(3);
    EXPECT_TRUE(heard().empty());
  }
}

TEST_F(spoken_game, speech_changes_nothing_the_game_shows_plays_or_writes) {
  // The same script with speech on and with speech off, V pressed on the
  // way: the same frames, sounds, tunes and result file.
  std::string script = "until title 7\ntap v\ntap space\n";
  for (int q = 0; q < 12; ++q)
    script += "until answering max 2000\nframes 2\ntap down\nframes 2\ntap v\ntap space\n";
  script += "until analysis 21 max 20000\nshot end.png\ntap space\nuntil title 1 max 20000\n";
  ASSERT_TRUE(write_asset_folder(assets));
  std::ofstream("words.txt", std::ios::binary) << test_words();
  std::string logs[2];
  bytes shots[2], results[2];
  for (int on = 0; on < 2; ++on) {
    replay_options options;
    options.log = true;
    options.speech = on == 1;
    const replay_result r = run_replay_script(script, options);
    ASSERT_EQ(r.status, 0) << r.error;
    std::string kept;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);) {
      if (line.find(": speak ") == std::string::npos && line.find(": hush") == std::string::npos)
        kept += line + "\n";
    }
    logs[on] = kept;
    shots[on] = read_file("end.png");
    results[on] = read_file("\xE5\x88\x86\xE6\x9E\x90\xE7\xB5\x90\xE6\x9E\x9C.txt");
    if (on == 1) {
      EXPECT_NE(r.output.find(": speak "), std::string::npos);
    }
  }
  EXPECT_EQ(logs[0], logs[1]);
  EXPECT_TRUE(shots[0] == shots[1]);
  EXPECT_FALSE(results[0].empty());
  EXPECT_TRUE(results[0] == results[1]);
}

TEST_F(spoken_game, a_missing_words_file_leaves_the_game_silent_with_one_line) {
  testing::internal::CaptureStderr();
  start_speaking("", false);
  ASSERT_TRUE(run_until([&] { return at_title(7); }));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("words.txt"), std::string::npos);
  // Each change of screen still ends stale speech, but nothing is said.
  quick_start();
  for (const auto& r : headless::speech_records())
    EXPECT_EQ(r.text, "");
  EXPECT_FALSE(headless::speech_records().empty());
  EXPECT_EQ(headless::speech_language(), "");
}

TEST_F(spoken_game, a_broken_words_file_says_what_it_still_holds) {
  testing::internal::CaptureStderr();
  // Bad bytes in the title, a line that is no key=text, no prompt at all.
  std::string words = test_words();
  words.replace(words.find("title=TITLE"), 11, "title=TI\xFF\xC0\xAFLE\x1B");
  words.replace(words.find("prompt=PROMPT"), 13, "no key here");
  start_speaking(words);
  ASSERT_TRUE(run_until([&] { return at_title(7); }));
  frames(1);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  // The escape became a space, trimmed off the end with the others.
  EXPECT_EQ(heard(), std::vector<std::string>{"TI\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDLE"});
  EXPECT_EQ(headless::speech_language(), "en");
}

TEST_F(spoken_game, switching_on_says_where_the_player_is) {
  start_speaking(test_words());
  ASSERT_TRUE(run_until([&] { return at_title(7); }));
  replay_speech_key(&session);
  frames(1);
  replay_speech_key(&session);
  frames(1);
  // Off, on, and the waiting title again, after "on", not over it.
  EXPECT_EQ(heard(), (std::vector<std::string>{"TITLE", "PROMPT", "off", "on", "TITLE", "PROMPT"}));
  const auto& all = headless::speech_records();
  EXPECT_TRUE(all[all.size() - 3].cut_off);
  EXPECT_FALSE(all[all.size() - 2].cut_off || all.back().cut_off);
  // Starting the test silences the prompt at once; the messages come as
  // they appear, and Space shows the rest.
  press(plat_key::space);
  ASSERT_TRUE(run_until([&] { return at_title(12); }));
  EXPECT_EQ(heard(), (std::vector<std::string>{"", "M1"}));
  press(plat_key::space);
  EXPECT_EQ(heard(), (std::vector<std::string>{"M2a M2b", "M3"}));
}

}  // namespace
}  // namespace shindan
