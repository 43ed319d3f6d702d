// Trait scoring: every answer is added in full width and clamped at once, and
// the two score sets never touch each other.
#include <gtest/gtest.h>

#include "game/game.h"

namespace shindan {
namespace {

struct trait_scoring : ::testing::Test {
  void SetUp() override { reset_scores(); }
};

std::int8_t set_of(int trait, int set) {
  return scoring.trait_scores[trait][set];
}

// Whole rows added to each set, and a reset clearing both, are seen in the
// whole-game tests; here the clamp, which they reach only at the top.
TEST_F(trait_scoring, a_clamped_score_loses_what_went_past_the_limit) {
  // Trait 6: +30 (q041 bottom) from 95 is held at 100; -20 (q034 bottom)
  // then gives 80, where an unclamped sum would have given 105.
  scoring.trait_scores[6][0] = 95;
  apply_answer(40, 2, 0);
  EXPECT_EQ(set_of(6, 0), 100);
  apply_answer(33, 2, 0);
  EXPECT_EQ(set_of(6, 0), 80);

  // The same at the bottom: trait 2, -30 (q024 bottom) from -95, then +20
  // (q035 middle).
  scoring.trait_scores[2][0] = -95;
  apply_answer(23, 2, 0);
  EXPECT_EQ(set_of(2, 0), -100);
  apply_answer(34, 1, 0);
  EXPECT_EQ(set_of(2, 0), -80);
}

TEST_F(trait_scoring, limits_hold_without_wrapping_round) {
  for (int t = 0; t < trait_count; ++t) {
    scoring.trait_scores[t][0] = 100;
    scoring.trait_scores[t][1] = 100;
  }
  apply_answer(40, 2, 0);  // +30 on trait 6
  EXPECT_EQ(set_of(6, 0), 100);
  apply_answer(1, 2, 1);  // 3 x 20 on trait 4 of the Shift set
  EXPECT_EQ(set_of(4, 1), 100);

  for (int t = 0; t < trait_count; ++t) {
    scoring.trait_scores[t][0] = -100;
    scoring.trait_scores[t][1] = -100;
  }
  apply_answer(37, 0, 0);  // -30 on trait 4
  EXPECT_EQ(set_of(4, 0), -100);
  apply_answer(2, 2, 1);  // 3 x -22 on trait 2 of the Shift set
  EXPECT_EQ(set_of(2, 1), -100);
}

}  // namespace
}  // namespace shindan
