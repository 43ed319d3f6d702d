// shindan-assetgen OUT_DIR TEXTS QUESTIONS MINCHO_FONT GOTHIC_FONT [LATIN_FONT]
// Writes every picture, sound effect and tune of the game into OUT_DIR, and
// words.txt with the words they show. With
// LATIN_FONT the texts are in a Latin script and are set in that face.
// shindan-assetgen --icons GAME_DIR THEME_DIR
// Writes the window's icon into GAME_DIR and the desktop's icons into
// THEME_DIR/hicolor.
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/assetgen/assetgen.h"

using namespace shindan::assetgen;

namespace {

bool write_all(const std::string& dir, const file_set& files) {
  for (const auto& [name, bytes] : files) {
    const std::string path = dir + "/" + name;
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    if (!write_file(path, bytes)) {
      std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
      return false;
    }
  }
  return true;
}

int make_icons(const std::string& game_dir, const std::string& theme_dir) {
  file_set window;
  file_set theme;
  make_window_icon(&window);
  if (!make_theme_icons(&theme)) {
    std::fprintf(stderr, "assetgen: an icon could not be encoded\n");
    return 1;
  }
  return write_all(game_dir, window) && write_all(theme_dir, theme) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--icons")
    return make_icons(argv[2], argv[3]);
  if (argc != 6 && argc != 7) {
    std::fprintf(stderr,
                 "usage: %s OUT_DIR TEXTS QUESTIONS MINCHO_FONT GOTHIC_FONT [LATIN_FONT]\n"
                 "       %s --icons GAME_DIR THEME_DIR\n",
                 argv[0], argv[0]);
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
  if (!make_words(in, &files, &why)) {
    std::fprintf(stderr, "assetgen: %s: %s\n", argv[2], why.c_str());
    return 1;
  }
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
