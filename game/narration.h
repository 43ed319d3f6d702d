// Speech: the words on the screen said aloud, for players who cannot see
// it. The pack's words file holds the texts its pictures show; the narrator
// looks at the scenes' state once a frame, after they have run, and says
// what has newly appeared. The scenes themselves know nothing of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace shindan {

// "words.txt", beside the pictures.
extern const char words_file_name[];

// The words file read: each key's lines, in order.
struct words_record {
  std::map<std::string, std::vector<std::string>> lines;
};

// Reads the words file's bytes into words. Malformed lines are skipped and
// invalid UTF-8 is replaced, never passed on. Answers the first problem
// found, "" when there was none.
std::string parse_words(const char* bytes, std::size_t size, words_record* words);
// The key's line at index; "" when the file lacks it.
const std::string& word(const words_record& words, const std::string& key, std::size_t index = 0);
// The bytes as valid UTF-8: every byte that does not belong to a well-formed
// sequence (overlong, surrogate, beyond U+10FFFF, cut short) becomes U+FFFD,
// and control characters become spaces.
std::string valid_utf8(const char* bytes, std::size_t size);

struct narration_record {
  words_record words;
  bool opened = false;
  bool speech_on = false;
  // The next words cut off what is being said; set by a change of screen,
  // dropped by speech that is meant to follow what was just said.
  bool cut_pending = false;
  bool queue_only = false;  // after switching on: the screen follows "speech on"
  // What of the screen on show has been said.
  bool title_was_active = false, title_said = false, prompt_said = false, title_left = false;
  int messages_said = 0;
  bool question_was_shown = false;
  int question_said = -1, picture_said = -1, cursor_said = -1;
  bool analysis_was_active = false, band_said = false, help_said = false, hushed = false;
  int traits_said = 0;
};
extern narration_record narration;

// Reads the words file and readies the voice; the first frame's loading.
void open_narration();
// Says what the frame newly shows; called once a frame after the scenes.
void narrate_frame();
// The player's switch: says "speech on" or "speech off", and on again, the
// screen's words once more.
void toggle_speech();
void close_narration();

}  // namespace shindan
