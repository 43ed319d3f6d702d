// The shell: start-up and its failures, the loop and frame timing, the close
// path and its teardown order, and the error box.
#include "app/shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/frame.h"
#include "gfx/gfx.h"
#include "platform/common/sjis.h"
#include "platform/headless/headless.h"
#include "sound/sound.h"
#include "tests/support/files.h"

namespace shindan {
namespace {

constexpr char error_caption[] = "エラー発生";
constexpr char display_failed[] = "ダイレクトドローの初期化に失敗しました";
constexpr char sound_failed[] = "ダイレクトサウンドの初期化に失敗しました";

std::string utf8(const std::string& sjis) {
  return sjis_to_utf8(sjis.data(), sjis.size());
}

// The teardown: cursor back, then display, sound, music and window, each
// after what depends on it.
const std::vector<std::string> teardown = {"show_cursor 1", "close_display", "close_sound",
                                           "stop_tune",     "close_tune",    "close_window"};

class program_shell : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::reset();
    reset_program_state();
  }
  void TearDown() override {
    if (headless::window_exists()) {
      headless::post_close();
      for (int i = 0; i < 100 && run_loop_turn() != loop_turn::quit; ++i) {
      }
    }
  }
  // Runs turns until one runs a frame; answers how many events came first.
  int turns_until_frame() {
    int events = 0;
    for (loop_turn turn; (turn = run_loop_turn()) != loop_turn::frame;) {
      EXPECT_EQ(turn, loop_turn::event);
      if (turn != loop_turn::event || ++events > 100)
        break;
    }
    return events;
  }
  std::vector<std::string> calls_since(std::size_t from) {
    const auto& all = headless::shell_calls();
    return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
  }
};

TEST_F(program_shell, starts_with_the_cursor_hidden_and_the_clock_taken) {
  headless::set_tick(5000);
  ASSERT_EQ(start_program(), start_result::quit);
  EXPECT_EQ(calls_since(0), (std::vector<std::string>{"open_window", "open_display", "open_sound", "show_cursor 0"}));
  EXPECT_FALSE(headless::cursor_shown());
  EXPECT_EQ(shell.last_tick, 5000u);
  EXPECT_TRUE(audio.device_open);
  EXPECT_NE(display.back_buffer, nullptr);
}

TEST_F(program_shell, failed_set_up_shows_its_boxes_and_stops_before_the_loop) {
  headless::fail_display_at(plat_display_stage::no_display_mode);
  EXPECT_EQ(run_program(), start_result::display_failed);
  auto boxes = headless::message_boxes();
  // The stage's own box over the display, then the start-up box with a
  // blank caption; no sound set-up and no teardown.
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(utf8(boxes[0].caption), error_caption);
  EXPECT_EQ(utf8(boxes[1].text), display_failed);
  EXPECT_TRUE(boxes[1].owned);
  EXPECT_TRUE(boxes[1].has_caption);
  EXPECT_EQ(boxes[1].caption, "");
  EXPECT_FALSE(audio.device_open);
  EXPECT_EQ(headless::frames_presented(), 0u);

  headless::reset();
  headless::fail_sound(plat_sound_stage::no_cooperation);
  EXPECT_EQ(start_program(), start_result::sound_failed);
  boxes = headless::message_boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(utf8(boxes[0].caption), error_caption);
  EXPECT_EQ(utf8(boxes[1].text), sound_failed);
  EXPECT_EQ(boxes[1].caption, "");
  EXPECT_TRUE(headless::cursor_shown());

  headless::reset();
  headless::fail_window(true);
  EXPECT_EQ(start_program(), start_result::no_window);
  EXPECT_TRUE(headless::message_boxes().empty());
  EXPECT_TRUE(headless::shell_calls().empty());
}

TEST_F(program_shell, frame_time_is_the_tick_difference_even_across_the_wrap) {
  headless::set_tick(1000);
  ASSERT_EQ(start_program(), start_result::quit);
  EXPECT_EQ(turns_until_frame(), 0);
  EXPECT_EQ(shell.frame_seconds, 0.0f);  // same tick: nothing moves

  headless::set_tick(1016);
  turns_until_frame();
  EXPECT_FLOAT_EQ(shell.frame_seconds, 0.016f);

  // The frame after a long first-frame load carries all of it.
  headless::set_tick(1016 + 93000);
  turns_until_frame();
  EXPECT_FLOAT_EQ(shell.frame_seconds, 93.0f);

  headless::set_tick(0xFFFFFFF0u);
  turns_until_frame();
  headless::set_tick(0x10u);
  turns_until_frame();
  EXPECT_FLOAT_EQ(shell.frame_seconds, 0.032f);
  EXPECT_EQ(shell.last_tick, 0x10u);
}

TEST_F(program_shell, close_tears_down_in_order_without_another_frame) {
  ASSERT_EQ(start_program(), start_result::quit);
  turns_until_frame();
  play_music("bgm01.mid");
  const std::uint64_t presented = headless::frames_presented();
  const std::size_t before = headless::shell_calls().size();

  // Two close requests wait (a held Esc); the first ends the loop.
  headless::post_close();
  headless::post_close();
  EXPECT_EQ(run_loop_turn(), loop_turn::quit);
  EXPECT_EQ(headless::frames_presented(), presented);
  EXPECT_EQ(calls_since(before), teardown);
  EXPECT_TRUE(headless::cursor_shown());
  EXPECT_FALSE(headless::window_exists());
  EXPECT_FALSE(audio.device_open);
  EXPECT_EQ(display.direct_draw, nullptr);
  EXPECT_EQ(music.music_playing, 0);

  // The window is gone: nothing more arrives and nothing is torn down twice.
  headless::post_close();
  EXPECT_EQ(plat_poll_event(), plat_event::none);
  EXPECT_EQ(calls_since(before), teardown);
}

TEST_F(program_shell, ended_tune_is_restarted_between_frames) {
  ASSERT_EQ(start_program(), start_result::quit);
  turns_until_frame();
  // The tune has to exist to play; it lies beside the program file.
  testing_files::write_temp("bgm02.mid", {'M', 'T', 'h', 'd'});
  headless::set_program_file_name(testing_files::temp_path("shindan"));
  play_music("bgm02.mid");
  ASSERT_TRUE(headless::tune_playing());
  const std::size_t sent = headless::tune_calls().size();
  const std::uint64_t presented = headless::frames_presented();
  headless::end_tune();
  EXPECT_EQ(turns_until_frame(), 1);
  EXPECT_EQ(headless::frames_presented(), presented + 1);
  const std::vector<std::string> after(headless::tune_calls().begin() + static_cast<std::ptrdiff_t>(sent),
                                       headless::tune_calls().end());
  EXPECT_EQ(after, (std::vector<std::string>{"status", "play"}));
  EXPECT_TRUE(headless::tune_playing());
}

TEST_F(program_shell, error_box_shows_over_the_display_with_its_caption) {
  EXPECT_FALSE(report_error("x"));  // no display yet: nothing to flip
  ASSERT_EQ(start_program(), start_result::quit);
  const std::size_t before = headless::shell_calls().size();
  EXPECT_FALSE(report_error("y"));
  EXPECT_EQ(calls_since(before), (std::vector<std::string>{"flip_to_desktop", "message_box"}));
  const auto& box = headless::message_boxes().back();
  EXPECT_EQ(box.text, "y");
  EXPECT_TRUE(box.owned);
  EXPECT_EQ(utf8(box.caption), error_caption);
  EXPECT_EQ(headless::message_boxes().front().text, "x");
}

}  // namespace
}  // namespace shindan
