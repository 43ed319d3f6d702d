// Leaving with Esc at any kind of step, and a game whose asset folder lacks
// some pictures and sounds (an empty folder is played through with the
// other spoilt folders).
#include <string>

#include "tests/replay/game_driver.h"

namespace shindan {
namespace {

const char* const result_name = "分析結果.txt";

struct stop_point {
  const char* name;
  std::function<void(game_run*)> reach;
  bool music_playing;
  bool analysis_started = false;
};

// The result file as the normal set's scores make it.
std::string file_of_normal_scores() {
  std::string text;
  for (int t = 0; t < trait_count; ++t)
    text += std::string(trait_label_table[t]) + std::to_string(scoring.trait_scores[t][0]) + "\r";
  return text;
}

void PrintTo(const stop_point& point, std::ostream* out) {
  *out << point.name;
}

struct escape_at : game_run, ::testing::WithParamInterface<stop_point> {};

TEST_P(escape_at, tears_down_in_order_and_runs_no_further_frame) {
  start(100);
  GetParam().reach(this);
  ASSERT_FALSE(HasFatalFailure());
  const std::uint64_t frames_before = session.frames;
  const std::size_t calls_before = headless::shell_calls().size();

  replay_escape(&session);
  EXPECT_FALSE(frame());
  EXPECT_TRUE(session.quit);
  EXPECT_EQ(session.frames, frames_before);

  // The tune is stopped and closed only when one plays.
  std::vector<std::string> expected = {"show_cursor 1", "close_display", "close_sound"};
  if (GetParam().music_playing)
    expected.insert(expected.end(), {"stop_tune", "close_tune"});
  expected.push_back("close_window");
  const auto& calls = headless::shell_calls();
  EXPECT_EQ(std::vector<std::string>(calls.begin() + static_cast<std::ptrdiff_t>(calls_before), calls.end()), expected);
  EXPECT_FALSE(headless::window_exists());
  EXPECT_TRUE(headless::cursor_shown());
  // The file is written as soon as the analysis starts: leaving before that
  // leaves none, leaving after it keeps the test just played.
  if (GetParam().analysis_started) {
    const auto bytes = read_file(result_name);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), file_of_normal_scores());
  } else {
    EXPECT_FALSE(std::filesystem::exists(result_name));
  }
}

INSTANTIATE_TEST_SUITE_P(steps, escape_at,
                         ::testing::Values(stop_point{"title_fade", [](game_run* g) { g->frames(2); }, false},
                                           stop_point{"noise_screen",
                                                      [](game_run* g) {
                                                        ASSERT_TRUE(g->run_until([g] { return g->at_title(7); }));
                                                        g->press(plat_key::space);
                                                        ASSERT_TRUE(g->run_until([g] { return g->at_title(17); }));
                                                      },
                                                      true},
                                           stop_point{"confirmation_flash",
                                                      [](game_run* g) {
                                                        g->quick_start();
                                                        g->answer_question(1);
                                                        ASSERT_EQ(questions.collect_active, 1);
                                                      },
                                                      true},
                                           stop_point{"analysis_build_up",
                                                      [](game_run* g) {
                                                        g->quick_start();
                                                        g->answer_all(std::vector<int>(12, 1));
                                                        ASSERT_TRUE(g->run_until([g] { return g->at_analysis(5); }));
                                                      },
                                                      true, true},
                                           stop_point{"closing_wipe",
                                                      [](game_run* g) {
                                                        g->quick_start();
                                                        g->answer_all(std::vector<int>(12, 2));
                                                        g->to_finished_board();
                                                        g->press(plat_key::space);
                                                        ASSERT_TRUE(g->at_analysis(22));
                                                      },
                                                      false, true}),
                         [](const ::testing::TestParamInfo<stop_point>& info) { return std::string(info.param.name); });

using missing_assets = game_run;

TEST_F(missing_assets, the_game_runs_on_without_the_missing_files) {
  assets.skip = [](const std::string& name) {
    return name == "title.bm" || name == "mainback.bm" || name == "Mask.bm" || name == "push.wav";
  };
  start(100);
  frames(1);  // the first frame loads
  // One message for the sound; pictures fail quietly.
  ASSERT_EQ(headless::message_boxes().size(), 1u);
  EXPECT_EQ(audio.sounds[1], nullptr);
  EXPECT_EQ(images[0].surface, nullptr);
  EXPECT_NE(images[1].surface, nullptr);

  // The title's timing runs on with its picture missing.
  ASSERT_TRUE(run_until([&] { return at_title(7); }, 400));
  frames(1);
  EXPECT_EQ(pixel(85, 125), 0);
  EXPECT_TRUE(shows(120, 285, slot_colour(3)));

  quick_start();
  // No background: black behind the question.
  ASSERT_TRUE(run_until([] { return questions.answer_active == 1; }));
  frames(1);
  EXPECT_EQ(pixel(5, 5), 0);
  // The same draw as with every file present; the bottom answers of q011
  // q002 q006 q015 q004 q007 q023 q014 q037 q041 q020 q033 add up to these.
  EXPECT_EQ(answer_all(std::vector<int>(12, 2)), (std::vector<int>{11, 2, 6, 15, 4, 7, 23, 14, 37, 41, 20, 33}));
  quick_analysis();
  expect_scores(0, {-18, -22, -17, 11, 44, 9, 42, 10});
  const auto bytes = read_file(result_name);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).substr(16, 4), "-18\r");
  EXPECT_EQ(bytes.size(), 154u);  // ten figure characters more than eight single digits
  EXPECT_EQ(headless::message_boxes().size(), 1u);
}

}  // namespace
}  // namespace shindan
