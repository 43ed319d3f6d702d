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

// The bar from the centre (424..426) by two pixels a unit, and the figure
// right-aligned at x 208 with its sign just left of the highest digit; -1 is
// a blank cell. Gauges draw at row 118 + 36 * trait, bare figures where asked.
TEST_F(gauges, bars_and_figures_for_each_kind_of_value) {
  struct gauge_case {
    int trait, value, bar_from, bar_to, y;
    int cells[4];  // at x 178, 188, 198, 208
  } const cases[] = {
      {0, 0, 0, 0, 118, {-1, -1, 10, 0}},      {1, 100, 424, 624, 154, {10, 1, 0, 0}},
      {2, -100, 226, 426, 190, {11, 1, 0, 0}}, {3, -7, 412, 426, 226, {-1, -1, 11, 7}},
      {-1, 42, 0, 0, 20, {-1, 10, 4, 2}},      {-1, -58, 0, 0, 50, {-1, 11, 5, 8}},
  };
  for (const gauge_case& c : cases) {
    SCOPED_TRACE(c.value);
    clear_back_buffer();
    const int x0 = c.trait < 0 ? 290 : 178;
    if (c.trait < 0)
      draw_figure(x0 + 10, c.y, 3, c.value);
    else
      draw_gauge(c.trait, c.value);
    snapshot();
    if (c.trait >= 0)
      expect_bar(c.trait, c.bar_from, c.bar_to);
    for (int i = 0; i < 4; ++i) {
      if (c.cells[i] < 0)
        expect_blank_cell(x0 + 10 * i, c.y);
      else
        expect_cell(x0 + 10 * i, c.y, c.cells[i]);
    }
  }
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

}  // namespace
}  // namespace shindan
