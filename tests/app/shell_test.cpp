// The shell: start-up and its failures, the message loop and frame timing,
// the close path, the random generator and the error box.
#include "app/shell.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"
#include "sound/sound.h"

namespace shindan {
namespace {

// エラー発生
constexpr char error_caption[] = "\x83\x47\x83\x89\x81\x5b\x94\xad\x90\xb6";
// ダイレクトドローの初期化に失敗しました
constexpr char display_failed[] =
    "\x83\x5f\x83\x43\x83\x8c\x83\x4e\x83\x67\x83\x68\x83\x8d\x81\x5b\x82\xcc\x8f\x89\x8a\xfa\x89\xbb\x82\xc9\x8e"
    "\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// ダイレクトサウンドの初期化に失敗しました
constexpr char sound_failed[] =
    "\x83\x5f\x83\x43\x83\x8c\x83\x4e\x83\x67\x83\x54\x83\x45\x83\x93\x83\x68\x82\xcc\x8f\x89\x8a\xfa\x89\xbb\x82"
    "\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";

TEST(Rand, FollowsTheFixedSequenceFromItsUnseededStart) {
  rand_state = 1;
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int value : expected)
    EXPECT_EQ(rand(), value);
  // The whole 32-bit state wraps; answers stay within 0..32767.
  rand_state = 0xFFFFFFFFu;
  for (int i = 0; i < 1000; ++i) {
    const int r = rand();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, 32767);
  }
  rand_state = 1;
}

class Shell : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::reset();
    music_playing = 0;
    sound_device = nullptr;
    display = display_record{};
  }
  void TearDown() override {
    // Leave nothing open for the next test.
    if (headless::window_exists()) {
      headless::post_close();
      for (int i = 0; i < 100 && run_loop_turn() != loop_turn::quit; ++i) {
      }
    }
  }
  // Runs turns until one runs a frame; answers how many messages came first.
  int turns_until_frame() {
    int messages = 0;
    for (;;) {
      const loop_turn turn = run_loop_turn();
      if (turn == loop_turn::frame)
        return messages;
      EXPECT_EQ(turn, loop_turn::message);
      if (turn != loop_turn::message || ++messages > 100)
        return messages;
    }
  }
  std::size_t count_calls(const std::string& name) {
    std::size_t n = 0;
    for (const auto& c : headless::shell_calls())
      n += c == name;
    return n;
  }
};

TEST_F(Shell, StartsWithTheCursorHiddenAndTheClockTaken) {
  headless::set_tick(5000);
  ASSERT_EQ(start_program(), start_result::quit);
  EXPECT_TRUE(headless::window_exists());
  EXPECT_FALSE(headless::cursor_shown());
  EXPECT_NE(main_window, nullptr);
  EXPECT_EQ(last_tick, 5000u);
  EXPECT_NE(sound_device, nullptr);
  EXPECT_NE(display.back_buffer, nullptr);
}

TEST_F(Shell, FailedDisplayShowsItsBoxWithABlankCaptionAndStops) {
  headless::fail_display_at(plat_display_stage::no_display_mode);
  EXPECT_EQ(start_program(), start_result::display_failed);
  const auto& boxes = headless::message_boxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, display_failed);
  EXPECT_TRUE(boxes.back().has_owner);
  EXPECT_TRUE(boxes.back().has_caption);
  EXPECT_EQ(boxes.back().caption, "");
  // No teardown and no sound set-up after a failed display.
  EXPECT_EQ(sound_device, nullptr);
  EXPECT_EQ(count_calls("close_display"), 0u);
}

TEST_F(Shell, FailedSoundShowsBothBoxesAndStops) {
  headless::fail_sound_device(true, false);
  EXPECT_EQ(start_program(), start_result::sound_failed);
  const auto& boxes = headless::message_boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, error_caption);
  EXPECT_EQ(boxes[1].text, sound_failed);
  EXPECT_TRUE(boxes[1].has_caption);
  EXPECT_EQ(boxes[1].caption, "");
  EXPECT_TRUE(headless::cursor_shown());
  EXPECT_EQ(count_calls("close_display"), 0u);
}

TEST_F(Shell, FrameTimeIsTheTickDifferenceEvenAcrossTheWrap) {
  headless::set_tick(1000);
  ASSERT_EQ(start_program(), start_result::quit);
  EXPECT_EQ(turns_until_frame(), 0);
  EXPECT_EQ(frame_seconds, 0.0f);  // same tick: nothing moves

  headless::set_tick(1016);
  turns_until_frame();
  EXPECT_FLOAT_EQ(frame_seconds, 0.016f);
  EXPECT_EQ(last_tick, 1016u);

  // The frame after a long first-frame load carries all of it.
  headless::set_tick(1016 + 93000);
  turns_until_frame();
  EXPECT_FLOAT_EQ(frame_seconds, 93.0f);

  headless::set_tick(0xFFFFFFF0u);
  turns_until_frame();
  headless::set_tick(0x10u);
  turns_until_frame();
  EXPECT_FLOAT_EQ(frame_seconds, 0.032f);
  EXPECT_EQ(last_tick, 0x10u);
}

