// The result file: labels and normal-set scores, each entry ended by a lone
// carriage return, written whole every time.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "game/game.h"
#include "tests/support/files.h"

namespace shindan {
namespace {

using namespace testing_files;

// The name the file gets on a UTF-8 file system.
const char* const file_name = "分析結果.txt";

struct result_file : ::testing::Test {
  scratch_dir dir;
  void SetUp() override {
    enter_scratch_dir(&dir);
    ASSERT_FALSE(dir.path.empty());
    for (int t = 0; t < trait_count; ++t)
      std::strcpy(scoring.trait_labels[t], trait_label_table[t]);
    reset_scores();
  }
  void TearDown() override { leave_scratch_dir(&dir); }

  void set_normal(const int (&scores)[8]) {
    for (int t = 0; t < trait_count; ++t)
      scoring.trait_scores[t][0] = static_cast<std::int8_t>(scores[t]);
  }
  std::string written() {
    const auto bytes = read_file(file_name);
    return std::string(bytes.begin(), bytes.end());
  }
};

TEST_F(result_file, holds_each_label_its_score_and_a_carriage_return) {
  set_normal({5, 9, 4, 1, -2, 4, -5, -5});
  for (int t = 0; t < trait_count; ++t)
    scoring.trait_scores[t][1] = 77;  // the Shift set is never written
  write_result_file();
  const std::string text = written();
  ASSERT_EQ(text.size(), 147u);
  // 精神的強さ　　　 then "5" and CR.
  EXPECT_EQ(text.substr(0, 18), std::string("\x90\xb8\x90\x5f\x93\x49\x8b\xad\x82\xb3\x81\x40\x81\x40\x81\x40"
                                            "5\r"));
  // 他人を愛する心　 then "-5" and CR, at the very end.
  EXPECT_EQ(text.substr(128), std::string("\x91\xbc\x90\x6c\x82\xf0\x88\xa4\x82\xb7\x82\xe9\x90\x53\x81\x40"
                                          "-5\r"));
  std::size_t offset = 0;
  const char* figures[8] = {"5", "9", "4", "1", "-2", "4", "-5", "-5"};
  for (int t = 0; t < trait_count; ++t) {
    EXPECT_EQ(text.compare(offset, 16, trait_label_table[t], 16), 0) << "trait " << t;
    offset += 16;
    const std::string entry = std::string(figures[t]) + "\r";
    EXPECT_EQ(text.substr(offset, entry.size()), entry) << "trait " << t;
    offset += entry.size();
  }
  EXPECT_EQ(text.find('\n'), std::string::npos);
}

TEST_F(result_file, a_file_that_cannot_be_opened_is_skipped) {
  // A directory of that name cannot be opened for writing.
  std::filesystem::create_directory(file_name);
  set_normal({1, 2, 3, 4, 5, 6, 7, 8});
  write_result_file();
  EXPECT_TRUE(std::filesystem::is_directory(file_name));
  // The text was still assembled in full.
  EXPECT_EQ(std::strlen(scoring.result_text), 144u);
}

}  // namespace
}  // namespace shindan
