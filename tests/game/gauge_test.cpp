// Gauges, figures and wipe timing of the analysis screen, checked on the back
// buffer with small pictures whose cells each have a colour of their own.
#include <gtest/gtest.h>

#include <vector>

#include "app/frame.h"
#include "app/shell.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/headless/headless.h"
#include "tests/replay/asset_folder.h"

namespace shindan {
namespace {

using namespace testing_files;

// Cells of figure.bm: digits 0..9, then the sign cells for values of 0 and
// above (10) and for negative values (11); one slice per trait in gage.bm.
struct gauges : ::testing::Test {
  scratch_dir dir;
  std::vector<std::uint16_t> pixels;

  void SetUp() override {
    enter_scratch_dir(&dir);
    ASSERT_FALSE(dir.path.empty());
    ASSERT_TRUE(
        write_bmp("figure.bm", 120, 16, [](std::uint32_t x, std::uint32_t) { return figure_cell_colour(x / 10); }));
    // One 2 x 20 slice per trait at rows 24k + 2 .. 24k + 21; black between.
    ASSERT_TRUE(write_bmp("gage.bm", 2, 192, [](std::uint32_t, std::uint32_t y) {
      const std::uint32_t within = y % 24;
      return within >= 2 && within < 22 ? slice_colour(static_cast<int>(y / 24)) : rgb{};
    }));
    headless::reset();
    reset_program_state();
    ASSERT_EQ(start_program(), start_result::quit);
    read_pixel_format();
    ASSERT_TRUE(load_image(&images[picture_figure], "figure.bm"));
    ASSERT_TRUE(load_image(&images[picture_gage], "gage.bm"));
    clear_back_buffer();
  }
  void TearDown() override {
    close_program();
    leave_scratch_dir(&dir);
  }

  void snapshot() { pixels = headless::back_buffer_pixels(); }
  std::uint16_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * screen_width + x]; }
  // The 10 x 16 cell at (x, y) shows figure cell `cell` throughout.
  void expect_cell(int x, int y, int cell) const {
    for (int dy = 0; dy < 16; dy += 5) {
      for (int dx = 0; dx < 10; dx += 3) {
        EXPECT_EQ(at(x + dx, y + dy), pixel565(figure_cell_colour(cell))) << "cell " << cell << " at " << x << "," << y;
      }
    }
  }
  void expect_blank_cell(int x, int y) const {
    EXPECT_EQ(at(x, y), 0) << x << "," << y;
    EXPECT_EQ(at(x + 9, y + 15), 0) << x << "," << y;
  }
  // Exactly the columns [from, to) of the gauge row hold the trait's slice.
  void expect_bar(int trait, int from, int to) const {
    const int y = 112 + 36 * trait;
    const std::uint16_t colour = pixel565(slice_colour(trait));
    for (int x = 200; x < screen_width; ++x) {
      const bool inside = x >= from && x < to;
      if (x >= 178 && x < 218)
        continue;  // the figure's field
      ASSERT_EQ(at(x, y), inside ? colour : 0) << "x " << x;
      ASSERT_EQ(at(x, y + 19), inside ? colour : 0) << "x " << x;
    }
    EXPECT_EQ(at(from < to ? from : 424, y - 1), 0);
    EXPECT_EQ(at(from < to ? from : 424, y + 20), 0);
  }
};

TEST_F(gauges, zero_draws_no_bar_and_a_single_digit) {
  draw_gauge(0, 0);
  snapshot();
  expect_bar(0, 0, 0);
  expect_blank_cell(178, 118);
  expect_blank_cell(188, 118);
  expect_cell(198, 118, 10);
  expect_cell(208, 118, 0);
}

TEST_F(gauges, full_scores_reach_both_ends_with_three_digits) {
  draw_gauge(1, 100);
  draw_gauge(2, -100);
  snapshot();
  expect_bar(1, 424, 624);
  expect_cell(178, 154, 10);
  expect_cell(188, 154, 1);
  expect_cell(198, 154, 0);
  expect_cell(208, 154, 0);

  expect_bar(2, 226, 426);
  expect_cell(178, 190, 11);
  expect_cell(188, 190, 1);
  expect_cell(198, 190, 0);
  expect_cell(208, 190, 0);
}

