// The result file: the trait labels and the normal set's scores, one entry
// per trait, each ended by a lone carriage return.
#include <cstdio>
#include <cstring>

#include "game/game.h"
#include "platform/platform.h"

namespace shindan {

const char result_file_name[] = "\x95\xaa\x90\xcd\x8c\x8b\x89\xca\x2e\x74\x78\x74";  // 分析結果.txt

namespace {

// Appends while leaving room for the terminating zero; the longest file is
// 168 bytes, so nothing is ever cut in practice.
void append_text(const char* text) {
  const std::size_t used = std::strlen(scoring.result_text);
  const std::size_t room = sizeof scoring.result_text - 1 - used;
  std::size_t length = 0;
  while (length < room && text[length] != '\0')
    ++length;
  std::memcpy(scoring.result_text + used, text, length);
  scoring.result_text[used + length] = '\0';
}

}  // namespace

void write_result_file() {
  scoring.result_text[0] = '\0';
  char number_text[16];
  for (int t = 0; t < trait_count; ++t) {
    append_text(scoring.trait_labels[t]);
    std::snprintf(number_text, sizeof number_text, "%d", scoring.trait_scores[t][0]);
    append_text(number_text);
    number_text[0] = '\x0d';
    number_text[1] = '\0';
    append_text(number_text);
  }
  // Binary, so that no platform turns the carriage returns into anything
  // else. A file that cannot be opened is skipped: the game goes on.
  std::FILE* file = plat_open_file_sjis(result_file_name, "wb");
  if (file == nullptr)
    return;
  std::fputs(scoring.result_text, file);
  std::fclose(file);
}

}  // namespace shindan
