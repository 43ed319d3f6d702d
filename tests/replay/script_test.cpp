// Replay scripts: what they may say, what a mistake reports, and that the
// same script gives the same frames, scores and file every time.
#include <string>

#include "tests/replay/game_driver.h"

namespace shindan {
namespace {

using replay_script = game_run;

// A whole normal test, skipping where the game allows it: the first and
// fourth answers moved, the others as they come.
std::string whole_test_script() {
  std::string script =
      "# a whole normal test\nms 100\nframes 2\ntap space\nframes 1\n"
      "tap space          # starts the test\n"
      "until title 10\ntap space\nframes 1\ntap space          # to the noise screen\n";
  for (int i = 0; i < 12; ++i)
    script += std::string("until answering\nframes 2\n") + (i == 0 ? "tap down\nframes 1\n" : "") +
              (i == 3 ? "tap up\nframes 1\n" : "") + "tap space\n";
  return script +
         "until analysis 1 max 500\ntap space\nframes 1\ntap space\nuntil analysis 21\n"
         "shot board.png\nframes 1\ntap space\nuntil title 1\n";
}

TEST_F(replay_script, the_same_script_gives_the_same_run) {
  ASSERT_TRUE(write_asset_folder());
  replay_options options;
  const replay_result first = run_replay_script(whole_test_script(), options);
  ASSERT_EQ(first.status, 0) << first.error;
  const auto first_shot = read_file("board.png");
  const auto first_file = read_file("分析結果.txt");

  const replay_result second = run_replay_script(whole_test_script(), options);
  ASSERT_EQ(second.status, 0) << second.error;
  EXPECT_EQ(second.output, first.output);
  EXPECT_EQ(read_file("board.png"), first_shot);
  EXPECT_EQ(read_file("分析結果.txt"), first_file);

  // A finished test: scores in the summary, a file, a picture.
  EXPECT_NE(first.output.find("round: 1\n"), std::string::npos) << first.output;
  EXPECT_NE(first.output.find("shift: 0 0 0 0 0 0 0 0\n"), std::string::npos);
  EXPECT_NE(first.output.find("normal: "), std::string::npos);
  EXPECT_GE(first_file.size(), 144u);
  ASSERT_GT(first_shot.size(), 24u);
  EXPECT_EQ(std::string(first_shot.begin() + 1, first_shot.begin() + 4), "PNG");
  // Width and height in the header, big-endian.
  EXPECT_EQ(first_shot[18], 640 >> 8);
  EXPECT_EQ(first_shot[19], 640 & 0xFF);
  EXPECT_EQ(first_shot[22], 480 >> 8);
  EXPECT_EQ(first_shot[23], 480 & 0xFF);
}

TEST_F(replay_script, the_summary_comes_after_an_escape_too) {
  ASSERT_TRUE(write_asset_folder());
  replay_options options;
  options.frame_ms = 50;
  const replay_result result = run_replay_script("frames 5\ndown esc\nframes 10\n", options);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, "frames: 5\nnormal: 0 0 0 0 0 0 0 0\nshift: 0 0 0 0 0 0 0 0\nround: 0\n");
}

TEST_F(replay_script, the_log_names_sounds_tunes_and_messages_by_frame) {
  assets.skip = [](const std::string& name) { return name == "end.wav"; };
  ASSERT_TRUE(write_asset_folder(assets));
  replay_options options;
  options.frame_ms = 100;
  options.log = true;
  const replay_result result = run_replay_script("frames 2\ntap space\nframes 1\ntap space\nframes 3\n", options);
  ASSERT_EQ(result.status, 0) << result.error;
  const std::string& out = result.output;
  // The missing sound's message, in UTF-8, during the first frame's loading.
  EXPECT_NE(out.find("frame 1: message "), std::string::npos) << out;
  EXPECT_NE(out.find("失敗"), std::string::npos) << out;
  // Space at the waiting title (frame 6): the first tune and the zoom sound.
  EXPECT_NE(out.find("frame 6: tune open"), std::string::npos) << out;
  EXPECT_NE(out.find("bgm01.mid"), std::string::npos) << out;
  EXPECT_NE(out.find("frame 6: sound 3 intoro.wav\n"), std::string::npos) << out;
  EXPECT_NE(out.find("frame 7: sound 3 intoro.wav\n"), std::string::npos) << out;
  // The summary closes the output.
  EXPECT_EQ(out.substr(out.size() - 9), "round: 0\n");
}

TEST_F(replay_script, mistakes_name_their_line_and_stop_the_run) {
  replay_options options;
  struct bad {
    const char* script;
    const char* line;
  } cases[] = {
      {"frames 1\n\njump 3\n", "line 3:"},
      {"# nothing\ntap escape\n", "line 2:"},
      {"frames\n", "line 1:"},
      {"frames -4\n", "line 1:"},
      {"until title 18\n", "line 1:"},
      {"until analysis 3 max\n", "line 1:"},
      {"until answering soon\n", "line 1:"},
      {"ms 16 32\n", "line 1:"},
  };
  for (const bad& c : cases) {
    const replay_result result = run_replay_script(c.script, options);
    EXPECT_EQ(result.status, 2) << c.script;
    EXPECT_EQ(result.error.rfind(c.line, 0), 0u) << c.script << " -> " << result.error;
    EXPECT_TRUE(result.output.empty()) << c.script;  // found before anything ran
  }

  // A goal not reached in time is a mistake too, reported with the summary.
  ASSERT_TRUE(write_asset_folder());
  const replay_result late = run_replay_script("ms 100\nframes 2\nuntil title 9 max 30\n", options);
  EXPECT_EQ(late.status, 2);
  EXPECT_EQ(late.error.rfind("line 3:", 0), 0u) << late.error;
  EXPECT_EQ(late.output.rfind("frames: 32\n", 0), 0u) << late.output;
}

}  // namespace
}  // namespace shindan
