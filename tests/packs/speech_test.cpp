// Speech on the real packs, Japanese and English: whole tests replayed with
// speech on, the spoken words compared with the texts the pack was drawn
// from (read here from the writers' files, not from the words file), for
// the question the game actually drew, the answer the cursor is on and the
// scores the result file holds; and V and Esc in the middle of a sentence.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/frame.h"
#include "game/game.h"
#include "platform/common/sjis.h"
#include "platform/headless/headless.h"
#include "tests/support/files.h"
#include "tools/shindan_tool/replay.h"

namespace shindan {
namespace {

namespace fs = std::filesystem;
using namespace testing_files;

struct edition {
  const char* name;
  const char* folder;
  const char* texts;
  const char* questions;
};

void PrintTo(const edition& e, std::ostream* out) {
  *out << e.name;
}

// The writers' files: key=text lines, and [qNNN] blocks of Q= and A= lines.
struct writers_texts {
  std::map<std::string, std::vector<std::string>> texts;
  std::map<int, std::vector<std::string>> question_lines, answers;
};

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

writers_texts read_writers(const edition& e) {
  writers_texts w;
  std::ifstream texts(e.texts);
  for (std::string line; std::getline(texts, line);) {
    line = trimmed(line);
    if (line.empty() || line[0] == '#' || line.find('=') == std::string::npos)
      continue;
    w.texts[trimmed(line.substr(0, line.find('=')))].push_back(trimmed(line.substr(line.find('=') + 1)));
  }
  std::ifstream questions(e.questions);
  int block = 0;
  for (std::string line; std::getline(questions, line);) {
    line = trimmed(line);
    if (line.size() > 2 && line[0] == '[')
      block = std::stoi(line.substr(2));
    else if (line.rfind("Q=", 0) == 0)
      w.question_lines[block].push_back(trimmed(line.substr(2)));
    else if (line.rfind("A=", 0) == 0)
      w.answers[block].push_back(trimmed(line.substr(2)));
  }
  return w;
}

std::string replaced(std::string text, const std::string& mark, const std::string& value) {
  const auto at = text.find(mark);
  return at == std::string::npos ? text : text.replace(at, mark.size(), value);
}

class pack_speech : public ::testing::TestWithParam<edition> {
 protected:
  scratch_dir dir;
  replay_session session;
  writers_texts w;
  bool japanese = false;
  std::size_t heard_from = 0;
  // Words heard before a question was answered, kept for answer_checked.
  std::vector<headless::speech_record> carried;

  void SetUp() override {
    const edition& e = GetParam();
    w = read_writers(e);
    ASSERT_EQ(w.question_lines.size(), 60u) << e.questions;
    japanese = w.texts["language"].at(0) == "ja";
    enter_scratch_dir(&dir);
    ASSERT_FALSE(dir.path.empty());
    for (const fs::directory_entry& f : fs::directory_iterator(e.folder)) {
      const std::string ext = f.path().extension().string();
      if (ext == ".bm" || ext == ".wav" || ext == ".mid" || f.path().filename() == "words.txt")
        fs::copy_file(f.path(), dir.path / f.path().filename());
    }
    replay_options options;
    options.frame_ms = 100;
    options.speech = true;
    ASSERT_TRUE(replay_start(&session, options));
  }
  void TearDown() override {
    replay_finish(&session);
    leave_scratch_dir(&dir);
  }

  const std::string& text(const char* key, std::size_t i = 0) { return w.texts[key].at(i); }
  std::string question_text(int number) {
    std::string whole;
    for (const std::string& line : w.question_lines.at(number))
      whole += (whole.empty() || japanese ? "" : " ") + line;
    return whole;
  }
  std::string score_words(int trait, int value) {
    const std::string number = std::to_string(value < 0 ? -value : value);
    const std::string sign = replaced(text(value > 0 ? "plus" : value < 0 ? "minus" : "zero"), "{number}", number);
    return replaced(replaced(text("score"), "{label}", text("label", trait)), "{score}", sign);
  }

