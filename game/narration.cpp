// The narrator: once a frame, after the scenes, it compares what the game
// shows with what it has already said and says the difference, in the
// pack's words. It reads the scenes' flags and steps and never writes them,
// so the game runs the same with speech or without.
#include "game/narration.h"

#include <cstdio>
#include <vector>

#include "app/assets.h"
#include "app/frame.h"
#include "game/game.h"
#include "platform/platform.h"

namespace shindan {

narration_record narration;

namespace {

constexpr int questions_per_test = 12;
// The largest words file read; the real one is some 20 KB.
constexpr std::size_t max_words_bytes = 1 << 20;

// Keys every pack has; the first one missing is told once at start.
bool first_missing_key(const words_record& words, std::string* key) {
  static const char* const needed[] = {
      "language", "speech_on", "speech_off", "question_number", "score",    "plus", "minus", "zero", "title",
      "prompt",   "enter",     "message1",   "message2",        "message3", "help", "band",  "label"};
  for (const char* k : needed) {
    if (word(words, k).empty()) {
      *key = k;
      return true;
    }
  }
  char id[16];
  for (int q = 1; q <= 60; ++q) {
    std::snprintf(id, sizeof id, "q%03d", q);
    if (word(words, id, 3).empty()) {
      *key = id;
      return true;
    }
  }
  return false;
}

std::string read_words_file(std::string* problem) {
  std::FILE* file = plat_open_file_sjis(words_file_name, "rb");
  if (file == nullptr) {
    *problem = "cannot be read";
    return {};
  }
  std::string bytes;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    if (bytes.size() + n > max_words_bytes) {
      *problem = "is larger than a words file can be; it is read no further";
      break;
    }
    bytes.append(buffer, n);
  }
  std::fclose(file);
  return bytes;
}

// Every {name} in the template replaced by its value.
std::string fill(std::string text, const char* name, const std::string& value) {
  const std::string mark = std::string("{") + name + "}";
  for (std::size_t at = 0; (at = text.find(mark, at)) != std::string::npos; at += value.size())
    text.replace(at, mark.size(), value);
  return text;
}

// The words go out at once; the first after a change of screen cuts off
// what is still being said of the old one.
void say(const std::string& text, bool cut_off) {
  if (cut_off && !narration.queue_only)
    narration.cut_pending = true;
  if (text.empty())
    return;
  plat_speak(text.c_str(), narration.cut_pending);
  narration.cut_pending = false;
}

const std::string& words_of(const char* key, std::size_t index = 0) {
  return word(narration.words, key, index);
}

std::string question_id(int picture) {
  char id[16];
  std::snprintf(id, sizeof id, "q%03d", picture - picture_q001 + 1);
  return id;
}

std::string score_text(int trait, int set) {
  const int value = scoring.trait_scores[trait][set];
  const std::string number = std::to_string(value < 0 ? -value : value);
  const std::string& sign = words_of(value > 0 ? "plus" : value < 0 ? "minus" : "zero");
  const std::string& label = words_of("label", static_cast<std::size_t>(trait));
  if (label.empty() || sign.empty())
    return {};
  return fill(fill(words_of("score"), "label", label), "score", fill(sign, "number", number));
}

void narrate_title() {
  narration_record& n = narration;
  if (!n.title_was_active) {
    n.title_said = n.prompt_said = n.title_left = false;
    n.messages_said = 0;
  }
  const int step = scenes.title_step;
  if (step <= 7) {
    if (!n.title_said) {
      say(words_of("title"), true);
      n.title_said = true;
    }
    // The prompt fades in from step 6; the Enter row shows with it after a test.
    if (step >= 6 && !n.prompt_said) {
      say(words_of("prompt"), false);
      if (scenes.first_test == 0)
        say(words_of("enter", scenes.pool_refilled == 1 ? 1 : 0), false);
      n.prompt_said = true;
    }
    return;
  }
  // The test has started: the title's words are stale, though the first
  // message only comes seconds later.
  if (!n.title_left) {
    say({}, true);
    n.title_left = true;
  }
  // Each message as it starts to fade in; Space shows the rest at once.
  const int shown = step >= 15 ? 3 : step >= 13 ? 2 : step >= 11 ? 1 : 0;
  static const char* const keys[] = {"message1", "message2", "message3"};
  for (; n.messages_said < shown; ++n.messages_said) {
    const char* key = keys[n.messages_said];
    const auto it = n.words.lines.find(key);
    if (it == n.words.lines.end())
      continue;
    // A message of several lines is one sentence broken for the picture;
    // Japanese runs on without spaces.
    std::string whole;
    for (const std::string& line : it->second) {
      if (!whole.empty() && words_of("language") != "ja")
        whole += ' ';
      whole += line;
    }
    say(whole, n.messages_said == 0);
  }
}

void narrate_questions(bool shown_before) {
  narration_record& n = narration;
  // A question is drawn in a frame that starts with it shown and keeps it
  // shown; its picture is chosen by then.
  if (!shown_before || scenes.question_shown != 1)
    return;
  const int number = scenes.question_number;
  const int picture = questions.question_picture;
  if (picture < picture_q001 || picture >= picture_q001 + 60)
    return;
  const std::string id = question_id(picture);
  const int cursor = scenes.answer_cursor;
  if (number != n.question_said || picture != n.picture_said) {
    say(fill(fill(words_of("question_number"), "n", std::to_string(number + 1)), "total",
             std::to_string(questions_per_test)),
        true);
    say(words_of(id.c_str(), 0), false);
    say(words_of(id.c_str(), static_cast<std::size_t>(cursor) + 1), false);
    n.question_said = number;
    n.picture_said = picture;
    n.cursor_said = cursor;
  } else if (cursor != n.cursor_said) {
    say(words_of(id.c_str(), static_cast<std::size_t>(cursor) + 1), true);
    n.cursor_said = cursor;
  }
}

void narrate_analysis() {
  narration_record& n = narration;
  if (!n.analysis_was_active) {
    n.band_said = n.help_said = n.hushed = false;
    n.traits_said = 0;
  }
  const int step = scenes.analysis_step;
  if (step >= 22) {
    // Space has left the board: what is left of its words is stale.
    if (!n.hushed)
      say({}, true);
    n.hushed = true;
    return;
  }
  if (!n.band_said) {
    say(words_of("band"), true);
    n.band_said = true;
  }
  // Trait k is complete from step 6 + 2k, the last one from step 20; Space
  // jumps to 20 and so completes them all at once.
  const int complete = step >= 20 ? trait_count : step >= 6 ? (step - 4) / 2 : 0;
  const int set = scenes.shift_mode == 1 ? 1 : 0;
  for (; n.traits_said < complete; ++n.traits_said)
    say(score_text(n.traits_said, set), false);
  if (step >= 20 && !n.help_said) {
    say(words_of("help", 0), false);
    if (scenes.round_number == 3)
      say(words_of("help", 1), false);
    n.help_said = true;
  }
}

}  // namespace

