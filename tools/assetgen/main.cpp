// shindan-assetgen OUT_DIR TEXTS QUESTIONS MINCHO_FONT GOTHIC_FONT [LATIN_FONT]
// Writes every picture, sound effect and tune of the game into OUT_DIR. With
// LATIN_FONT the texts are in a Latin script and are set in that face.
#include <cstdio>
#include <string>

#include "tools/assetgen/assetgen.h"

using namespace shindan::assetgen;

int main(int argc, char** argv) {
  if (argc != 6 && argc != 7) {
    std::fprintf(stderr, "usage: %s OUT_DIR TEXTS QUESTIONS MINCHO_FONT GOTHIC_FONT [LATIN_FONT]\n", argv[0]);
    return 2;
  }
  const std::string out_dir = argv[1];
  pack_inputs in;
  const std::string latin_font = argc == 7 ? argv[6] : "";
  in.latin = !latin_font.empty();
  std::string text;
  std::string why;
  if (!read_text_file(argv[2], &text) || !parse_texts(text, &in.texts, &why)) {
    std::fprintf(stderr, "assetgen: %s: %s\n", argv[2], why.empty() ? "cannot be read" : why.c_str());
    return 1;
  }
  if (!read_text_file(argv[3], &text) || !parse_questions(text, &in.questions, &why)) {
    std::fprintf(stderr, "assetgen: %s: %s\n", argv[3], why.empty() ? "cannot be read" : why.c_str());
    return 1;
  }
  if (!init_fonts(argv[4], argv[5], latin_font)) {
    std::fprintf(stderr, "assetgen: cannot open the fonts %s, %s %s\n", argv[4], argv[5], latin_font.c_str());
    close_fonts();
    return 1;
  }
  file_set files;
  const bool pictures_made = make_pictures(in, &files, &why);
  close_fonts();
  if (!pictures_made) {
    std::fprintf(stderr, "assetgen: %s\n", why.c_str());
    return 1;
  }
  make_sounds(&files);
  make_tunes(&files);
  for (const auto& [name, bytes] : files) {
    if (!write_file(out_dir + "/" + name, bytes)) {
      std::fprintf(stderr, "assetgen: cannot write %s/%s\n", out_dir.c_str(), name.c_str());
      return 1;
    }
  }
  std::printf("assetgen: %zu files in %s\n", files.size(), out_dir.c_str());
  return 0;
}
