// Picture slots: loading, the size a surface gets and the colour key.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/headless/headless.h"
#include "support.h"

namespace shindan {
namespace {

using load_image_test = test::on_display;

TEST_F(load_image_test, fills_the_slot_from_the_file) {
  const std::string path =
      test::bmp_file("grad.bmp", 7, 5, [](int x, int y) { return x == 0 && y == 0 ? 0x000000u : 0xFFFFFFu; });
  image_slot& slot = images[10];
  ASSERT_TRUE(load_image(&slot, path.c_str()));
  EXPECT_NE(slot.surface, nullptr);
  EXPECT_STREQ(slot.file_name, path.c_str());
  EXPECT_EQ(slot.width, 7u);
  EXPECT_EQ(slot.height, 5u);
  EXPECT_GE(slot.pitch, 14);
  EXPECT_EQ(slot.colour_key, 0u);
  EXPECT_EQ(test::peek(slot.surface, 0, 0), 0);
  EXPECT_EQ(test::peek(slot.surface, 6, 4), 0xFFFF);
}

TEST_F(load_image_test, missing_file_leaves_the_slot_as_it_was) {
  const std::string missing = test::temp_path("nothing-here.bmp");
  EXPECT_FALSE(load_image(&images[4], missing.c_str()));
  EXPECT_EQ(images[4].surface, nullptr);
  EXPECT_STREQ(images[4].file_name, "");

  test::load_plain_picture(&images[5], "ok.bmp", 2, 2, 0xFFFFFF);
  plat_surface* before = images[5].surface;
  EXPECT_FALSE(load_image(&images[5], missing.c_str()));
  EXPECT_EQ(images[5].surface, before);
  EXPECT_NE(std::strstr(images[5].file_name, "ok.bmp"), nullptr);

  // Something that is not a bitmap at all.
  const std::string junk = test::write_temp("junk.bmp", {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
  EXPECT_FALSE(load_image(&images[6], junk.c_str()));
  EXPECT_EQ(images[6].surface, nullptr);
}

TEST_F(load_image_test, loading_again_replaces_the_surface) {
  test::load_plain_picture(&images[7], "first.bmp", 3, 3, 0xFF0000);
  test::load_plain_picture(&images[7], "second.bmp", 5, 2, 0x0000FF);
  EXPECT_EQ(images[7].width, 5u);
  EXPECT_EQ(images[7].height, 2u);
  EXPECT_EQ(test::peek(images[7].surface, 0, 0), 0x001F);
  EXPECT_NE(std::strstr(images[7].file_name, "second.bmp"), nullptr);
}

TEST_F(load_image_test, over_long_names_are_cut_to_the_slot) {
  // A real file whose path is longer than a slot can remember.
  std::string dir = test::temp_dir();
  while (dir.size() < 300) {
    dir += "/" + std::string(40, 'd');
  }
  std::filesystem::create_directories(dir);
  const std::string relative = dir.substr(std::strlen(test::temp_dir()) + 1) + "/long.bmp";
  const std::string path = test::bmp_file(relative, 2, 2, [](int, int) { return 0xFFFFFFu; });
  ASSERT_GT(path.size(), 255u);
  ASSERT_TRUE(load_image(&images[8], path.c_str()));
  EXPECT_EQ(std::strlen(images[8].file_name), 255u);
  EXPECT_EQ(std::string(images[8].file_name), path.substr(0, 255));
}

TEST_F(load_image_test, colour_key_is_matched_to_the_pictures_layout) {
  for (bool five_five_five : {false, true}) {
    SCOPED_TRACE(five_five_five ? "5-5-5" : "5-6-5");
    test::close_display_and_window();
    ASSERT_TRUE(test::open_display(five_five_five));
    // Red (0x0000FF as 0x00BBGGRR) is made the key: red pixels are skipped
    // and black ones drawn.
    const std::string path = test::bmp_file("key.bmp", 2, 1, [](int x, int) { return x == 0 ? 0xFF0000u : 0x000000u; });
    ASSERT_TRUE(load_image(&images[2], path.c_str()));
    ASSERT_EQ(set_colour_key(&images[2], 0x0000FF), plat_result::ok);
    EXPECT_EQ(images[2].colour_key, 0x0000FFu);
    test::paint(display.back_buffer, [](int, int) { return std::uint16_t{0x0421}; });
    draw_image(0, 0, &images[2], 0, 0, 2, 1);
    const auto pixels = headless::back_buffer_pixels();
    EXPECT_EQ(test::at(pixels, 0, 0), 0x0421);
    EXPECT_EQ(test::at(pixels, 1, 0), 0);
    test::close_display_and_window();
  }
}

}  // namespace
}  // namespace shindan