  void frames(int n) {
    for (int i = 0; i < n; ++i)
      ASSERT_TRUE(replay_frame(&session));
  }
  template <typename F>
  void run_until(F done, int max = 20000) {
    for (int i = 0; i < max && !done(); ++i)
      ASSERT_TRUE(replay_frame(&session));
    ASSERT_TRUE(done());
  }
  void press(plat_key key) {
    replay_key(&session, key, true);
    frames(1);
    replay_key(&session, key, false);
    frames(2);
  }
  void press_v() {
    replay_speech_key(&session);
    frames(1);
  }
  // What was said aloud since the last look.
  std::vector<headless::speech_record> heard() {
    std::vector<headless::speech_record> out;
    const auto& all = headless::speech_records();
    for (; heard_from < all.size(); ++heard_from)
      if (all[heard_from].aloud)
        out.push_back(all[heard_from]);
    return out;
  }
  static std::vector<std::string> texts_of(const std::vector<headless::speech_record>& records) {
    std::vector<std::string> out;
    for (const auto& r : records)
      out.push_back(r.text);
    return out;
  }

  void to_first_question(plat_key start) {
    run_until([] { return scenes.title_active == 1 && scenes.title_step == 7; });
    press(start);
    run_until([] { return scenes.title_step == 10; });
    press(plat_key::space);  // all three messages at once
    press(plat_key::space);  // the noise screen
    run_until([] { return questions.answer_active == 1; });
  }

  // Answers the question on screen with `answer`, checking what each step says.
  void answer_checked(int answer, int number) {
    run_until([] { return questions.answer_active == 1; });
    const int picture = questions.question_picture - picture_q001 + 1;
    const std::vector<headless::speech_record> opening = carried.empty() ? heard() : carried;
    carried.clear();
    ASSERT_EQ(opening.size(), 3u) << "question " << number;
    EXPECT_TRUE(opening[0].cut_off);
    EXPECT_EQ(opening[0].text,
              replaced(replaced(text("question_number"), "{n}", std::to_string(number)), "{total}", "12"));
    EXPECT_EQ(opening[1].text, question_text(picture)) << "q" << picture;
    EXPECT_EQ(opening[2].text, w.answers.at(picture).at(0));
    EXPECT_FALSE(opening[1].cut_off || opening[2].cut_off);
    frames(2);
    for (int i = 0; i < answer; ++i) {
      press(plat_key::down);
      const auto moved = heard();
      ASSERT_EQ(moved.size(), 1u);
      EXPECT_TRUE(moved[0].cut_off);
      EXPECT_EQ(moved[0].text, w.answers.at(picture).at(static_cast<std::size_t>(scenes.answer_cursor)));
    }
    if (answer == 2) {
      // Up from the bottom wraps... and back down: each move says its answer.
      press(plat_key::up);
      EXPECT_EQ(texts_of(heard()), std::vector<std::string>{w.answers.at(picture).at(1)});
      press(plat_key::down);
      EXPECT_EQ(texts_of(heard()), std::vector<std::string>{w.answers.at(picture).at(2)});
    }
    press(plat_key::space);
  }

  // The result file's scores, in trait order.
  static std::vector<int> result_file_scores() {
    const bytes b = read_file("\xE5\x88\x86\xE6\x9E\x90\xE7\xB5\x90\xE6\x9E\x9C.txt");  // 分析結果.txt
    std::vector<int> scores;
    std::string record;
    for (const std::uint8_t c : b) {
      if (c != '\r') {
        record += static_cast<char>(c);
        continue;
      }
      scores.push_back(std::stoi(record.substr(16)));
      record.clear();
    }
    return scores;
  }
};

TEST_P(pack_speech, a_whole_normal_test_says_what_the_screen_shows) {
  run_until([] { return scenes.title_active == 1 && scenes.title_step == 7; });
  EXPECT_EQ(texts_of(heard()), (std::vector<std::string>{text("title"), text("prompt")}));

  to_first_question(plat_key::space);
  // The start silences the prompt; then the messages, each a sentence of
  // its lines, then the first question.
  const std::string joint = japanese ? "" : " ";
  const std::vector<std::string> messages = {
      text("message1"), text("message2", 0) + joint + text("message2", 1) + joint + text("message2", 2),
      text("message3", 0) + joint + text("message3", 1)};
  std::vector<headless::speech_record> said = heard();
  ASSERT_EQ(said.size(), 7u);
  EXPECT_TRUE(said[0].cut_off && said[0].text.empty());
  EXPECT_EQ(texts_of({said.begin() + 1, said.begin() + 4}), messages);
  EXPECT_TRUE(said[1].cut_off);
  carried.assign(said.begin() + 4, said.end());

  const int answers[12] = {0, 1, 2, 0, 1, 2, 2, 1, 0, 0, 2, 1};
  for (int q = 0; q < 12; ++q)
    answer_checked(answers[q], q + 1);

  // The analysis: the band, then each trait as its gauge completes.
  run_until([] { return scenes.analysis_active == 1 && scenes.analysis_step == 6; });
  said = heard();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said[0].text, text("band"));
  const int first_score = scoring.trait_scores[0][0];
  EXPECT_EQ(said[1].text, score_words(0, first_score));
  // Space: the other seven at once, then the help line.
  press(plat_key::space);
  run_until([] { return scenes.analysis_step == 21; });
  frames(1);
  said = heard();
  ASSERT_EQ(said.size(), 8u);
  press(plat_key::space);
  EXPECT_EQ(heard().size(), 1u) << "leaving silences the board's words";
  EXPECT_TRUE(headless::speech_records().back().cut_off && headless::speech_records().back().text.empty());
  run_until([] { return scenes.title_active == 1; });

