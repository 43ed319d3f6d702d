// How the generator breaks an English question into lines: as few lines as
// the panel allows, evened out, and parted between phrases rather than
// after "the", "into" or "whoever", or before the "it" a verb takes.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/assetgen/assetgen.h"

namespace shindan::assetgen {
namespace {

constexpr int panel_width = 276;  // the question panel's text width

class wrap : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(init_fonts(SHINDAN_TEST_MINCHO, SHINDAN_TEST_GOTHIC, SHINDAN_TEST_SERIF));
  }
  static void TearDownTestSuite() { close_fonts(); }
};

std::string last_word(const std::string& line) {
  return line.substr(line.rfind(' ') + 1);
}

std::string first_word(const std::string& line) {
  return line.substr(0, line.find(' '));
}

std::string joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines)
    all += (all.empty() ? "" : " ") + l;
  return all;
}

TEST_F(wrap, breaks_between_phrases_and_keeps_every_word_in_order) {
  const std::set<std::string> leaning = {"a", "an", "the", "to", "of", "into", "your", "whoever", "that"};
  const std::vector<std::string> paragraphs = {
      "You find a mask that turns whoever wears it into someone else.",
      "Someone dear to you is leaving for a faraway country. \xE2\x80\x9C"
      "Come with me,\xE2\x80\x9D they say.",
      "A dam is about to burst, and only you can reach the floodgates to close them.",
      "On a day of heavy rain, a stranger and her child come to your door and ask to stay one night.",
  };
  for (const std::string& p : paragraphs) {
    {
      const int size = 21;  // the questions' full size
      float awkward = -1;
      const std::vector<std::string> lines = wrap_words(face::latin, size, p, panel_width, &awkward);
      ASSERT_GE(lines.size(), 2u) << p;
      EXPECT_EQ(joined(lines), p);
      EXPECT_EQ(awkward, 0.0f) << p << " at " << size;
      for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE(text_width(face::latin, size, lines[i]), panel_width) << lines[i];
        if (i + 1 < lines.size()) {
          EXPECT_EQ(leaning.count(last_word(lines[i])), 0u) << "\"" << lines[i] << "\" / \"" << lines[i + 1] << "\"";
          EXPECT_NE(first_word(lines[i + 1]), "it") << "\"" << lines[i] << "\" / \"" << lines[i + 1] << "\"";
        }
      }
    }
  }
}

TEST_F(wrap, takes_no_more_lines_than_needed_and_evens_them_out) {
  // Two lines' worth: a greedy fill would leave a short last line.
  const std::string p = "After many years together, your partner quietly says it is over.";
  const std::vector<std::string> lines = wrap_words(face::latin, 21, p, panel_width);
  ASSERT_EQ(lines.size(), 2u);
  const int a = text_width(face::latin, 21, lines[0]), b = text_width(face::latin, 21, lines[1]);
  EXPECT_LT(std::abs(a - b), panel_width / 3) << lines[0] << " / " << lines[1];
  // One that fits stays whole; a word wider than the panel keeps a line of its own.
  EXPECT_EQ(wrap_words(face::latin, 21, "Home is near.", panel_width), std::vector<std::string>{"Home is near."});
  const std::string wide(60, 'm');
  const std::vector<std::string> with_wide = wrap_words(face::latin, 21, "a " + wide + " b", panel_width);
  EXPECT_EQ(with_wide, (std::vector<std::string>{"a", wide, "b"}));
  EXPECT_TRUE(wrap_words(face::latin, 21, "", panel_width).empty());
}

}  // namespace
}  // namespace shindan::assetgen
