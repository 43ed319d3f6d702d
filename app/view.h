// What the screen shows, in the game's words, for front ends that put other
// controls over the keys (a tap on the picture) or keep the result (a shared
// picture of the analysis). Read-only: asking changes nothing in the game.
#pragma once

#include <cstdint>

namespace shindan {

enum class view_kind : std::uint8_t {
  other = 0,     // the title and its introduction, a building or closing analysis
  question = 1,  // a question picture with its three answers
  analysis = 2,  // the whole analysis standing, waiting for Space
};

struct screen_view {
  view_kind kind = view_kind::other;
  // From the title's introduction to a test the player chose until the
  // analysis hands back to the title.
  bool in_test = false;
  // On the question screen: whether Up, Down and Space act on the answers
  // now, and which answer (0 top to 2 bottom) is marked.
  bool answers_open = false;
  // Whether a press made now counts: the game takes a press only once it
  // has seen the key up at two of its polls in a row, and it does not poll
  // the answer keys while a question appears. Just after the answers open,
  // the Space that confirmed the last answer may not be settled yet.
  bool answers_settled = false;
  std::int8_t marked_answer = 0;
  // On the analysis: whether it shows the hidden test's set, and the eight
  // scores it shows, in trait order.
  bool hidden_test = false;
  std::int8_t scores[8] = {};
};

screen_view current_view();

}  // namespace shindan
