// What the player's keys do at each kind of step: Space skipping where it
// may, Space and Shift together, Enter clearing the scores, and the cursor.
#include "tests/replay/game_driver.h"

namespace shindan {
namespace {

using player_keys = game_run;

TEST_F(player_keys, space_skips_the_introduction_but_not_the_zoom_or_the_noise) {
  start(100);
  ASSERT_TRUE(run_until([&] { return scenes.title_step == 5; }));
  press(plat_key::space);
  ASSERT_TRUE(at_title(7));
  std::size_t tunes_from = tune_count();
  tap(plat_key::space);
  EXPECT_EQ(scenes.title_step, 8);
  EXPECT_EQ(scenes.shift_mode, 0);
  EXPECT_TRUE(tune_call_since(tunes_from, "bgm01.mid"));
  frames(2);

  // Steps 8 and 9 count frames; Space changes nothing there.
  // 42 frames in: the seven of step 8, then the table zoom's 35th.
  for (int i = 0; i < 13; ++i)
    press(plat_key::space);
  EXPECT_EQ(scenes.title_step, 9);
  EXPECT_EQ(title.title_zoom_frame, 35);
  ASSERT_TRUE(run_until([&] { return at_title(12); }));

  // Space in the middle of the messages shows all three at once, and the
  // three-second wait then runs from its start.
  frames(3);
  tap(plat_key::space);
  EXPECT_EQ(scenes.title_step, 16);
  EXPECT_TRUE(shows(90, 390, slot_colour(8)));
  int waited = 1;
  while (scenes.title_step == 16) {
    ASSERT_TRUE(frame());
    ++waited;
  }
  EXPECT_GE(waited, 30);
  EXPECT_LE(waited, 31);

  // Space on the noise screen does nothing.
  sounds_played();
  tunes_from = tune_count();
  press(plat_key::space);
  EXPECT_EQ(scenes.title_step, 17);
  EXPECT_TRUE(sounds_played().empty());
  EXPECT_EQ(tune_count(), tunes_from);
}

// Shift with Space on the waiting title starts a normal test; earlier it
// starts a Shift test at once, with the zoom's first frame drawn in that same
// frame; Shift alone earlier only skips to the waiting title.
TEST_F(player_keys, space_and_shift_before_and_on_the_waiting_title) {
  start(100);
  frames(3);
  ASSERT_LE(scenes.title_step, 6);
  press(plat_key::shift);
  EXPECT_EQ(scenes.title_step, 7);
  EXPECT_EQ(scenes.shift_mode, 0);
  frames(2);
  key(plat_key::shift, true);
  tap(plat_key::space);
  EXPECT_EQ(scenes.title_step, 8);
  EXPECT_EQ(scenes.shift_mode, 0);
  key(plat_key::shift, false);
  const replay_options options = session.options;
  replay_finish(&session);
  ASSERT_TRUE(replay_start(&session, options));
  frames(3);
  ASSERT_LE(scenes.title_step, 6);
  key(plat_key::shift, true);
  tap(plat_key::space);
  EXPECT_EQ(scenes.title_step, 8);
  EXPECT_EQ(scenes.shift_mode, 1);
  EXPECT_TRUE(shows(320, 240, slot_colour(4)));
}

TEST_F(player_keys, enter_clears_the_scores_only_after_an_analysis_and_before_a_start) {
  start(100);
  ASSERT_TRUE(run_until([&] { return at_title(7); }));
  sounds_played();
  press(plat_key::enter);
  EXPECT_TRUE(sounds_played().empty());  // first title: Enter does nothing at all
  EXPECT_EQ(pixel(135, 315), 0);

  quick_normal_test(std::vector<int>(12, 0));
  // The top answers of the first draw (q011 q002 q006 q015 q004 q007 q023
  // q014 q037 q041 q020 q033).
  const std::array<int, 8> normal = {53, 0, 47, 18, -3, 24, -7, -12};
  expect_scores(0, normal);

  // From the second title on the Enter prompt fades in with the prompt.
  ASSERT_TRUE(run_until([&] { return at_title(7); }));
  frames(1);
  EXPECT_TRUE(shows(135, 315, slot_colour(19)));
  press(plat_key::shift);  // a Shift test, so that both sets hold scores
  ASSERT_EQ(scenes.title_step, 8);
  sounds_played();
  press(plat_key::enter);  // too late: the introduction has started
  for (int s : sounds_played())
    EXPECT_NE(s, 5);
  expect_scores(0, normal);

  // The next title: Enter during the fades clears both sets, with a sound,
  // and keeps the step.
  ASSERT_TRUE(run_until([&] { return scenes.question_active == 1; }));
  answer_all(std::vector<int>(12, 1));
  quick_analysis();
  // The middle answers of q001 to q012, three times over.
  expect_scores(1, {-3, 51, 3, -100, -34, 100, -30, -51});
  expect_scores(0, normal);
  ASSERT_TRUE(run_until([&] { return scenes.title_step == 2; }));
  sounds_played();
  press(plat_key::enter);
  EXPECT_EQ(sounds_played(), std::vector<int>{5});
  EXPECT_LE(scenes.title_step, 3);
  expect_scores(0, {0, 0, 0, 0, 0, 0, 0, 0});
  expect_scores(1, {0, 0, 0, 0, 0, 0, 0, 0});
}

TEST_F(player_keys, the_cursor_wraps_and_moves_before_a_confirmation_in_the_same_frame) {
  start(100);
  quick_start(plat_key::shift);  // fixed questions, so the scored row is known
  ASSERT_TRUE(run_until([&] { return questions.answer_active == 1; }));
  frames(2);
  sounds_played();
  press(plat_key::up);
  EXPECT_EQ(scenes.answer_cursor, 2);
  press(plat_key::down);
  EXPECT_EQ(scenes.answer_cursor, 0);
  EXPECT_EQ(sounds_played(), (std::vector<int>{0, 0}));

  // Up and Down in one frame: both apply, Up first, each with its sound.
  key(plat_key::up, true);
  tap(plat_key::down);
  key(plat_key::up, false);
  frames(2);
  EXPECT_EQ(scenes.answer_cursor, 0);
  EXPECT_EQ(sounds_played(), (std::vector<int>{0, 0}));

  // Down and Space together: the moved answer is the one confirmed.
  key(plat_key::down, true);
  key(plat_key::space, true);
  frames(1);
  key(plat_key::down, false);
  EXPECT_EQ(scenes.answer_cursor, 1);
  EXPECT_EQ(questions.collect_active, 1);
  EXPECT_EQ(sounds_played(), (std::vector<int>{0, 1}));

  // Space kept down through the flash and the next appearance does not
  // confirm the next question.
  ASSERT_TRUE(run_until([&] { return questions.answer_active == 1; }));
  frames(10);
  EXPECT_EQ(questions.answer_active, 1);
  EXPECT_EQ(scenes.question_number, 1);
  key(plat_key::space, false);

  // q001's middle answer, three times: 14 3 -8 -14 8 1 -10 5.
  expect_scores(1, {42, 9, -24, -42, 24, 3, -30, 15});
}

TEST_F(player_keys, space_on_the_analysis_skips_each_stage_once) {
  start(100);
  quick_start(plat_key::space);
  answer_all(std::vector<int>(12, 2));
  ASSERT_TRUE(run_until([&] { return at_analysis(1); }));
  sounds_played();
  tap(plat_key::space);
  EXPECT_EQ(scenes.analysis_step, 4);
  EXPECT_EQ(sounds_played(), std::vector<int>{4});
  frames(2);

  ASSERT_TRUE(run_until([&] { return at_analysis(5); }));
  sounds_played();
  tap(plat_key::space);
  EXPECT_EQ(scenes.analysis_step, 20);
  EXPECT_EQ(sounds_played(), std::vector<int>{4});
  // All eight labels at once, under the help line's fade.
  for (int k = 0; k < trait_count; ++k)
    EXPECT_TRUE(shows(5, 115 + 36 * k, label_colour(k + 1))) << "label " << k;
  frames(2);

  press(plat_key::space);  // the help line's fade cannot be skipped
  EXPECT_EQ(scenes.analysis_step, 20);
  EXPECT_TRUE(sounds_played().empty());

  ASSERT_TRUE(run_until([&] { return at_analysis(21); }));
  std::size_t tunes_from = tune_count();
  tap(plat_key::space);
  EXPECT_EQ(scenes.analysis_step, 22);
  EXPECT_EQ(sounds_played(), std::vector<int>{2});
  EXPECT_TRUE(tune_call_since(tunes_from, "stop"));
  // The wipe's first frame is drawn over the finished board.
  EXPECT_TRUE(shows(230, 20, slot_colour(16)));

  // 81 wipe steps of 0.018 s (one per 100 ms frame), then black for 3 s.
  int wipe_frames = 1;
  while (scenes.analysis_step == 22) {
    ASSERT_TRUE(frame());
    ++wipe_frames;
  }
  EXPECT_EQ(wipe_frames, 81);
  frames(1);
  EXPECT_TRUE(screen_is_black());
  press(plat_key::space);  // ignored in the black wait
  EXPECT_EQ(scenes.analysis_step, 23);
}

}  // namespace
}  // namespace shindan
