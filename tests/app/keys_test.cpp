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

TEST(KeyLatch, HoldingAKeyPressesItOnce) {
  EXPECT_EQ(run_polls({true, true, true, false, false}),
            (std::vector<key_latch>{key_pressed, key_held, key_held, key_released, key_up}));
}

TEST(KeyLatch, SecondPressRightAfterAReleaseIsLost) {
  // Up at one poll and down again at the next: no second press.
  EXPECT_EQ(run_polls({true, false, true, true}),
            (std::vector<key_latch>{key_pressed, key_released, key_held, key_held}));
  // Up at two polls in a row: the next press counts.
  EXPECT_EQ(run_polls({true, false, false, true}),
            (std::vector<key_latch>{key_pressed, key_released, key_up, key_pressed}));
  // A tap between two polls is never seen.
  EXPECT_EQ(run_polls({false, false}), (std::vector<key_latch>{key_up, key_up}));
}

TEST(KeyLatch, KeyAlreadyDownAtTheFirstPollPressesAtOnce) {
  // A latch left at key_up by an earlier scene sees a held key as a new press.
  EXPECT_EQ(run_polls({true}), std::vector<key_latch>{key_pressed});
  // A latch left held keeps being held.
  EXPECT_EQ(run_polls({true}, key_held), std::vector<key_latch>{key_held});
}

TEST(KeyLatch, EachLatchAdvancesOnlyWhenItsOwnerPolls) {
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
