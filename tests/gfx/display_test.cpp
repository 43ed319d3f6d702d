// Display set-up failures and their boxes, teardown, clear and present.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/shell.h"
#include "platform/headless/headless.h"
#include "support.h"

namespace shindan {
namespace {

using display_setup_test = test::on_display;
using display_frame_test = test::on_display;

const std::string error_caption = "\x83\x47\x83\x89\x81\x5b\x94\xad\x90\xb6";  // "エラー発生"

struct stage_case {
  plat_display_stage stage;
  const char* message;  // null: the stage fails without a box of its own
  bool device_kept;     // whether the box may flip the display to the desktop
};

const stage_case stage_cases[] = {
    {plat_display_stage::no_device, nullptr, false},
    {plat_display_stage::no_exclusive_mode,
     "\x83\x74\x83\x8b\x83\x58\x83\x4e\x83\x8a\x81\x5b\x83\x93\x89\xbb\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1", false},
    {plat_display_stage::no_device_interface, nullptr, false},
    {plat_display_stage::no_display_mode,
     "\x89\xf0\x91\x9c\x93\x78\x82\xaa\x95\xcf\x8d\x58\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1", true},
    {plat_display_stage::no_primary_surface,
     "\x83\x76\x83\x89\x83\x43\x83\x7d\x83\x8a\x83\x42\x83\x54\x81\x5b\x83\x74\x83\x46\x81\x5b\x83\x58\x82\xaa\x90\xb6"
     "\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1",
     true},
    {plat_display_stage::no_surface_interface, nullptr, true},
    {plat_display_stage::no_back_buffer,
     "\x83\x6f\x83\x62\x83\x4e\x83\x6f\x83\x62\x83\x74\x83\x40\x82\xaa\x90\xb6\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9"
     "\x82\xf1",
     true},
};

TEST_F(display_setup_test, each_failing_stage_gives_its_own_box_or_none) {
  for (const stage_case& c : stage_cases) {
    SCOPED_TRACE(static_cast<int>(c.stage));
    headless::reset();
    display = display_record{};
    ASSERT_TRUE(plat_open_window());
    headless::fail_display_at(c.stage);

    EXPECT_FALSE(init_display());
    const auto& boxes = headless::message_boxes();
    if (c.message == nullptr) {
      EXPECT_TRUE(boxes.empty());
    } else {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text, c.message);
      EXPECT_TRUE(boxes[0].owned);
      EXPECT_TRUE(boxes[0].has_caption);
      EXPECT_EQ(boxes[0].caption, error_caption);
    }
    // Before the device's full interface exists there is nothing to flip.
    EXPECT_EQ(display.direct_draw != nullptr, c.device_kept);
    const auto& calls = headless::shell_calls();
    const bool flipped = std::find(calls.begin(), calls.end(), "flip_to_desktop") != calls.end();
    EXPECT_EQ(flipped, c.device_kept && c.message != nullptr);
    close_display();
    plat_close_window();
  }
}

TEST_F(display_setup_test, ready_display_has_its_objects_and_closes_cleanly) {
  EXPECT_NE(display.direct_draw, nullptr);
  EXPECT_NE(display.primary_surface, nullptr);
  EXPECT_NE(display.back_buffer, nullptr);
  EXPECT_TRUE(headless::message_boxes().empty());

  test::load_plain_picture(&images[3], "a.bmp", 4, 4, 0xFFFFFF);
  test::load_plain_picture(&images[99], "b.bmp", 4, 4, 0xFFFFFF);
  close_display();
  EXPECT_EQ(headless::live_surface_count(), 0u);
  EXPECT_EQ(images[3].surface, nullptr);
  EXPECT_EQ(images[99].surface, nullptr);
  EXPECT_EQ(display.direct_draw, nullptr);
  EXPECT_EQ(display.primary_surface, nullptr);
  EXPECT_EQ(display.back_buffer, nullptr);
  // A second close finds nothing left to release.
  const std::size_t calls = headless::shell_calls().size();
  close_display();
  EXPECT_EQ(headless::shell_calls().size(), calls);
}

TEST_F(display_frame_test, clear_blackens_the_whole_back_buffer) {
  test::paint(display.back_buffer, [](int x, int y) { return static_cast<std::uint16_t>(x + y + 1); });
  clear_back_buffer();
  for (std::uint16_t pixel : headless::back_buffer_pixels()) {
    ASSERT_EQ(pixel, 0);
  }
}

TEST_F(display_frame_test, present_shows_the_back_buffer_and_survives_a_lost_screen) {
  test::poke(display.back_buffer, 5, 7, 0x1234);
  present_frame();
  EXPECT_EQ(headless::frames_presented(), 1u);
  EXPECT_EQ(test::at(headless::screen(), 5, 7), 0x1234);

  headless::lose_surfaces();
  present_frame();  // meets the loss: restores the screen, shows nothing
  EXPECT_EQ(headless::frames_presented(), 1u);
  test::poke(display.back_buffer, 6, 7, 0x4321);
  present_frame();
  EXPECT_EQ(headless::frames_presented(), 2u);
  EXPECT_EQ(test::at(headless::screen(), 6, 7), 0x4321);
}

}  // namespace
}  // namespace shindan
