// Shift-JIS conversion, Shift-JIS file names, and text drawn onto memory
// surfaces.
#include "platform/common/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/common/sjis.h"
#include "platform/common/surface.h"
#include "platform/headless/headless.h"
#include "tests/support/files.h"

namespace shindan {
namespace {

// "分析結果.txt", the result file's name, in code page 932.
const char result_name_sjis[] = "\x95\xaa\x90\xcd\x8c\x8b\x89\xca.txt";

TEST(shift_jis, converts_the_program_texts) {
  EXPECT_EQ(sjis_to_utf8(result_name_sjis, sizeof result_name_sjis - 1), "分析結果.txt");
  // "エラー発生": katakana, the long vowel mark and kanji.
  const char error_caption[] = "\x83\x47\x83\x89\x81\x5b\x94\xad\x90\xb6";
  EXPECT_EQ(sjis_to_utf8(error_caption, sizeof error_caption - 1), "エラー発生");
  // The full-width space pads the trait labels; half-width katakana are one byte.
  EXPECT_EQ(sjis_to_utf32("\x81\x40\xb1", 3), U"\u3000\uFF71");
  // Code page 932 keeps ASCII whole, backslash and tilde included.
  EXPECT_EQ(sjis_to_utf8("C:\\a~b", 6), "C:\\a~b");
  EXPECT_EQ(sjis_to_utf8("", 0), "");
}

TEST(shift_jis, bad_bytes_become_replacement_characters_and_conversion_goes_on) {
  // A lead byte cut off at the end, and one followed by a byte that cannot
  // trail it.
  EXPECT_EQ(sjis_to_utf32("a\x82", 2), U"a\uFFFD");
  const std::u32string broken = sjis_to_utf32("\x82\x20z", 3);
  ASSERT_FALSE(broken.empty());
  EXPECT_EQ(broken.front(), U'\uFFFD');
  EXPECT_EQ(broken.back(), U'z');
  // A long text converts whole, past any internal buffer.
  std::string many;
  for (int i = 0; i < 1000; ++i)
    many += "\x82\xa0";  // "あ"
  EXPECT_EQ(sjis_to_utf32(many.data(), many.size()), std::u32string(1000, U'\u3042'));
}

TEST(shift_jis, files_open_under_their_unicode_name) {
  const std::string sjis_path = std::string(testing_files::temp_dir()) + "/" + result_name_sjis;
  std::FILE* f = plat_open_file_sjis(sjis_path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("x\r", f);
  std::fclose(f);
  EXPECT_TRUE(std::filesystem::exists(std::string(testing_files::temp_dir()) + "/分析結果.txt"));
  EXPECT_EQ(std::filesystem::file_size(std::string(testing_files::temp_dir()) + "/分析結果.txt"), 2u);
  // A name that is not Shift-JIS throughout opens nothing.
  const std::string bad = std::string(testing_files::temp_dir()) + "/\x82.txt";
  EXPECT_EQ(plat_open_file_sjis(bad.c_str(), "w"), nullptr);
  EXPECT_EQ(plat_open_file_sjis(nullptr, "r"), nullptr);
}

struct text : ::testing::Test {
  plat_surface* surface = nullptr;
  void SetUp() override {
    headless::reset();
    use_text_font(nullptr);
    surface = create_surface(pixel_layout::rgb565, 64, 32);
  }
  void TearDown() override {
    headless::reset();
    use_text_font(nullptr);
  }
  int lit(std::uint16_t value) const {
    int n = 0;
    for (std::uint16_t p : surface->memory)
      n += p == value;
    return n;
  }
  void draw(const char* s, std::int32_t x, std::int32_t y, std::int32_t height, std::int32_t weight = 700,
            std::uint32_t colour = 0xFFFFFF) {
    plat_font_request font;
    font.height = height;
    font.weight = weight;
    plat_draw_text(surface, font, x, y, colour, s, static_cast<std::uint32_t>(std::strlen(s)));
  }
};

TEST_F(text, draws_only_glyph_pixels_in_the_surface_colour) {
  if (!std::filesystem::exists(text_font_path()))
    GTEST_SKIP() << "Mincho face not installed";
  std::fill(surface->memory.begin(), surface->memory.end(), 0x1234);
  draw("\x95\xaa\x90\xcd", 0, 0, 16, 700, 0x0000FF);  // "分析" in red
  const int red = lit(0xF800);
  EXPECT_GT(red, 20);
  // Monochrome and transparent: every pixel is either glyph or untouched.
  EXPECT_EQ(red + lit(0x1234), 64 * 32);
  // Nothing below the 16-pixel cell.
  for (std::uint32_t y = 16; y < 32; ++y)
    for (std::uint32_t x = 0; x < 64; ++x)
      ASSERT_EQ(surface_row(surface, y)[x], 0x1234);
}

TEST_F(text, is_clipped_to_the_surface) {
  if (!std::filesystem::exists(text_font_path()))
    GTEST_SKIP() << "Mincho face not installed";
  draw("0.016", -32, -32, 16);
  EXPECT_EQ(lit(0), 64 * 32);
  draw("\x95\xaa\x90\xcd\x8c\x8b\x89\xca", -8, -8, 16);
  draw("\x95\xaa\x90\xcd\x8c\x8b\x89\xca", 56, 28, 16);
  draw("\x95\xaa", INT32_MIN, INT32_MAX, 16);
  draw("\x95\xaa", 0, 0, 100000);
  EXPECT_GT(lit(0xFFFF), 0);  // parts of the glyphs did land inside
  draw("", 0, 0, 16);
}

TEST_F(text, nothing_is_drawn_without_a_face_or_on_a_lost_surface) {
  use_text_font("/nonexistent/face.ttf");
  draw("\x95\xaa", 0, 0, 16);
  EXPECT_EQ(lit(0), 64 * 32);
  use_text_font(nullptr);
  headless::lose_surfaces();
  draw("\x95\xaa", 0, 0, 16);
  EXPECT_EQ(lit(0), 64 * 32);
}

}  // namespace
}  // namespace shindan