TEST_F(gauges, a_small_negative_score_grows_left_from_the_centre) {
  draw_gauge(3, -7);
  snapshot();
  expect_bar(3, 412, 426);
  expect_blank_cell(188, 226);
  expect_cell(198, 226, 11);
  expect_cell(208, 226, 7);
}

TEST_F(gauges, two_digit_figures_put_the_sign_just_left_of_the_tens) {
  draw_figure(300, 20, 3, 42);
  draw_figure(300, 50, 3, -58);
  snapshot();
  expect_blank_cell(290, 20);
  expect_blank_cell(290, 50);
  expect_cell(300, 20, 10);
  expect_cell(310, 20, 4);
  expect_cell(320, 20, 2);
  expect_cell(300, 50, 11);
  expect_cell(310, 50, 5);
  expect_cell(320, 50, 8);
}

TEST_F(gauges, animation_counts_towards_the_target_one_unit_a_step) {
  shell.frame_seconds = 0.05f;  // every call is a step
  analysis.gauge_value = 0;
  analysis.gauge_timer = 0.0f;
  // A target of 3 draws 0, 1 and 2, and ends on the third step.
  EXPECT_TRUE(animate_gauge(4, 3));
  EXPECT_TRUE(animate_gauge(4, 3));
  clear_back_buffer();
  EXPECT_FALSE(animate_gauge(4, 3));
  snapshot();
  expect_bar(4, 424, 428);
  EXPECT_EQ(analysis.gauge_value, 0);

  // A target of 0 still takes one step; a negative one counts down.
  EXPECT_FALSE(animate_gauge(5, 0));
  EXPECT_TRUE(animate_gauge(6, -2));
  EXPECT_FALSE(animate_gauge(6, -2));
  EXPECT_EQ(analysis.gauge_value, 0);

  // Short frames add up before a step is taken.
  shell.frame_seconds = 0.016f;
  EXPECT_TRUE(animate_gauge(7, 1));
  EXPECT_TRUE(animate_gauge(7, 1));
  EXPECT_FALSE(animate_gauge(7, 1));
  shell.frame_seconds = 0.0f;
}

TEST_F(gauges, wipe_steps_only_once_its_timer_has_reached_the_real_threshold) {
  // The closing wipe alone, from its first frame.
  const auto run_wipe_frame = [] { EXPECT_TRUE(analysis_scene()); };
  scenes.shift_mode = 0;
  scenes.analysis_step = 22;
  analysis.mask_frame = 0;
  analysis.mask_row = 10;
  analysis.mask_timer = 0.0f;

  // 18 ms gives the float just below 1.8: not there yet, the next frame is.
  shell.frame_seconds = 0.018f;
  run_wipe_frame();
  EXPECT_EQ(analysis.mask_row, 10);
  run_wipe_frame();
  EXPECT_EQ(analysis.mask_row, 9);
  EXPECT_EQ(analysis.mask_timer, 0.0f);

  // Two frames of 9 ms land on the same float.
  shell.frame_seconds = 0.009f;
  run_wipe_frame();
  run_wipe_frame();
  EXPECT_EQ(analysis.mask_row, 9);
  run_wipe_frame();
  EXPECT_EQ(analysis.mask_row, 8);

  // 19 ms is past it at once, so every frame steps.
  shell.frame_seconds = 0.019f;
  run_wipe_frame();
  EXPECT_EQ(analysis.mask_row, 7);
  run_wipe_frame();
  EXPECT_EQ(analysis.mask_row, 6);

  shell.frame_seconds = 0.0f;
  scenes.analysis_step = 0;
  analysis.mask_timer = 0.0f;
  scenes.first_test = 1;
}

TEST(question_pool, free_entries_never_match_and_every_row_is_searched) {
  for (auto& entry : questions.asked_questions)
    entry = 255;
  for (int i = 0; i < pool_size; ++i)
    EXPECT_FALSE(is_question_asked(i));
  questions.asked_questions[47] = 0;
  questions.asked_questions[13] = 47;
  EXPECT_TRUE(is_question_asked(0));
  EXPECT_TRUE(is_question_asked(47));
  EXPECT_FALSE(is_question_asked(1));
  for (auto& entry : questions.asked_questions)
    entry = 255;
}

}  // namespace
}  // namespace shindan
