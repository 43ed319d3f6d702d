// The generator itself: the same bytes on every run, the same as the pack the
// build laid in the game folder, and no pack at all from bad texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

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

TEST(AssetGenerator, GivesTheSameBytesOnEveryRunAsInTheGameFolder) {
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

TEST(AssetGenerator, RefusesBrokenTextsAndWritesNothing) {
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

}  // namespace
}  // namespace shindan
