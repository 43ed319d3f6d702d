// The generator itself: the same bytes on every run, the same as the pack
// the build laid in the game folder, and no pack at all from bad texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "tests/assets/pack_files.h"

namespace shindan {
namespace {

namespace fs = std::filesystem;

int run_generator(const fs::path& out, const std::string& texts, const std::string& questions) {
  const std::string command = std::string("'") + SHINDAN_TEST_ASSETGEN + "' '" + out.string() + "' '" + texts + "' '" +
                              questions + "' '" + SHINDAN_TEST_MINCHO + "' '" + SHINDAN_TEST_GOTHIC + "'" +
                              (std::string(SHINDAN_TEST_LATIN).empty() ? "" : " '" SHINDAN_TEST_LATIN "'") +
                              " > /dev/null 2>&1";
  return std::system(command.c_str());
}

std::map<std::string, std::vector<std::uint8_t>> folder(const fs::path& dir) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
    files[e.path().filename().string()] = pack_test::read_file(e.path().string());
  }
  return files;
}

class AssetGenerator : public ::testing::Test {
 protected:
  void SetUp() override {
    work = pack_test::temp_path(::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(work);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(work, ignored);
  }
  fs::path work;
};

TEST_F(AssetGenerator, GivesTheSameBytesOnEveryRunAsInTheGameFolder) {
  fs::create_directories(work / "a");
  fs::create_directories(work / "b");
  ASSERT_EQ(run_generator(work / "a", SHINDAN_TEST_TEXTS, SHINDAN_TEST_QUESTIONS), 0);
  ASSERT_EQ(run_generator(work / "b", SHINDAN_TEST_TEXTS, SHINDAN_TEST_QUESTIONS), 0);
  const auto first = folder(work / "a");
  const auto second = folder(work / "b");
  EXPECT_EQ(first.size(), 93u) << "82 pictures, 8 sounds, 3 tunes";
  for (const auto& [name, bytes] : first) {
    ASSERT_EQ(second.count(name), 1u) << name;
    EXPECT_TRUE(bytes == second.at(name)) << name << " differs between runs";
    EXPECT_TRUE(bytes == pack_test::read_file(pack_test::game_file(name))) << name << " differs from the build's";
  }
}

TEST_F(AssetGenerator, RefusesBrokenQuestionTextsAndWritesNothing) {
  std::ifstream in(SHINDAN_TEST_QUESTIONS, std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_NE(good.find("[q060]"), std::string::npos);

  // Wider than the answer band at any readable size, in either script.
  std::string long_answer;
  for (int i = 0; i < 19; ++i) {
    long_answer += "\xE3\x81\x82W";
  }
  struct broken {
    const char* why;
    std::string text;
  };
  const broken cases[] = {
      {"a block is missing", good.substr(0, good.find("[q060]"))},
      {"an answer too long", good + "\n"},
      {"a block out of order", good},
      {"a question too long for its panel", good},
  };
  for (const broken& c : cases) {
    std::string text = c.text;
    if (std::string(c.why) == "an answer too long") {
      const auto at = text.find("\nA=");
      text.insert(at + 3, long_answer);
    } else if (std::string(c.why) == "a block out of order") {
      text.replace(text.find("[q002]"), 6, "[q003]");
    } else if (std::string(c.why) == "a question too long for its panel") {
      // Words enough to fill the panel many times over, however they are wrapped.
      std::string words;
      for (int i = 0; i < 80; ++i) {
        words += "many words ";
      }
      text.insert(text.find("\nQ=") + 3, words);
    }
    const fs::path file = work / "questions.txt";
    std::ofstream(file, std::ios::binary) << text;
    const fs::path out = work / "out";
    fs::remove_all(out);
    fs::create_directories(out);
    EXPECT_NE(run_generator(out, SHINDAN_TEST_TEXTS, file.string()), 0) << c.why;
    EXPECT_TRUE(fs::is_empty(out)) << c.why;
  }

  // A texts file that lacks one of the lines a picture needs.
  const fs::path texts = work / "texts.txt";
  std::ofstream(texts, std::ios::binary) << "title=x\n";
  EXPECT_NE(run_generator(work / "out", texts.string(), SHINDAN_TEST_QUESTIONS), 0);
  EXPECT_TRUE(fs::is_empty(work / "out"));
}

}  // namespace
}  // namespace shindan
