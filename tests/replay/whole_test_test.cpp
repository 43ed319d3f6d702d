// Whole tests played from start-up: what the screen shows on the way, the
// scores they leave and the result file they write.
#include <string>

#include "tests/replay/game_driver.h"

namespace shindan {
namespace {

const char* const result_name = "分析結果.txt";

std::string expected_file(const int (&scores)[8]) {
  std::string text;
  for (int t = 0; t < trait_count; ++t)
    text += std::string(trait_label_table[t]) + std::to_string(scores[t]) + "\r";
  return text;
}

std::string file_text() {
  const auto bytes = read_file(result_name);
  return std::string(bytes.begin(), bytes.end());
}

// Adds what the answers to the shown questions score.
void add_answers(int (&expected)[8], const std::vector<int>& shown, const std::vector<int>& answers, int factor) {
  for (std::size_t i = 0; i < answers.size(); ++i)
    add_expected(expected, shown[i] - 1, answers[i], factor);
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
  EXPECT_TRUE(headless::music_commands().empty());    // no tune before the start

  sounds_played();
  std::size_t music_from = music_count();
  press(vk_space);
  EXPECT_TRUE(music_sent_since(music_from, "bgm01.mid"));
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
  music_from = music_count();
  ASSERT_TRUE(run_until([&] { return at_title(17); }));
  EXPECT_TRUE(music_sent_since(music_from, "bgm02.mid"));
  EXPECT_EQ(sounds_played(), std::vector<int>{6});
  frames(1);
  EXPECT_TRUE(screen_is_noise());

  // The hand-over frame: the question scene draws over the noise.
  ASSERT_TRUE(run_until([&] { return question_active == 1; }));
  EXPECT_EQ(title_active, 0);
  EXPECT_TRUE(shows(5, 5, mainback_colour(0)));
  EXPECT_EQ(sounds_played(), std::vector<int>{5});  // the first appearance

  const std::vector<int> answers = {0, 1, 2, 0, 1, 2, 2, 1, 0, 0, 2, 1};
  int expected[8] = {};
  for (int i = 0; i < 12; ++i) {
    const int shown = answer_question(answers[i]);
    ASSERT_GE(shown, 1);
    ASSERT_LE(shown, 48);
    // What the screen showed is what the pool bookkeeping recorded.
    EXPECT_EQ(asked_questions[i], shown - 1);
    add_expected(expected, shown - 1, answers[i], 1);
  }

  // Twelve confirmations, then the closing noise once.
  ASSERT_TRUE(run_until([&] { return question_number == 12; }));
  frames(1);
  EXPECT_TRUE(screen_is_noise());
  music_from = music_count();
  ASSERT_TRUE(run_until([&] { return analysis_active == 1; }));
  // The hand-over frame: the analysis starts under the question's noise.
  EXPECT_EQ(question_active, 0);
  EXPECT_EQ(analysis_step, 0);
  EXPECT_TRUE(screen_is_noise());
  EXPECT_TRUE(music_sent_since(music_from, "bgm03.mid"));
  int noise_sounds = 0;
  for (int s : sounds_played())
    noise_sounds += s == 7;
  EXPECT_EQ(noise_sounds, 1);
  for (int t = 0; t < trait_count; ++t) {
    EXPECT_EQ(trait_scores[t][0], expected[t]) << "trait " << t;
    EXPECT_EQ(trait_scores[t][1], 0) << "trait " << t;
  }

  // The analysis builds up by its own timing and waits at the help line.
  ASSERT_TRUE(run_until([&] { return at_analysis(21); }));
  frames(1);
  EXPECT_TRUE(shows(230, 20, slot_colour(16)));  // band
  EXPECT_TRUE(shows(200, 65, slot_colour(15)));  // scale
  for (int k = 0; k < trait_count; ++k) {
    EXPECT_TRUE(shows(5, 115 + 36 * k, label_colour(k + 1))) << "label " << k;
    // The bar's first slice for a non-zero score, the sign cell otherwise.
    const int v = expected[k];
    if (v != 0) {
      EXPECT_TRUE(shows(424, 115 + 36 * k, slice_colour(k))) << "gauge " << k;
    }
    const int sign_x = (v >= 100 || v <= -100) ? 178 : (v >= 10 || v <= -10) ? 188 : 198;
    EXPECT_TRUE(shows(sign_x + 2, 120 + 36 * k, figure_cell_colour(v >= 0 ? 10 : 11))) << "figure " << k;
  }
  EXPECT_TRUE(shows(115, 430, slot_colour(20)));  // help line 0
  EXPECT_EQ(pixel(115, 455), 0);                  // line 1 only in a cycle's fourth test
  EXPECT_FALSE(std::filesystem::exists(result_name));

  sounds_played();
  music_from = music_count();
  press(vk_space);
  EXPECT_EQ(sounds_played(), std::vector<int>{2});  // end.wav
  EXPECT_TRUE(music_sent_since(music_from, "stop midi"));
  ASSERT_TRUE(run_until([&] { return at_analysis(23); }));
  frames(1);
  EXPECT_TRUE(screen_is_black());

  // The frame in which the analysis ends shows nothing; the title starts in
  // the next one.
  ASSERT_TRUE(run_until([&] { return title_active == 1; }));
  EXPECT_TRUE(screen_is_black());
  EXPECT_EQ(title_step, 0);
  EXPECT_EQ(round_number, 1);
  EXPECT_EQ(first_test, 0);
  EXPECT_EQ(file_text(), expected_file(expected));
}

TEST_F(whole_test, scores_carry_over_and_each_file_holds_the_running_totals) {
  start(100);
  int expected[8] = {};
  std::vector<int> shown;
  const std::vector<int> first(12, 2);
  quick_normal_test(first, &shown);
  add_answers(expected, shown, first, 1);
  EXPECT_EQ(file_text(), expected_file(expected));

  const std::vector<int> second(12, 0);
  quick_normal_test(second, &shown);
  add_answers(expected, shown, second, 1);
  EXPECT_EQ(file_text(), expected_file(expected));
  for (int t = 0; t < trait_count; ++t)
    EXPECT_EQ(trait_scores[t][0], expected[t]);
}

TEST_F(whole_test, a_shift_test_asks_the_fixed_set_and_scores_it_apart) {
  start(100);
  // A normal test first, so that the file has something to keep.
  std::vector<int> shown;
  const std::vector<int> normal(12, 1);
  quick_normal_test(normal, &shown);
  int normal_expected[8] = {};
  add_answers(normal_expected, shown, normal, 1);
  const std::string normal_file = file_text();
  std::uint8_t pool_before[pool_size];
  std::copy(std::begin(asked_questions), std::end(asked_questions), pool_before);

  quick_start(vk_shift);
  EXPECT_EQ(shift_mode, 1);
  const std::vector<int> answers = {2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1};
  const std::vector<int> fixed = answer_all(answers);
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(fixed[i], 49 + i) << "question " << i;
  int shift_expected[8] = {};
  for (int i = 0; i < 12; ++i)
    add_expected(shift_expected, i, answers[i], 3);

  // The analysis shows the Shift set with the second set of labels.
  to_finished_board();
  for (int k = 0; k < trait_count; ++k)
    EXPECT_TRUE(shows(5, 115 + 36 * k, label_colour(k + 9))) << "label " << k;
  press(vk_space);
  ASSERT_TRUE(run_until([&] { return title_active == 1; }));

  for (int t = 0; t < trait_count; ++t) {
    EXPECT_EQ(trait_scores[t][1], shift_expected[t]) << "trait " << t;
    EXPECT_EQ(trait_scores[t][0], normal_expected[t]) << "trait " << t;
  }
  EXPECT_EQ(shift_mode, 0);
  EXPECT_EQ(round_number, 1);  // a Shift test leaves the cycle where it was
  EXPECT_TRUE(std::equal(std::begin(asked_questions), std::end(asked_questions), pool_before));
  EXPECT_EQ(file_text(), normal_file);
}

TEST_F(whole_test, four_tests_ask_every_pool_question_once_then_the_pool_refills) {
  start(100);
  std::vector<int> all;
  for (int round = 0; round < 4; ++round) {
    quick_start(vk_space);
    const std::vector<int> shown = answer_all(std::vector<int>(12, round % 3));
    all.insert(all.end(), shown.begin(), shown.end());
    to_finished_board();
    // The fourth analysis of a cycle adds the second help line.
    if (round == 3) {
      EXPECT_TRUE(shows(115, 455, second_part_colour(20)));
    } else {
      EXPECT_EQ(pixel(115, 455), 0);
    }
    press(vk_space);
    ASSERT_TRUE(run_until([&] { return title_active == 1; }));
    EXPECT_EQ(pool_refilled, round == 3 ? 1 : 0);

    // The Enter prompt shows its second row once the pool has refilled.
    ASSERT_TRUE(run_until([&] { return at_title(7); }));
    frames(1);
    EXPECT_TRUE(shows(135, 315, round == 3 ? second_part_colour(19) : slot_colour(19))) << "round " << round;
  }
  std::sort(all.begin(), all.end());
  for (int i = 0; i < pool_size; ++i)
    EXPECT_EQ(all[static_cast<std::size_t>(i)], i + 1);
  EXPECT_EQ(round_number, 0);
  for (std::uint8_t entry : asked_questions)
    EXPECT_EQ(entry, 255);

  // The fifth test draws from the full pool again.
  quick_start(vk_space);
  const int again = answer_question(0);
  EXPECT_GE(again, 1);
  EXPECT_LE(again, 48);
  EXPECT_EQ(asked_questions[0], again - 1);
}

}  // namespace
}  // namespace shindan
