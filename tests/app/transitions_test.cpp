// Fades and waits paced by the frame time, with their shared accumulators.
#include "app/transitions.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/shell.h"
#include "gfx/gfx.h"

namespace shindan {
namespace {

class fades_and_waits : public ::testing::Test {
 protected:
  void SetUp() override { transitions = transition_record{}; }
  float fade(float seconds) { return fade_blit(0, 0, seconds, &empty_slot, 0, 0, 16, 16); }
  image_slot empty_slot;
};

TEST_F(fades_and_waits, fade_falls_frame_by_frame_and_ends_with_minus_one_once) {
  shell.frame_seconds = 0.25f;
  EXPECT_FLOAT_EQ(fade(1.0f), 0.75f);
  EXPECT_FLOAT_EQ(fade(1.0f), 0.5f);
  EXPECT_FLOAT_EQ(fade(1.0f), 0.25f);
  EXPECT_EQ(fade(1.0f), -1.0f);
  EXPECT_EQ(transitions.fade_elapsed, 0.0f);
  // The next fade starts afresh.
  EXPECT_FLOAT_EQ(fade(1.0f), 0.75f);
}

TEST_F(fades_and_waits, zero_frame_time_holds_a_fade_and_a_wait_where_they_are) {
  shell.frame_seconds = 0.0f;
  EXPECT_EQ(fade(2.0f), 1.0f);
  EXPECT_EQ(fade(2.0f), 1.0f);
  EXPECT_TRUE(wait_timer(2.0f));
  shell.frame_seconds = 0.5f;
  EXPECT_FLOAT_EQ(fade(2.0f), 0.75f);
  shell.frame_seconds = 0.0f;
  EXPECT_FLOAT_EQ(fade(2.0f), 0.75f);
  EXPECT_EQ(transitions.wait_elapsed, 0.0f);
}

TEST_F(fades_and_waits, very_long_frame_ends_a_fade_and_a_wait_at_their_first_call) {
  shell.frame_seconds = 37.5f;  // the frame after a slow first-frame load
  EXPECT_EQ(fade(4.0f), -1.0f);
  EXPECT_FALSE(wait_timer(4.0f));
  EXPECT_EQ(transitions.fade_elapsed, 0.0f);
  EXPECT_EQ(transitions.wait_elapsed, 0.0f);
}

TEST_F(fades_and_waits, zero_durations_end_at_every_call) {
  for (float frame : {0.0f, 0.016f}) {
    shell.frame_seconds = frame;
    EXPECT_FALSE(wait_timer(0.0f));
    EXPECT_FALSE(wait_timer(0.0f));
    EXPECT_EQ(fade(0.0f), -1.0f);
  }
}

TEST_F(fades_and_waits, wait_ends_once_then_starts_again) {
  shell.frame_seconds = 0.5f;
  EXPECT_TRUE(wait_timer(1.0f));
  EXPECT_FALSE(wait_timer(1.0f));
  EXPECT_TRUE(wait_timer(1.0f));
  EXPECT_FALSE(wait_timer(1.0f));
}

}  // namespace
}  // namespace shindan
