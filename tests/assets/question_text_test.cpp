// The question texts as a writer keeps them: answers short enough to stay at
// the answer band's full type size, no two questions opening the same way,
// and no hidden-test question retelling the question whose weights score it,
// so that a player who meets them all never feels a scene told twice.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace shindan {
namespace {

struct question_block {
  std::string id;
  std::vector<std::string> lines;
  std::vector<std::string> answers;
};

std::vector<question_block> read_questions(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<question_block> blocks;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      blocks.push_back({line.substr(1, line.size() - 2), {}, {}});
    } else if (!blocks.empty() && line.rfind("Q=", 0) == 0) {
      blocks.back().lines.push_back(line.substr(2));
    } else if (!blocks.empty() && line.rfind("A=", 0) == 0) {
      blocks.back().answers.push_back(line.substr(2));
    }
  }
  return blocks;
}

// The text split into its UTF-8 characters.
std::vector<std::string> characters(const std::string& utf8) {
  std::vector<std::string> out;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) == 0x80 && !out.empty()) {
      out.back() += static_cast<char>(c);
    } else {
      out.emplace_back(1, static_cast<char>(c));
    }
  }
  return out;
}

// How a question opens: its first phrase, up to the first comma, full stop or
// quotation mark, and, for openings without one early on, its first four
// characters.
std::vector<std::string> openings(const std::string& first_line) {
  const std::vector<std::string> chars = characters(first_line);
  std::string phrase, head;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    if (chars[i] == "、" || chars[i] == "。" || chars[i] == "「" || chars[i] == "」") {
      break;
    }
    phrase += chars[i];
  }
  for (std::size_t i = 0; i < chars.size() && i < 4; ++i) {
    head += chars[i];
  }
  return {"phrase " + phrase, "start " + head};
}

// The adjacent character pairs within the question's lines (not across
// them): a scene told again in the same words shares many of them.
std::set<std::string> character_pairs(const question_block& q) {
  std::set<std::string> pairs;
  for (const std::string& line : q.lines) {
    const std::vector<std::string> chars = characters(line);
    for (std::size_t i = 1; i < chars.size(); ++i) {
      pairs.insert(chars[i - 1] + chars[i]);
    }
  }
  return pairs;
}

TEST(question_texts, answers_fit_the_band_at_full_size_and_no_two_questions_open_alike) {
  const std::vector<question_block> blocks = read_questions(SHINDAN_TEST_QUESTIONS);
  ASSERT_EQ(blocks.size(), 60u);
  std::map<std::string, std::string> seen;  // opening -> the question that has it
  for (const question_block& q : blocks) {
    ASSERT_FALSE(q.lines.empty()) << q.id;
    for (const std::string& answer : q.answers) {
      EXPECT_LE(characters(answer).size(), 16u) << q.id << ": \"" << answer << "\"";
    }
    for (const std::string& opening : openings(q.lines.front())) {
      const auto [at, fresh] = seen.emplace(opening, q.id);
      EXPECT_TRUE(fresh) << q.id << " opens like " << at->second << " (" << opening << ")";
    }
  }
}

// q049 to q060 are scored with the weights of q001 to q012; each tells a
// scene of its own, so of all the character pairs in the two questions at
// most 9% appear in both. A retold scene reaches 10% and more.
TEST(question_texts, hidden_test_questions_do_not_retell_the_questions_that_score_them) {
  const std::vector<question_block> blocks = read_questions(SHINDAN_TEST_QUESTIONS);
  ASSERT_EQ(blocks.size(), 60u);
  for (std::size_t i = 0; i < 12; ++i) {
    const question_block& hidden = blocks[48 + i];
    const question_block& scoring = blocks[i];
    const std::set<std::string> a = character_pairs(hidden), b = character_pairs(scoring);
    std::size_t shared = 0;
    for (const std::string& pair : a) {
      shared += b.count(pair);
    }
    const std::size_t all = a.size() + b.size() - shared;
    EXPECT_LE(shared * 100, all * 9) << hidden.id << " shares " << shared << " of " << all << " character pairs with "
                                     << scoring.id;
  }
}

}  // namespace
}  // namespace shindan
