// The words file's reader: a file written by hand or damaged on the way must
// give the words that are there, skip what is not key=text, and never let a
// byte through that is not valid UTF-8 or could end a speech server's line.
#include <gtest/gtest.h>

#include <string>

#include "game/narration.h"

namespace shindan {
namespace {

words_record parsed(const std::string& text, std::string* problem = nullptr) {
  words_record words;
  const std::string found = parse_words(text.data(), text.size(), &words);
  if (problem != nullptr)
    *problem = found;
  return words;
}

TEST(words_file, reads_keys_with_their_lines_in_order) {
  std::string problem;
  const words_record w = parsed(
      "\xEF\xBB\xBF"  // an editor's byte order mark
      "# comment\r\n"
      "title=深層心理診断\r\n"
      "\n"
      "  message2 =  正しい答えも  \n"
      "message2=深く考えずに、\n"
      "q001=Q\nq001=A0\nq001=A1\nq001=A2",  // no final line break
      &problem);
  EXPECT_EQ(problem, "");
  EXPECT_EQ(word(w, "title"), "深層心理診断");
  EXPECT_EQ(word(w, "message2", 0), "正しい答えも");
  EXPECT_EQ(word(w, "message2", 1), "深く考えずに、");
  EXPECT_EQ(word(w, "q001", 3), "A2");
  // A key or a line the file lacks is simply no words.
  EXPECT_EQ(word(w, "q001", 4), "");
  EXPECT_EQ(word(w, "help"), "");
  EXPECT_EQ(word(w, "#"), "");
}

TEST(words_file, skips_malformed_lines_and_tells_the_first) {
  std::string problem;
  const words_record w = parsed("title=ok\nno equals sign\n=no key\nprompt=a=b\n", &problem);
  EXPECT_EQ(problem, "line 2 is not key=text");
  EXPECT_EQ(word(w, "title"), "ok");
  EXPECT_EQ(word(w, "prompt"), "a=b");  // only the first = parts key from text
  EXPECT_EQ(w.lines.size(), 2u);

  EXPECT_TRUE(parsed("").lines.empty());
  EXPECT_TRUE(parsed(std::string("\0\0\0", 3), &problem).lines.empty());
  EXPECT_NE(problem, "");
}

TEST(words_file, invalid_utf8_is_replaced_never_passed_on) {
  const std::string fffd = "\xEF\xBF\xBD";
  const struct {
    const char* name;
    std::string in, out;
  } cases[] = {
      {"stray continuation byte", "a\x80z", "a" + fffd + "z"},
      {"overlong slash", "\xC0\xAF", fffd + fffd},
      {"overlong three bytes", "\xE0\x80\xAF", fffd + fffd + fffd},
      {"surrogate", "\xED\xA0\x80", fffd + fffd + fffd},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
      {"cut short at the end", "ab\xE3\x81", "ab" + fffd + fffd},
      {"cut short before ASCII", "\xE3\x81z", fffd + fffd + "z"},
      {"Shift-JIS bytes", "\x82\xa0", fffd + fffd},
      {"four bytes kept", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
      {"largest code point kept", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(valid_utf8(c.in.data(), c.in.size()), c.out) << c.name;
    std::string problem;
    const words_record w = parsed("title=" + c.in + "\n", &problem);
    EXPECT_EQ(word(w, "title"), c.out) << c.name;
    EXPECT_EQ(problem.empty(), c.in == c.out) << c.name;
  }
  // A key of bad bytes is made valid too: every string that leaves is text.
  const words_record w = parsed("\xFF=x\n");
  ASSERT_EQ(w.lines.size(), 1u);
  EXPECT_EQ(w.lines.begin()->first, fffd);
}

TEST(words_file, control_characters_cannot_end_a_speech_servers_line) {
  // A carriage return alone, an escape, a line or paragraph separator, a C1
  // control: each would be taken for the end of the text or a command.
  const words_record w = parsed(
      "title=a\rb\x1B"
      "c\xE2\x80\xA8"
      "d\xC2\x85"
      "e\tf\n");
  EXPECT_EQ(word(w, "title"), "a b c d e f");
}

}  // namespace
}  // namespace shindan