TEST_F(Shell, NoFrameRunsWhileAMessageWaits) {
  ASSERT_EQ(start_program(), start_result::quit);
  turns_until_frame();  // the first frame loads everything there is
  const std::uint64_t presented = headless::frames_presented();
  headless::post_key_down(vk_space);
  headless::post_key_down(vk_up);
  EXPECT_EQ(run_loop_turn(), loop_turn::message);
  EXPECT_EQ(run_loop_turn(), loop_turn::message);
  EXPECT_EQ(headless::frames_presented(), presented);
  EXPECT_EQ(run_loop_turn(), loop_turn::frame);
  EXPECT_EQ(headless::frames_presented(), presented + 1);
}

TEST_F(Shell, EscapeTearsDownInOrderAndEndsTheLoopWithoutAnotherFrame) {
  ASSERT_EQ(start_program(), start_result::quit);
  turns_until_frame();
  play_music("bgm01.mid");
  const std::uint64_t presented = headless::frames_presented();
  const std::size_t calls_before = headless::shell_calls().size();

  // Held Esc: two key-downs are waiting before the first is handled.
  headless::post_key_down(vk_escape);
  headless::post_key_down(vk_escape);
  loop_turn turn = loop_turn::message;
  int turns = 0;
  while ((turn = run_loop_turn()) == loop_turn::message)
    ASSERT_LT(++turns, 20);
  EXPECT_EQ(turn, loop_turn::quit);
  EXPECT_EQ(headless::frames_presented(), presented);

  const std::vector<std::string> calls(headless::shell_calls().begin() + static_cast<std::ptrdiff_t>(calls_before),
                                       headless::shell_calls().end());
  const std::vector<std::string> expected = {"show_cursor 1", "close_display", "release_sound_device", "minimise",
                                             "destroy"};
  EXPECT_EQ(calls, expected);
  EXPECT_TRUE(headless::cursor_shown());
  EXPECT_FALSE(headless::window_exists());
  EXPECT_EQ(sound_device, nullptr);
  EXPECT_EQ(display.direct_draw, nullptr);
  EXPECT_EQ(music_playing, 0);
  const auto& music = headless::music_commands();
  ASSERT_GE(music.size(), 2u);
  EXPECT_EQ(music[music.size() - 2], "stop midi");
  EXPECT_EQ(music.back(), "close midi");

  // A later Esc reaches a window that is gone and changes nothing.
  headless::post_key_down(vk_escape);
  headless::post_close();
  while (run_loop_turn() == loop_turn::message) {
  }
  EXPECT_EQ(headless::shell_calls().size(), calls_before + expected.size());
}

TEST_F(Shell, SystemCloseTakesTheSamePathAndOtherKeysDoNothing) {
  ASSERT_EQ(start_program(), start_result::quit);
  turns_until_frame();
  const std::size_t calls_before = headless::shell_calls().size();
  headless::post_key_down(vk_enter);
  headless::post_key_down(vk_space);
  EXPECT_EQ(turns_until_frame(), 2);
  EXPECT_EQ(headless::shell_calls().size(), calls_before);

  headless::post_close();
  while (run_loop_turn() == loop_turn::message) {
  }
  const std::vector<std::string> calls(headless::shell_calls().begin() + static_cast<std::ptrdiff_t>(calls_before),
                                       headless::shell_calls().end());
  EXPECT_EQ(calls, (std::vector<std::string>{"show_cursor 1", "close_display", "release_sound_device", "minimise",
                                             "destroy"}));
}

TEST_F(Shell, NoWindowEndsTheProgramSilently) {
  headless::fail_window_creation(true);
  EXPECT_EQ(start_program(), start_result::no_window);
  EXPECT_TRUE(headless::message_boxes().empty());
  EXPECT_TRUE(headless::cursor_shown());
}

TEST_F(Shell, FailedStartEndsTheProgramBeforeTheLoop) {
  headless::fail_display_at(plat_display_stage::no_device);
  EXPECT_EQ(run_program(), start_result::display_failed);
}

TEST_F(Shell, FinishedTuneIsRestartedBetweenFrames) {
  ASSERT_EQ(start_program(), start_result::quit);
  turns_until_frame();
  // The tune has to exist to play; it lies beside the program file.
  std::string dir = (std::filesystem::temp_directory_path() / "shindan-shell-XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  std::FILE* tune = std::fopen((dir + "/bgm02.mid").c_str(), "wb");
  ASSERT_NE(tune, nullptr);
  std::fclose(tune);
  headless::set_program_file_name(dir + "/shindan");
  play_music("bgm02.mid");
  std::filesystem::remove_all(dir);
  ASSERT_TRUE(headless::tune_playing());
  const std::size_t sent = headless::music_commands().size();
  headless::end_tune();
  EXPECT_GE(turns_until_frame(), 1);
  const std::vector<std::string> after(headless::music_commands().begin() + static_cast<std::ptrdiff_t>(sent),
                                       headless::music_commands().end());
  EXPECT_EQ(after, (std::vector<std::string>{"status midi mode", "seek midi to start", "play midi notify"}));
}

TEST_F(Shell, ErrorBoxShowsOverTheDisplayWithItsCaption) {
  ASSERT_EQ(start_program(), start_result::quit);
  const std::size_t flips = count_calls("flip_to_desktop");
  EXPECT_FALSE(report_error("x"));
  const auto& box = headless::message_boxes().back();
  EXPECT_EQ(box.text, "x");
  EXPECT_TRUE(box.has_owner);
  EXPECT_EQ(box.caption, error_caption);
  EXPECT_EQ(count_calls("flip_to_desktop"), flips + 1);
}

}  // namespace
}  // namespace shindan
