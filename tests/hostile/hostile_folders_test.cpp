// Whole games over asset folders that are not what the game expects: every
// picture one pixel, nothing at all, every file cut in half, pictures of the
// wrong sizes, and a result file that cannot be written. The game must play
// through to the result file, draw nothing where it has nothing, and never
// read outside a picture (the sanitizer build runs these too).
#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/replay/game_driver.h"

namespace shindan {
namespace {

constexpr const char* result_file_utf8 = "\xe5\x88\x86\xe6\x9e\x90\xe7\xb5\x90\xe6\x9e\x9c.txt";  // 分析結果.txt

std::size_t lit_pixels() {
  const auto& s = headless::screen();
  return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](std::uint16_t p) { return p != 0; }));
}

struct hostile_folder : game_run {
  // Writes the usual folder, lets spoil() change it, and starts the game.
  template <typename Spoil>
  void start_spoilt(Spoil spoil) {
    ASSERT_TRUE(write_asset_folder(assets));
    spoil();
    replay_options options;
    options.frame_ms = 100;
    ASSERT_TRUE(replay_start(&session, options));
  }

  // One normal test from the title to the result file; lit_limit, when
  // given, bounds what the answering and analysis screens may show.
  void play_through(std::optional<std::size_t> lit_limit) {
    quick_start(plat_key::space);
    for (int i = 0; i < 12; ++i) {
      ASSERT_TRUE(run_until([&] { return questions.answer_active == 1; }));
      if (lit_limit) {
        EXPECT_LE(lit_pixels(), *lit_limit) << "question " << i;
      }
      answer_question(i % 3);
    }
    to_finished_board();
    if (lit_limit) {
      EXPECT_LE(lit_pixels(), *lit_limit) << "analysis";
    }
    press(plat_key::space);
    ASSERT_TRUE(run_until([&] { return scenes.title_active == 1; }));
    EXPECT_EQ(scenes.round_number, 1);
  }

  static void expect_result_file() {
    std::error_code error;
    EXPECT_TRUE(std::filesystem::is_regular_file(result_file_utf8, error));
    EXPECT_GT(std::filesystem::file_size(result_file_utf8, error), 8u);
  }
};

void for_each_picture(const std::function<void(const char* name, int index)>& act) {
  int index = 0;
  for (const picture_asset& asset : picture_assets)
    act(asset.file_name, index++);
}

TEST_F(hostile_folder, every_picture_a_single_pixel) {
  start_spoilt([] {
    for_each_picture([](const char* name, int) { ASSERT_TRUE(write_solid_bmp(name, 1, 1, {0xF8, 0xF8, 0xF8})); });
  });
  // Each draw can show at most the picture's one pixel.
  play_through(40);
  expect_result_file();
}

TEST_F(hostile_folder, every_file_missing) {
  assets.skip = [](const std::string&) { return true; };
  start_spoilt([] {});
  ASSERT_TRUE(frame());
  // One box for each sound; pictures fail quietly.
  EXPECT_EQ(headless::message_boxes().size(), 8u);
  play_through(0);
  expect_result_file();
  EXPECT_EQ(headless::message_boxes().size(), 8u);
}

TEST_F(hostile_folder, every_file_cut_in_half) {
  start_spoilt([] {
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
      const auto size = entry.file_size();
      std::filesystem::resize_file(entry.path(), size / 2);
    }
  });
  play_through(std::nullopt);
  expect_result_file();
}

TEST_F(hostile_folder, pictures_of_the_wrong_sizes) {
  // Too narrow, too short, wider than the screen, one line, one column: every
  // region the scenes ask for reaches outside these pictures somewhere.
  start_spoilt([] {
    const std::uint32_t sizes[][2] = {{3, 5}, {700, 2}, {1, 900}, {641, 479}, {17, 1}, {64, 47}, {2, 23}};
    for_each_picture([&](const char* name, int index) {
      const auto& size = sizes[index % 7];
      ASSERT_TRUE(write_bmp(name, size[0], size[1], [](std::uint32_t x, std::uint32_t y) {
        return rgb{static_cast<std::uint8_t>(8 * (x % 31)), static_cast<std::uint8_t>(4 * (y % 63)), 0x80};
      }));
    });
  });
  play_through(std::nullopt);
  expect_result_file();
}

// The result file's name is taken by a folder, so it cannot be opened, as in
// a read-only working directory; unlike a read-only folder this holds for
// root too.
TEST_F(hostile_folder, result_file_that_cannot_be_written) {
  start_spoilt([] { ASSERT_TRUE(std::filesystem::create_directory(result_file_utf8)); });
  quick_start(plat_key::space);
  answer_all({2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2});
  to_finished_board();
  std::int8_t scores[trait_count];
  for (int t = 0; t < trait_count; ++t)
    scores[t] = scoring.trait_scores[t][0];
  press(plat_key::space);
  ASSERT_TRUE(run_until([&] { return at_analysis(24); }));
  // The analysis still ends in this frame and hands back to the title.
  ASSERT_TRUE(frame());
  EXPECT_EQ(scenes.analysis_active, 0);
  EXPECT_EQ(scenes.title_active, 1);
  EXPECT_EQ(scenes.title_step, 0);
  EXPECT_EQ(scenes.round_number, 1);
  for (int t = 0; t < trait_count; ++t)
    EXPECT_EQ(scoring.trait_scores[t][0], scores[t]);
  EXPECT_TRUE(std::filesystem::is_directory(result_file_utf8));
  // And the next test can be played.
  ASSERT_TRUE(run_until([&] { return at_title(7); }));
}

}  // namespace
}  // namespace shindan
