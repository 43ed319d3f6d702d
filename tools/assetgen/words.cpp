// The pack's words file: every text the pictures show, as UTF-8 text, and
// the few words that only speech needs (the switch, the question's number,
// the scores' signs). The game reads it to say the screen aloud; the
// pictures themselves never depend on it.
#include <string>
#include <vector>

#include "tools/assetgen/assetgen.h"

namespace shindan::assetgen {

namespace {

// Keys of the texts file written as they are, in this order; the ones the
// pictures need are checked by the picture maker, the spoken ones here.
constexpr const char* picture_keys[] = {"title",    "credit", "prompt", "enter", "message1",  "message2",
                                        "message3", "help",   "band",   "label", "shift_mark"};
constexpr const char* spoken_keys[] = {"language", "speech_on", "speech_off", "question_number",
                                       "score",    "plus",      "minus",      "zero"};

void put_line(std::string* out, const std::string& key, const std::string& text) {
  *out += key;
  *out += '=';
  *out += text;
  *out += '\n';
}

}  // namespace

bool make_words(const pack_inputs& in, file_set* out, std::string* why) {
  std::string text =
      "# The words this pack's pictures show, and the few that only speech\n"
      "# needs, for the game to say aloud. UTF-8; one key=text a line; a key\n"
      "# given several times holds several lines, in order. Each question qNNN\n"
      "# holds its text, then its three answers from the top.\n";
  for (const char* key : spoken_keys) {
    const auto it = in.texts.find(key);
    if (it == in.texts.end() || it->second.size() != 1 || it->second[0].empty()) {
      *why = std::string("the texts need one line of ") + key;
      return false;
    }
    put_line(&text, key, it->second[0]);
  }
  for (const char* key : picture_keys) {
    const auto it = in.texts.find(key);
    if (it == in.texts.end())
      continue;
    for (const std::string& line : it->second)
      put_line(&text, key, line);
  }
  // A Latin question is a set of paragraphs, a Japanese one a sentence
  // broken for the picture: the lines are joined as they are read.
  const char* joint = in.latin ? " " : "";
  for (const question_text& q : in.questions) {
    std::string whole;
    for (const std::string& line : q.lines) {
      if (!whole.empty())
        whole += joint;
      whole += line;
    }
    put_line(&text, q.id, whole);
    for (const std::string& answer : q.answers)
      put_line(&text, q.id, answer);
  }
  (*out)["words.txt"] = std::vector<std::uint8_t>(text.begin(), text.end());
  return true;
}

}  // namespace shindan::assetgen