  const std::vector<int> written = result_file_scores();
  ASSERT_EQ(written.size(), 8u);
  std::vector<std::string> expected;
  for (int t = 1; t < 8; ++t)
    expected.push_back(score_words(t, written[static_cast<std::size_t>(t)]));
  expected.push_back(text("help"));
  EXPECT_EQ(texts_of(said), expected);
  EXPECT_EQ(score_words(0, written[0]), score_words(0, first_score));

  // The next title names the Enter row, which shows from now on.
  run_until([] { return scenes.title_step == 7; });
  EXPECT_EQ(texts_of(heard()), (std::vector<std::string>{text("title"), text("prompt"), text("enter", 0)}));
}

TEST_P(pack_speech, the_shift_test_says_its_own_questions) {
  to_first_question(plat_key::shift);
  const auto said = heard();
  ASSERT_GE(said.size(), 3u);
  carried.assign(said.end() - 3, said.end());
  for (int q = 0; q < 12; ++q) {
    answer_checked(q % 3, q + 1);
    EXPECT_EQ(questions.question_picture - picture_q001 + 1, 49 + q);
  }
}

TEST_P(pack_speech, v_and_esc_in_the_middle_of_a_sentence) {
  to_first_question(plat_key::space);
  heard();
  const int picture = questions.question_picture - picture_q001 + 1;

  // Off: "speech off" cuts the question short; moves go on unheard.
  press_v();
  auto said = heard();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text, text("speech_off"));
  EXPECT_TRUE(said[0].cut_off);
  press(plat_key::down);
  EXPECT_TRUE(heard().empty());
  EXPECT_EQ(headless::speech_records().back().text, w.answers.at(picture).at(1))
      << "the words still reach the page's screen-reader text";

  // On again: "speech on", then the screen's words after it, not over it.
  press_v();
  said = heard();
  ASSERT_EQ(said.size(), 4u);
  EXPECT_EQ(said[0].text, text("speech_on"));
  EXPECT_TRUE(said[0].cut_off);
  EXPECT_EQ(said[2].text, question_text(picture));
  EXPECT_EQ(said[3].text, w.answers.at(picture).at(1));
  EXPECT_FALSE(said[1].cut_off || said[2].cut_off || said[3].cut_off);

  // Esc while that is being said: the voice is closed with the program.
  EXPECT_TRUE(headless::speech_open());
  replay_escape(&session);
  EXPECT_FALSE(replay_frame(&session));
  EXPECT_FALSE(headless::speech_open());
  EXPECT_TRUE(heard().empty());
}

const edition editions[] = {
    {"japanese", SHINDAN_TEST_GAME_DIR, SHINDAN_TEST_TEXTS, SHINDAN_TEST_QUESTIONS},
    {"english", SHINDAN_TEST_GAME_EN_DIR, SHINDAN_TEST_TEXTS_EN, SHINDAN_TEST_QUESTIONS_EN},
};
INSTANTIATE_TEST_SUITE_P(packs, pack_speech, ::testing::ValuesIn(editions),
                         [](const ::testing::TestParamInfo<edition>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace shindan