void open_narration() {
  narration_record& n = narration;
  n.opened = true;
  std::string problem;
  const std::string bytes = read_words_file(&problem);
  const std::string parse_problem = parse_words(bytes.data(), bytes.size(), &n.words);
  std::string key;
  if (problem.empty())
    problem = parse_problem;
  if (problem.empty() && first_missing_key(n.words, &key))
    problem = "has no words for " + key;
  // One line, whatever is wrong: the game goes on, silent where words lack.
  if (!problem.empty())
    std::fprintf(stderr, "shindan: %s %s; the game is silent where its words are missing\n", words_file_name,
                 problem.c_str());
  n.speech_on = plat_open_speech(words_of("language").c_str());
  plat_set_speech(n.speech_on);
}

void narrate_frame() {
  narration_record& n = narration;
  if (!n.opened)
    return;
  const bool shown_before = n.question_was_shown;
  if (scenes.title_active == 1)
    narrate_title();
  if (scenes.question_active == 1)
    narrate_questions(shown_before);
  else
    n.question_said = n.picture_said = -1;
  if (scenes.analysis_active == 1)
    narrate_analysis();
  n.title_was_active = scenes.title_active == 1;
  n.analysis_was_active = scenes.analysis_active == 1;
  n.question_was_shown = scenes.question_active == 1 && scenes.question_shown == 1;
  // A change whose words are missing still ends the stale speech.
  if (n.cut_pending)
    plat_speak("", true);
  n.cut_pending = false;
  n.queue_only = false;
}

void toggle_speech() {
  narration_record& n = narration;
  if (!n.opened)
    return;
  if (n.speech_on) {
    plat_speak(words_of("speech_off").c_str(), true);
    plat_set_speech(false);
    n.speech_on = false;
    return;
  }
  plat_set_speech(true);
  n.speech_on = true;
  plat_speak(words_of("speech_on").c_str(), true);
  // The screen's words again, after "speech on", from the next frame.
  n.title_said = n.prompt_said = false;
  n.messages_said = 0;
  n.question_said = n.picture_said = n.cursor_said = -1;
  n.band_said = n.help_said = false;
  n.traits_said = 0;
  n.queue_only = true;
}

void close_narration() {
  if (!narration.opened)
    return;
  plat_close_speech();
}

}  // namespace shindan
