// What the player's keys do at each kind of step: Space skipping where it
// may, Space and Shift together, Enter clearing the scores, and the cursor.
#include "tests/replay/game_driver.h"

namespace shindan {
namespace {

using player_keys = game_run;

TEST_F(player_keys, space_on_the_waiting_title_shows_it_whole_at_once) {
  start(100);
  frames(2);  // step 0, mid-fade
  ASSERT_EQ(title_step, 0);
  key(vk_space, true);
  frames(1);
  EXPECT_EQ(title_step, 7);
  // Drawn complete in the same frame, down to the prompt.
  EXPECT_TRUE(shows(120, 285, slot_colour(3)));
  // Held, it does not start the test as well.
  frames(5);
  EXPECT_EQ(title_step, 7);
  key(vk_space, false);
}

TEST_F(player_keys, space_skips_the_introduction_but_not_the_zoom_or_the_noise) {
  start(100);
  ASSERT_TRUE(run_until([&] { return title_step == 5; }));
  press(vk_space);
  ASSERT_TRUE(at_title(7));
  std::size_t music_from = music_count();
  tap(vk_space);
  EXPECT_EQ(title_step, 8);
  EXPECT_EQ(shift_mode, 0);
  EXPECT_TRUE(music_sent_since(music_from, "bgm01.mid"));
  frames(2);

  // Steps 8 and 9 count frames; Space changes nothing there.
  // 42 frames in: the seven of step 8, then the table zoom's 35th.
  for (int i = 0; i < 13; ++i)
    press(vk_space);
  EXPECT_EQ(title_step, 9);
  EXPECT_EQ(title_zoom_frame, 35);
  ASSERT_TRUE(run_until([&] { return at_title(12); }));

  // Space in the middle of the messages shows all three at once, and the
  // three-second wait then runs from its start.
  frames(3);
  tap(vk_space);
  EXPECT_EQ(title_step, 16);
  EXPECT_TRUE(shows(90, 390, slot_colour(8)));
  int waited = 1;
  while (title_step == 16) {
    ASSERT_TRUE(frame());
    ++waited;
  }
  EXPECT_GE(waited, 30);
  EXPECT_LE(waited, 31);

  // Space on the noise screen does nothing.
  sounds_played();
  music_from = music_count();
  press(vk_space);
  EXPECT_EQ(title_step, 17);
  EXPECT_TRUE(sounds_played().empty());
  EXPECT_EQ(music_count(), music_from);
}

TEST_F(player_keys, space_at_the_last_message_goes_straight_to_the_noise) {
  start(100);
  quick_start(vk_space);  // presses Space at step 16 on the way
  // Reached by Space: noise sound and the second tune.
  EXPECT_TRUE(music_sent_since(0, "bgm02.mid"));
  const std::vector<int> played = sounds_played();
  EXPECT_EQ(std::count(played.begin(), played.end(), 6), 1);
}

TEST_F(player_keys, space_and_shift_together_on_the_waiting_title_start_a_normal_test) {
  start(100);
  ASSERT_TRUE(run_until([&] { return at_title(7); }));
  frames(2);
  key(vk_shift, true);
  tap(vk_space);
  EXPECT_EQ(title_step, 8);
  EXPECT_EQ(shift_mode, 0);
}

TEST_F(player_keys, space_and_shift_together_earlier_start_a_shift_test_at_once) {
  start(100);
  frames(3);
  ASSERT_LE(title_step, 6);
  key(vk_shift, true);
  tap(vk_space);
  EXPECT_EQ(title_step, 8);
  EXPECT_EQ(shift_mode, 1);
  // The zoom's first frame is drawn in that same frame.
  EXPECT_TRUE(shows(320, 240, slot_colour(4)));
}

TEST_F(player_keys, shift_alone_before_the_waiting_title_only_skips) {
  start(100);
  frames(3);
  press(vk_shift);
  EXPECT_EQ(title_step, 7);
  EXPECT_EQ(shift_mode, 0);
}

TEST_F(player_keys, enter_clears_the_scores_only_after_an_analysis_and_before_a_start) {
  start(100);
  ASSERT_TRUE(run_until([&] { return at_title(7); }));
  sounds_played();
  press(vk_enter);
  EXPECT_TRUE(sounds_played().empty());  // first title: Enter does nothing at all
  EXPECT_EQ(pixel(135, 315), 0);

  quick_normal_test(std::vector<int>(12, 0));
  int before[8];
  bool any = false;
  for (int t = 0; t < trait_count; ++t) {
    before[t] = trait_scores[t][0];
    any = any || before[t] != 0;
  }
  ASSERT_TRUE(any);

  // From the second title on the Enter prompt fades in with the prompt.
  ASSERT_TRUE(run_until([&] { return at_title(7); }));
  frames(1);
  EXPECT_TRUE(shows(135, 315, slot_colour(19)));
  press(vk_space);
  ASSERT_EQ(title_step, 8);
  sounds_played();
  press(vk_enter);  // too late: the introduction has started
  for (int s : sounds_played())
    EXPECT_NE(s, 5);
  for (int t = 0; t < trait_count; ++t)
    EXPECT_EQ(trait_scores[t][0], before[t]);

  // The next title: Enter during the fades clears both sets, with a sound,
  // and keeps the step.
  ASSERT_TRUE(run_until([&] { return question_active == 1; }));
  answer_all(std::vector<int>(12, 1));
  quick_analysis();
  ASSERT_TRUE(run_until([&] { return title_step == 2; }));
  sounds_played();
  press(vk_enter);
  EXPECT_EQ(sounds_played(), std::vector<int>{5});
  EXPECT_LE(title_step, 3);
  for (int t = 0; t < trait_count; ++t) {
    EXPECT_EQ(trait_scores[t][0], 0);
    EXPECT_EQ(trait_scores[t][1], 0);
  }
}

TEST_F(player_keys, the_cursor_wraps_and_moves_before_a_confirmation_in_the_same_frame) {
  start(100);
  quick_start(vk_shift);  // fixed questions, so the scored row is known
  ASSERT_TRUE(run_until([&] { return answer_active == 1; }));
  frames(2);
  sounds_played();
  press(vk_up);
  EXPECT_EQ(answer_cursor, 2);
  press(vk_down);
  EXPECT_EQ(answer_cursor, 0);
  EXPECT_EQ(sounds_played(), (std::vector<int>{0, 0}));

  // Up and Down in one frame: both apply, Up first, each with its sound.
  key(vk_up, true);
  tap(vk_down);
  key(vk_up, false);
  frames(2);
  EXPECT_EQ(answer_cursor, 0);
  EXPECT_EQ(sounds_played(), (std::vector<int>{0, 0}));

  // Down and Space together: the moved answer is the one confirmed.
  key(vk_down, true);
  key(vk_space, true);
  frames(1);
  key(vk_down, false);
  EXPECT_EQ(answer_cursor, 1);
  EXPECT_EQ(collect_active, 1);
  EXPECT_EQ(sounds_played(), (std::vector<int>{0, 1}));

  // Space kept down through the flash and the next appearance does not
  // confirm the next question.
  ASSERT_TRUE(run_until([&] { return answer_active == 1; }));
  frames(10);
  EXPECT_EQ(answer_active, 1);
  EXPECT_EQ(question_number, 1);
  key(vk_space, false);

  int expected[8] = {};
  add_expected(expected, 0, 1, 3);
  for (int t = 0; t < trait_count; ++t)
    EXPECT_EQ(trait_scores[t][1], expected[t]);
}

TEST_F(player_keys, space_on_the_analysis_skips_each_stage_once) {
  start(100);
  quick_start(vk_space);
  answer_all(std::vector<int>(12, 2));
  ASSERT_TRUE(run_until([&] { return at_analysis(1); }));
  sounds_played();
  tap(vk_space);
  EXPECT_EQ(analysis_step, 4);
  EXPECT_EQ(sounds_played(), std::vector<int>{4});
  frames(2);

  ASSERT_TRUE(run_until([&] { return at_analysis(5); }));
  sounds_played();
  tap(vk_space);
  EXPECT_EQ(analysis_step, 20);
  EXPECT_EQ(sounds_played(), std::vector<int>{4});
  // All eight labels at once, under the help line's fade.
  for (int k = 0; k < trait_count; ++k)
    EXPECT_TRUE(shows(5, 115 + 36 * k, label_colour(k + 1))) << "label " << k;
  frames(2);

  press(vk_space);  // the help line's fade cannot be skipped
  EXPECT_EQ(analysis_step, 20);
  EXPECT_TRUE(sounds_played().empty());

  ASSERT_TRUE(run_until([&] { return at_analysis(21); }));
  std::size_t music_from = music_count();
  tap(vk_space);
  EXPECT_EQ(analysis_step, 22);
  EXPECT_EQ(sounds_played(), std::vector<int>{2});
  EXPECT_TRUE(music_sent_since(music_from, "stop midi"));
  // The wipe's first frame is drawn over the finished board.
  EXPECT_TRUE(shows(230, 20, slot_colour(16)));

  // 81 wipe steps of 0.018 s (one per 100 ms frame), then black for 3 s.
  int wipe_frames = 1;
  while (analysis_step == 22) {
    ASSERT_TRUE(frame());
    ++wipe_frames;
  }
  EXPECT_EQ(wipe_frames, 81);
  frames(1);
  EXPECT_TRUE(screen_is_black());
  press(vk_space);  // ignored in the black wait
  EXPECT_EQ(analysis_step, 23);
}

}  // namespace
}  // namespace shindan
