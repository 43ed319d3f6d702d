// The generator itself: the same bytes on every run, the same as the pack the
// build laid in the game folder, no pack at all from bad texts, and install
// icons a phone's launcher can cut to its shape.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace shindan {
namespace {

namespace fs = std::filesystem;
using namespace testing_files;

int run_generator(const fs::path& out, const std::string& texts, const std::string& questions) {
  fs::remove_all(out);
  fs::create_directories(out);
  const std::string latin = SHINDAN_TEST_LATIN;
  const std::string command = std::string("'") + SHINDAN_TEST_ASSETGEN + "' '" + out.string() + "' '" + texts + "' '" +
                              questions + "' '" + SHINDAN_TEST_MINCHO + "' '" + SHINDAN_TEST_GOTHIC + "'" +
                              (latin.empty() ? "" : " '" + latin + "'") + " > /dev/null 2>&1";
  return std::system(command.c_str());
}

TEST(asset_generator, gives_the_same_bytes_on_every_run_as_in_the_game_folder) {
  const fs::path a = temp_path("generator_a"), b = temp_path("generator_b");
  ASSERT_EQ(run_generator(a, SHINDAN_TEST_TEXTS, SHINDAN_TEST_QUESTIONS), 0);
  ASSERT_EQ(run_generator(b, SHINDAN_TEST_TEXTS, SHINDAN_TEST_QUESTIONS), 0);
  int files = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(a)) {
    const std::string name = e.path().filename().string();
    const bytes first = read_file(e.path().string());
    EXPECT_TRUE(first == read_file((b / name).string())) << name << " differs between runs";
    EXPECT_TRUE(first == read_file(std::string(SHINDAN_TEST_GAME_DIR) + "/" + name))
        << name << " differs from the build's";
    ++files;
  }
  EXPECT_EQ(files, 94) << "82 pictures, 8 sounds, 3 tunes and the words file";
}

TEST(asset_generator, refuses_broken_texts_and_writes_nothing) {
  std::ifstream in(SHINDAN_TEST_QUESTIONS, std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_NE(good.find("[q060]"), std::string::npos);
  std::string long_answer, many_words;  // too wide for the answer band or the panel, in either script
  for (int i = 0; i < 19; ++i)
    long_answer += "\xE3\x81\x82W";
  for (int i = 0; i < 80; ++i)
    many_words += "many words ";
  std::string out_of_order = good;
  out_of_order.replace(out_of_order.find("[q002]"), 6, "[q003]");
  std::string long_a = good, long_q = good;
  long_a.insert(long_a.find("\nA=") + 3, long_answer);
  long_q.insert(long_q.find("\nQ=") + 3, many_words);
  const std::pair<const char*, std::string> cases[] = {
      {"a block is missing", good.substr(0, good.find("[q060]"))},
      {"an answer too long", long_a},
      {"a block out of order", out_of_order},
      {"a question too long for its panel", long_q},
  };
  const fs::path out = temp_path("generator_out");
  for (const auto& [why, text] : cases) {
    EXPECT_NE(run_generator(out, SHINDAN_TEST_TEXTS, write_temp_text("questions.txt", text)), 0) << why;
    EXPECT_TRUE(fs::is_empty(out)) << why;
  }
  // A texts file that lacks the lines the pictures need.
  EXPECT_NE(run_generator(out, write_temp_text("texts.txt", "title=x\n"), SHINDAN_TEST_QUESTIONS), 0);
  EXPECT_TRUE(fs::is_empty(out));
}

// RGBA pixels of a PNG file; empty when it cannot be read.
std::vector<std::uint8_t> read_rgba(const fs::path& file, std::uint32_t* width, std::uint32_t* height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, file.string().c_str()))
    return {};
  image.format = PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
    return {};
  *width = image.width;
  *height = image.height;
  return pixels;
}

TEST(asset_generator, draws_install_icons_that_any_mask_keeps_whole) {
  const fs::path game = temp_path("icons_game"), icons = temp_path("icons");
  fs::remove_all(icons);
  fs::create_directories(game);
  const std::string command = std::string("'") + SHINDAN_TEST_ASSETGEN + "' --icons '" + game.string() + "' '" +
                              icons.string() + "' > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const int size : {192, 512}) {
    std::uint32_t w = 0, h = 0;
    const auto rgba = read_rgba(icons / "web" / ("icon-" + std::to_string(size) + ".png"), &w, &h);
    ASSERT_FALSE(rgba.empty()) << size;
    EXPECT_EQ(w, static_cast<std::uint32_t>(size));
    EXPECT_EQ(h, static_cast<std::uint32_t>(size));
    // The plain icon is the disc alone: clear corners, opaque centre.
    EXPECT_EQ(rgba[3], 0) << size;
    EXPECT_EQ(rgba[(static_cast<std::size_t>(size / 2) * size + size / 2) * 4 + 3], 255) << size;
  }
  // A launcher may keep only the centred circle of 80% of the side: the
  // maskable icon is opaque everywhere and draws nothing but its background
  // outside that circle, and the disc inside it.
  std::uint32_t w = 0, h = 0;
  const auto rgba = read_rgba(icons / "web" / "icon-maskable-512.png", &w, &h);
  ASSERT_EQ(rgba.size(), std::size_t{512} * 512 * 4);
  int transparent = 0, outside_drawn = 0, red_inside = 0;
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
      if (p[3] != 255)
        ++transparent;
      const double r = std::hypot(x + 0.5 - w / 2.0, y + 0.5 - h / 2.0) / w;
      const bool background = p[0] == rgba[0] && p[1] == rgba[1] && p[2] == rgba[2];
      if (r > 0.4 && !background)
        ++outside_drawn;
      if (r < 0.4 && p[0] > 150 && p[1] < 80)
        ++red_inside;
    }
  }
  EXPECT_EQ(transparent, 0);
  EXPECT_EQ(outside_drawn, 0);
  EXPECT_GT(red_inside, 512 * 512 / 10);
}

}  // namespace
}  // namespace shindan
