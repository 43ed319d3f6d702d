// Whole tests played from start-up: what the screen shows on the way, the
// scores they leave and the result file they write.
#include <string>

#include "tests/replay/game_driver.h"

namespace shindan {
namespace {

const char* const result_name = "分析結果.txt";

std::string expected_file(const std::array<int, 8>& scores) {
  std::string text;
  for (int t = 0; t < trait_count; ++t)
    text += std::string(trait_label_table[t]) + std::to_string(scores[static_cast<std::size_t>(t)]) + "\r";
  return text;
}

// The questions the first normal test after start-up draws, when every frame
// takes 100 ms and the player skips ahead as quick_start does: the draw
// depends only on how many noise pixels came before it.
const std::vector<int> first_draw = {11, 2, 6, 15, 4, 7, 23, 14, 37, 41, 20, 33};

std::string file_text() {
  const auto bytes = read_file(result_name);
  return std::string(bytes.begin(), bytes.end());
}

using whole_test = game_run;

TEST_F(whole_test, a_normal_test_from_start_up_to_the_result_file) {
  start(100);

  // The waiting title, reached by its own timing; no Enter prompt yet.
  ASSERT_TRUE(run_until([&] { return at_title(7); }));
  frames(1);
  EXPECT_TRUE(shows(85, 125, slot_colour(0)));        // title
  EXPECT_TRUE(shows(5, 425, slot_colour(1)));         // create line 1
  EXPECT_TRUE(shows(5, 455, second_part_colour(1)));  // create line 2
  EXPECT_TRUE(shows(120, 285, slot_colour(3)));       // prompt
  EXPECT_EQ(pixel(135, 315), 0);                      // no Enter prompt on the first title
  EXPECT_TRUE(headless::tune_calls().empty());        // no tune before the start

  sounds_played();
  std::size_t tunes_from = tune_count();
  press(plat_key::space);
  EXPECT_TRUE(tune_call_since(tunes_from, "bgm01.mid"));
  ASSERT_TRUE(run_until([&] { return at_title(10); }));
  const std::vector<int> zoom_sounds = sounds_played();
  EXPECT_EQ(zoom_sounds, std::vector<int>(6, 3));  // intoro.wav on each of the six zoom frames
  frames(1);
  EXPECT_TRUE(shows(320, 240, slot_colour(4)));  // background

  ASSERT_TRUE(run_until([&] { return at_title(16); }));
  frames(1);
  EXPECT_TRUE(shows(110, 90, slot_colour(6)));
  EXPECT_TRUE(shows(130, 210, slot_colour(7)));
  EXPECT_TRUE(shows(90, 390, slot_colour(8)));
  tunes_from = tune_count();
  ASSERT_TRUE(run_until([&] { return at_title(17); }));
  EXPECT_TRUE(tune_call_since(tunes_from, "bgm02.mid"));
  EXPECT_EQ(sounds_played(), std::vector<int>{6});
  frames(1);
  EXPECT_TRUE(screen_is_noise());

  // The hand-over frame: the question scene draws over the noise.
  ASSERT_TRUE(run_until([&] { return scenes.question_active == 1; }));
  EXPECT_EQ(scenes.title_active, 0);
  EXPECT_TRUE(shows(5, 5, mainback_colour(0)));
  EXPECT_EQ(sounds_played(), std::vector<int>{5});  // the first appearance

  const std::vector<int> answers = {0, 1, 2, 0, 1, 2, 2, 1, 0, 0, 2, 1};
  const std::vector<int> shown = answer_all(answers);
  EXPECT_EQ(shown, first_draw);
  // What the screen showed is what the pool bookkeeping recorded.
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(questions.asked_questions[i], shown[static_cast<std::size_t>(i)] - 1);
  // The weights of the answers given, in the order given.
  const std::array<int, 8> weights[12] = {
      {10, -5, 10, 1, 4, -12, -3, -4},   // q011, top
      {-8, -3, -10, 8, -5, 7, -15, 6},   // q002, middle
      {-5, 1, -6, 1, -1, -3, 9, 2},      // q006, bottom
      {2, 2, 12, -10, 15, 2, 8, -7},     // q015, top
      {1, 12, -8, -7, -6, -10, 10, -7},  // q004, middle
      {-8, 10, 8, 6, 6, 4, 6, 5},        // q007, bottom
      {-10, -1, 1, -6, 6, -2, -3, 1},    // q023, bottom
      {2, 15, 2, -2, -2, 4, 10, -1},     // q014, middle
      {5, 7, -8, -7, -12, 10, -4, -10},  // q037, top
      {1, -1, -6, -4, 7, 3, -20, -1},    // q041, top
      {1, -9, -8, -9, 13, 12, -10, 14},  // q020, bottom
      {1, -8, 3, 4, 6, -10, 2, 1},       // q033, middle
  };
  int sums[8] = {};
  for (const auto& w : weights)
    add_weights(sums, w);
  const std::array<int, 8> expected = {sums[0], sums[1], sums[2], sums[3], sums[4], sums[5], sums[6], sums[7]};

  // Twelve confirmations, then the closing noise once.
  ASSERT_TRUE(run_until([&] { return scenes.question_number == 12; }));
  frames(1);
  EXPECT_TRUE(screen_is_noise());
  tunes_from = tune_count();
  ASSERT_TRUE(run_until([&] { return scenes.analysis_active == 1; }));
  // The hand-over frame: the analysis starts under the question's noise.
  EXPECT_EQ(scenes.question_active, 0);
  EXPECT_EQ(scenes.analysis_step, 0);
  EXPECT_TRUE(screen_is_noise());
  EXPECT_TRUE(tune_call_since(tunes_from, "bgm03.mid"));
  int noise_sounds = 0;
  for (int s : sounds_played())
    noise_sounds += s == 7;
  EXPECT_EQ(noise_sounds, 1);
  expect_scores(0, expected);
  expect_scores(1, {0, 0, 0, 0, 0, 0, 0, 0});

  // The analysis builds up by its own timing and waits at the help line.
  ASSERT_TRUE(run_until([&] { return at_analysis(21); }));
  frames(1);
  EXPECT_TRUE(shows(230, 20, slot_colour(16)));  // band
  EXPECT_TRUE(shows(200, 65, slot_colour(15)));  // scale
  for (int k = 0; k < trait_count; ++k) {
    EXPECT_TRUE(shows(5, 115 + 36 * k, label_colour(k + 1))) << "label " << k;
    // The bar's first slice for a non-zero score, the sign cell otherwise.
    const int v = expected[static_cast<std::size_t>(k)];
    if (v != 0) {
      EXPECT_TRUE(shows(424, 115 + 36 * k, slice_colour(k))) << "gauge " << k;
    }
    const int sign_x = (v >= 100 || v <= -100) ? 178 : (v >= 10 || v <= -10) ? 188 : 198;
    EXPECT_TRUE(shows(sign_x + 2, 120 + 36 * k, figure_cell_colour(v >= 0 ? 10 : 11))) << "figure " << k;
  }
  EXPECT_TRUE(shows(115, 430, slot_colour(20)));  // help line 0
  EXPECT_EQ(pixel(115, 455), 0);                  // line 1 only in a cycle's fourth test
  // Already written as the analysis started, so that Esc cannot lose it.
  EXPECT_EQ(file_text(), expected_file(expected));

  sounds_played();
  tunes_from = tune_count();
  press(plat_key::space);
  EXPECT_EQ(sounds_played(), std::vector<int>{2});  // end.wav
  EXPECT_TRUE(tune_call_since(tunes_from, "stop"));
  ASSERT_TRUE(run_until([&] { return at_analysis(23); }));
  frames(1);
  EXPECT_TRUE(screen_is_black());

  // The frame in which the analysis ends shows nothing; the title starts in
  // the next one.
  ASSERT_TRUE(run_until([&] { return scenes.title_active == 1; }));
  EXPECT_TRUE(screen_is_black());
  EXPECT_EQ(scenes.title_step, 0);
  EXPECT_EQ(scenes.round_number, 1);
  EXPECT_EQ(scenes.first_test, 0);
  EXPECT_EQ(file_text(), expected_file(expected));
}

// Expected totals below are the clamped sums of the answers' weights.
TEST_F(whole_test, scores_carry_over_and_each_file_holds_the_running_totals) {
  start(100);
  std::vector<int> shown;
  quick_normal_test(std::vector<int>(12, 2), &shown);
  EXPECT_EQ(shown, first_draw);
  // Bottom answers of q011 q002 q006 q015 q004 q007 q023 q014 q037 q041 q020 q033.
  const std::array<int, 8> first = {-18, -22, -17, 11, 44, 9, 42, 10};
  expect_scores(0, first);
  EXPECT_EQ(file_text(), expected_file(first));

  quick_normal_test(std::vector<int>(12, 0), &shown);
  EXPECT_EQ(shown, (std::vector<int>{13, 5, 45, 44, 28, 35, 31, 10, 43, 8, 38, 42}));
  // Plus the top answers of those.
  const std::array<int, 8> second = {-5, 18, 1, -22, 8, -9, 36, 21};
  expect_scores(0, second);
  EXPECT_EQ(file_text(), expected_file(second));
}

// A player who leaves with Esc on the analysis still finds the test just
// seen in the file, not the one before it.
TEST_F(whole_test, esc_on_the_analysis_or_its_wipe_keeps_the_test_just_seen) {
  start(100);
  quick_normal_test(std::vector<int>(12, 2));
  const std::array<int, 8> first = {-18, -22, -17, 11, 44, 9, 42, 10};
  EXPECT_EQ(file_text(), expected_file(first));

  // The second test, the top answers of its draw, left in the closing wipe.
  quick_start(plat_key::space);
  answer_all(std::vector<int>(12, 0));
  ASSERT_TRUE(run_until([&] { return scenes.analysis_active == 1; }));
  const std::array<int, 8> second = {-5, 18, 1, -22, 8, -9, 36, 21};
  EXPECT_EQ(file_text(), expected_file(second));
  to_finished_board();
  press(plat_key::space);
  ASSERT_TRUE(at_analysis(22));
  replay_escape(&session);
  EXPECT_FALSE(frame());
  EXPECT_TRUE(session.quit);
  EXPECT_EQ(file_text(), expected_file(second));
}

TEST_F(whole_test, a_shift_test_asks_the_fixed_set_and_scores_it_apart) {
  start(100);
  // A normal test first, so that the file has something to keep: the middle
  // answers of the first draw.
  std::vector<int> shown;
  quick_normal_test(std::vector<int>(12, 1), &shown);
  EXPECT_EQ(shown, first_draw);
  const std::array<int, 8> normal = {-16, 28, -21, -26, -22, -24, -32, 18};
  expect_scores(0, normal);
  const std::string normal_file = file_text();
  EXPECT_EQ(normal_file, expected_file(normal));
  std::uint8_t pool_before[pool_size];
  std::copy(std::begin(questions.asked_questions), std::end(questions.asked_questions), pool_before);

  quick_start(plat_key::shift);
  EXPECT_EQ(scenes.shift_mode, 1);
  const std::vector<int> answers = {2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1};
  EXPECT_EQ(answer_all(answers), (std::vector<int>{49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60}));
  // Scored with the rows of q001 to q012, three times over.
  const std::array<int, 8> weights[12] = {
      {-8, -8, 4, 14, -6, -5, 15, -5},     // q001, bottom
      {-3, 15, 4, -8, -15, 5, 3, -8},      // q002, top
      {4, 1, 10, -6, -8, 6, 9, 1},         // q003, middle
      {-12, -8, 14, 15, 12, 4, -8, 7},     // q004, bottom
      {9, -4, 3, -6, 10, 6, -9, 3},        // q005, top
      {2, 8, 3, -8, -6, 7, -3, -4},        // q006, middle
      {-8, 10, 8, 6, 6, 4, 6, 5},          // q007, bottom
      {9, -10, 4, 10, 10, 6, 8, -12},      // q008, top
      {2, -8, 7, 14, -4, -10, 10, -1},     // q009, middle
      {-12, -12, 7, 12, 12, -14, -15, 7},  // q010, bottom
      {10, -5, 10, 1, 4, -12, -3, -4},     // q011, top
      {-14, -10, 18, -8, 20, 15, -2, -4},  // q012, middle
  };
  int sums[8] = {};
  for (const auto& w : weights)
    add_weights(sums, w, 3);
  // Desire and cruelty reach the top and are held there.
  EXPECT_EQ(sums[2], 100);
  EXPECT_EQ(sums[4], 100);

  // The analysis shows the Shift set with the second set of labels.
  to_finished_board();
  for (int k = 0; k < trait_count; ++k)
    EXPECT_TRUE(shows(5, 115 + 36 * k, label_colour(k + 9))) << "label " << k;
  press(plat_key::space);
  ASSERT_TRUE(run_until([&] { return scenes.title_active == 1; }));

  expect_scores(1, {sums[0], sums[1], sums[2], sums[3], sums[4], sums[5], sums[6], sums[7]});
  expect_scores(0, normal);
  EXPECT_EQ(scenes.shift_mode, 0);
  EXPECT_EQ(scenes.round_number, 1);  // a Shift test leaves the cycle where it was
  EXPECT_TRUE(std::equal(std::begin(questions.asked_questions), std::end(questions.asked_questions), pool_before));
  EXPECT_EQ(file_text(), normal_file);
}

TEST_F(whole_test, four_tests_ask_every_pool_question_once_then_the_pool_refills) {
  start(100);
  std::vector<int> all;
  for (int round = 0; round < 4; ++round) {
    quick_start(plat_key::space);
    const std::vector<int> shown = answer_all(std::vector<int>(12, round % 3));
    all.insert(all.end(), shown.begin(), shown.end());
    to_finished_board();
    // The fourth analysis of a cycle adds the second help line.
    if (round == 3) {
      EXPECT_TRUE(shows(115, 455, second_part_colour(20)));
    } else {
      EXPECT_EQ(pixel(115, 455), 0);
    }
    press(plat_key::space);
    ASSERT_TRUE(run_until([&] { return scenes.title_active == 1; }));
    EXPECT_EQ(scenes.pool_refilled, round == 3 ? 1 : 0);

    // The Enter prompt shows its second row once the pool has refilled.
    ASSERT_TRUE(run_until([&] { return at_title(7); }));
    frames(1);
    EXPECT_TRUE(shows(135, 315, round == 3 ? second_part_colour(19) : slot_colour(19))) << "round " << round;
  }
  std::sort(all.begin(), all.end());
  for (int i = 0; i < pool_size; ++i)
    EXPECT_EQ(all[static_cast<std::size_t>(i)], i + 1);
  EXPECT_EQ(scenes.round_number, 0);
  for (std::uint8_t entry : questions.asked_questions)
    EXPECT_EQ(entry, 255);

  // The fifth test draws from the full pool again.
  quick_start(plat_key::space);
  const int again = answer_question(0);
  EXPECT_GE(again, 1);
  EXPECT_LE(again, 48);
  EXPECT_EQ(questions.asked_questions[0], again - 1);
}

}  // namespace
}  // namespace shindan
