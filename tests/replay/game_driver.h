// Drives the whole game through the real loop for the end-to-end tests: a
// fixture with its own asset folder, key presses as a player makes them, and
// a look at the presented frame.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/frame.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/headless/headless.h"
#include "sound/sound.h"
#include "tests/replay/asset_folder.h"
#include "tools/shindan_tool/replay.h"

namespace shindan {

using namespace testing_files;

struct game_run : ::testing::Test {
  scratch_dir dir;
  replay_session session;
  asset_choice assets;
  std::size_t sounds_seen = 0;

  void SetUp() override {
    enter_scratch_dir(&dir);
    ASSERT_FALSE(dir.path.empty());
  }
  void TearDown() override {
    replay_finish(&session);
    leave_scratch_dir(&dir);
  }

  // Writes the asset folder (less what `assets` leaves out) and starts the
  // program with frames of the given length.
  void start(std::uint32_t frame_ms = 100) {
    ASSERT_TRUE(write_asset_folder(assets));
    replay_options options;
    options.frame_ms = frame_ms;
    options.log = true;
    ASSERT_TRUE(replay_start(&session, options));
  }

  bool frame() { return replay_frame(&session); }
  void frames(int count) {
    for (int i = 0; i < count; ++i)
      ASSERT_TRUE(frame());
  }
  // Runs frames until the condition holds (checked before each frame).
  bool run_until(const std::function<bool()>& condition, int max_frames = 20000) {
    for (int i = 0; i < max_frames; ++i) {
      if (condition())
        return true;
      if (!frame())
        return false;
    }
    return condition();
  }

  void key(plat_key k, bool down) { replay_key(&session, k, down); }
  // Down for one frame, then released (checks can look at that frame).
  void tap(plat_key k) {
    key(k, true);
    frames(1);
    key(k, false);
  }
  // A tap, then up for two frames, so that the latch is ready for the next
  // press (a key must be seen up twice in a row).
  void press(plat_key k) {
    tap(k);
    frames(2);
  }

  std::uint16_t pixel(int x, int y) const { return headless::screen()[static_cast<std::size_t>(y) * screen_width + x]; }
  bool shows(int x, int y, rgb colour) const { return pixel(x, y) == pixel565(colour); }
  bool screen_is_black() const {
    const auto& s = headless::screen();
    return std::all_of(s.begin(), s.end(), [](std::uint16_t p) { return p == 0; });
  }
  // Noise: many different grey values on one row.
  bool screen_is_noise() const {
    std::vector<std::uint16_t> seen;
    for (int x = 0; x < screen_width; x += 7) {
      const std::uint16_t p = pixel(x, 240);
      if (std::find(seen.begin(), seen.end(), p) == seen.end())
        seen.push_back(p);
    }
    return seen.size() > 8;
  }

  // Sound slots played since the last call, in order, as the session's log
  // names them.
  std::vector<int> sounds_played() {
    std::vector<int> slots;
    for (std::size_t at; (at = session.log.find(": sound ", sounds_seen)) != std::string::npos; sounds_seen = at + 8)
      slots.push_back(std::atoi(session.log.c_str() + at + 8));
    sounds_seen = session.log.size();
    return slots;
  }
  std::size_t tune_count() const { return session.log.size(); }
  // A tune call holding `text` logged after the mark.
  bool tune_call_since(std::size_t from, const std::string& text) const {
    for (std::size_t at = from; (at = session.log.find(": tune ", at)) != std::string::npos; ++at) {
      if (session.log.substr(at, session.log.find('\n', at) - at).find(text) != std::string::npos)
        return true;
    }
    return false;
  }

  // ---- a player's way through the game

  bool at_title(int step) const { return scenes.title_active == 1 && scenes.title_step == step; }
  bool at_analysis(int step) const { return scenes.analysis_active == 1 && scenes.analysis_step == step; }

  // From the title's first steps to the first answer prompt, skipping ahead
  // with Space wherever the title allows it.
  void quick_start(plat_key start_key = plat_key::space) {
    ASSERT_TRUE(run_until([&] { return scenes.title_active == 1 && scenes.title_step <= 7; }));
    if (scenes.title_step < 7)
      press(plat_key::space);
    ASSERT_TRUE(at_title(7));
    press(start_key);
    ASSERT_TRUE(run_until([&] { return at_title(10); }));
    press(plat_key::space);
    ASSERT_TRUE(at_title(16));
    press(plat_key::space);
    ASSERT_TRUE(run_until([&] { return scenes.question_active == 1; }));
  }

  // Waits for the answer prompt, moves the cursor down `answer` times and
  // confirms. Answers the question number (1..60) the screen showed.
  int answer_question(int answer) {
    if (!run_until([&] { return questions.answer_active == 1; }))
      return 0;
    // The confirm latch was last polled at the previous confirmation; two
    // polls with the key up make it ready again.
    frames(2);
    const int shown = question_of_pixel(pixel(170, 104));
    for (int i = 0; i < answer; ++i)
      press(plat_key::down);
    key(plat_key::space, true);
    frames(1);
    key(plat_key::space, false);
    return shown;
  }

  // Plays the questions and answers (answers[i] for the i-th); records the
  // question numbers shown.
  std::vector<int> answer_all(const std::vector<int>& answers) {
    std::vector<int> shown;
    for (int a : answers)
      shown.push_back(answer_question(a));
    return shown;
  }

  // From the analysis to its finished board, drawn: Space skips the build-up.
  void to_finished_board() {
    ASSERT_TRUE(run_until([&] { return scenes.analysis_active == 1; }));
    press(plat_key::space);
    press(plat_key::space);
    ASSERT_TRUE(run_until([&] { return at_analysis(21); }));
    frames(1);
  }
  // From the analysis to the next title, leaving through the wipe.
  void quick_analysis() {
    to_finished_board();
    press(plat_key::space);
    ASSERT_TRUE(run_until([&] { return scenes.title_active == 1; }));
  }

  void quick_normal_test(const std::vector<int>& answers, std::vector<int>* shown = nullptr) {
    quick_start(plat_key::space);
    const std::vector<int> questions = answer_all(answers);
    if (shown != nullptr)
      *shown = questions;
    quick_analysis();
  }
};

// Adds one answer's weights, written out in the test, to running scores
// held as the game holds them: clamped to -100..100 at once.
inline void add_weights(int (&scores)[8], const std::array<int, 8>& weights, int factor = 1) {
  for (int t = 0; t < 8; ++t)
    scores[t] = std::clamp(scores[t] + weights[static_cast<std::size_t>(t)] * factor, -100, 100);
}

// Expects the set's eight scores.
inline void expect_scores(int set, const std::array<int, 8>& expected) {
  for (int t = 0; t < 8; ++t)
    EXPECT_EQ(scoring.trait_scores[t][set], expected[static_cast<std::size_t>(t)]) << "set " << set << " trait " << t;
}

}  // namespace shindan
