#include "app/view.h"

#include "app/frame.h"
#include "game/game.h"

namespace shindan {

namespace {

// The analysis step that shows every row, the help line and nothing moving,
// until Space starts the closing wipe.
constexpr std::int8_t analysis_standing_step = 21;
// The title's first step after the player chose a test: its zoom out.
constexpr std::int8_t title_test_started_step = 8;

static_assert(trait_count == sizeof screen_view{}.scores, "one score for each trait");

}  // namespace

screen_view current_view() {
  screen_view view;
  // Space or Shift at the waiting title moves it to step 8: from there on the
  // introduction plays as part of the test the player started.
  const bool test_started_at_title = scenes.title_active == 1 && scenes.title_step >= title_test_started_step;
  view.in_test = test_started_at_title || scenes.question_active == 1 || scenes.analysis_active == 1;
  if (scenes.question_active == 1) {
    view.kind = view_kind::question;
    view.answers_open = questions.answer_active == 1;
    view.answers_settled = view.answers_open && questions.up_latch == key_up && questions.down_latch == key_up &&
                           questions.confirm_latch == key_up;
    view.marked_answer = scenes.answer_cursor;
  } else if (scenes.analysis_active == 1 && scenes.analysis_step == analysis_standing_step) {
    view.kind = view_kind::analysis;
    // The scene picks its set on every frame it runs; the flag it reads
    // stays as it is until the analysis ends.
    const int set = scenes.shift_mode == 1 ? 1 : 0;
    view.hidden_test = set == 1;
    for (int t = 0; t < trait_count; ++t)
      view.scores[t] = scoring.trait_scores[t][set];
  }
  return view;
}

}  // namespace shindan
