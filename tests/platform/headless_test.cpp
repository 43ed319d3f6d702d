// The recording devices of the in-memory platform where they could hand the
// program memory it must not touch, or messages for a window that is gone.
#include "platform/headless/headless.h"

#include <gtest/gtest.h>

#include <cstring>

namespace shindan {
namespace {

struct headless_devices : ::testing::Test {
  void SetUp() override { headless::reset(); }
  void TearDown() override { headless::reset(); }
};

TEST_F(headless_devices, sound_lock_regions_stay_inside_the_buffer) {
  plat_sound_device* device = plat_create_sound_device();
  ASSERT_NE(device, nullptr);
  plat_wave_format format;
  format.format_tag = 1;
  plat_sound_buffer* buffer = plat_create_sound_buffer(device, format, 10);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(plat_create_sound_buffer(device, format, 0), nullptr);
  EXPECT_EQ(plat_create_sound_buffer(device, format, 0xFFFFFFFFu), nullptr);

  void *first = nullptr, *second = nullptr;
  std::uint32_t first_bytes = 0, second_bytes = 0;
  // A range past the end wraps round to the start.
  ASSERT_EQ(plat_lock_sound_buffer(buffer, 6, 8, &first, &first_bytes, &second, &second_bytes), plat_ok);
  EXPECT_EQ(first_bytes, 4u);
  EXPECT_EQ(second_bytes, 4u);
  std::memset(first, 0xAA, first_bytes);
  std::memset(second, 0xBB, second_bytes);
  plat_unlock_sound_buffer(buffer, first, first_bytes, second, second_bytes);
  const std::vector<std::uint8_t> expected = {0xBB, 0xBB, 0xBB, 0xBB, 0, 0, 0xAA, 0xAA, 0xAA, 0xAA};
  EXPECT_EQ(headless::buffer_contents(buffer), expected);
  EXPECT_NE(plat_lock_sound_buffer(buffer, 0, 11, &first, &first_bytes, &second, &second_bytes), plat_ok);
  EXPECT_NE(plat_lock_sound_buffer(buffer, 10, 1, &first, &first_bytes, &second, &second_bytes), plat_ok);

  // A lost buffer stays lost until restored.
  headless::lose_next_sound_lock();
  EXPECT_EQ(plat_lock_sound_buffer(buffer, 0, 10, &first, &first_bytes, &second, &second_bytes), plat_buffer_lost);
  EXPECT_EQ(plat_lock_sound_buffer(buffer, 0, 10, &first, &first_bytes, &second, &second_bytes), plat_buffer_lost);
  ASSERT_EQ(plat_restore_sound_buffer(buffer), plat_ok);
  EXPECT_EQ(plat_lock_sound_buffer(buffer, 0, 10, &first, &first_bytes, &second, &second_bytes), plat_ok);
  EXPECT_EQ(second_bytes, 0u);

  // After release the buffer answers nothing and records nothing more.
  plat_release_sound_buffer(buffer);
  const std::size_t records = headless::sound_records().size();
  plat_play_sound(buffer);
  plat_release_sound_buffer(buffer);
  EXPECT_EQ(headless::sound_records().size(), records);
  plat_release_sound_device(device);
}

TEST_F(headless_devices, program_file_name_is_cut_to_the_buffer) {
  headless::set_program_file_name("/games/my shindan/shindan");
  char name[256];
  EXPECT_EQ(plat_program_file_name(name, sizeof name), 25u);
  EXPECT_STREQ(name, "/games/my shindan/shindan");
  char small[8];
  EXPECT_EQ(plat_program_file_name(small, sizeof small), 7u);
  EXPECT_STREQ(small, "/games/");
  EXPECT_EQ(plat_program_file_name(small, 0), 0u);
}

TEST_F(headless_devices, a_destroyed_window_gets_no_more_messages) {
  plat_window* window = plat_create_window();
  ASSERT_NE(window, nullptr);
  headless::post_key_down(vk_escape);
  plat_destroy_window(window);
  headless::post_close();
  plat_post_close(window);
  plat_message m;
  while (plat_peek_message(&m))
    EXPECT_EQ(m.kind, plat_message_kind::quit);
  EXPECT_FALSE(headless::window_exists());

  headless::fail_window_creation(true);
  EXPECT_EQ(plat_create_window(), nullptr);
}

TEST_F(headless_devices, keys_read_down_with_the_high_bit) {
  headless::set_key(vk_space, true);
  EXPECT_NE(plat_key_state(vk_space) & 0x80, 0);
  EXPECT_LT(plat_key_state(vk_space), 0);
  EXPECT_EQ(plat_key_state(vk_up), 0);
  EXPECT_EQ(plat_key_state(-1), 0);
  EXPECT_EQ(plat_key_state(1000), 0);
  headless::set_key(vk_space, false);
  EXPECT_EQ(plat_key_state(vk_space), 0);
}

}  // namespace
}  // namespace shindan
