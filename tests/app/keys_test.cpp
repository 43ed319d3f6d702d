// Key latches: one press per hold, whatever the sequence of polls.
#include "app/keys.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/headless/headless.h"

namespace shindan {
namespace {

// Polls the key once per entry of downs and answers the latch after each.
std::vector<key_latch> run_polls(const std::vector<bool>& downs, key_latch start = key_up) {
  headless::reset();
  key_latch latch = start;
  std::vector<key_latch> seen;
  for (bool down : downs) {
    headless::set_key(plat_key::space, down);
    poll_key(plat_key::space, &latch);
    seen.push_back(latch);
  }
  return seen;
}

TEST(key_latch, one_press_per_hold_whatever_the_polls) {
  const struct {
    const char* what;
    std::vector<bool> downs;
    key_latch start;
    std::vector<key_latch> seen;
  } cases[] = {
      {"held", {true, true, true, false, false}, key_up, {key_pressed, key_held, key_held, key_released, key_up}},
      // Up at one poll and down again at the next: no second press.
      {"up once", {true, false, true, true}, key_up, {key_pressed, key_released, key_held, key_held}},
      {"up twice", {true, false, false, true}, key_up, {key_pressed, key_released, key_up, key_pressed}},
      {"tap between polls", {false, false}, key_up, {key_up, key_up}},
      // A latch left at key_up by an earlier scene sees a held key as a new
      // press; one left held keeps being held.
      {"down at the first poll", {true}, key_up, {key_pressed}},
      {"left held", {true}, key_held, {key_held}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(run_polls(c.downs, c.start), c.seen) << c.what;
}

TEST(key_latch, each_latch_advances_only_when_its_owner_polls) {
  headless::reset();
  key_latch polled = key_up;
  key_latch idle = key_up;
  headless::set_key(plat_key::space, true);
  poll_key(plat_key::space, &polled);
  poll_key(plat_key::space, &polled);
  EXPECT_EQ(polled, key_held);
  EXPECT_EQ(idle, key_up);
  poll_key(plat_key::space, &idle);
  EXPECT_EQ(idle, key_pressed);
}

}  // namespace
}  // namespace shindan
