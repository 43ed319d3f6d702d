// Broken and hostile files: each is refused with a reason and without
// touching the output. Cut and damaged files of every kind are the bitmap
// fuzzer's business.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "tests/bmp/bmp_builder.h"
#include "tests/support/files.h"

namespace shindan::bmp_test {
namespace {

bmp_fields small_palette_file() {
  bmp_fields f;
  f.bit_count = 8;
  f.width = 3;
  f.height = 2;
  f.colours_used = 2;
  f.palette = {0x000000, 0xFFFFFF};
  f.pixels = padded_rows({{1, 0, 1}, {0, 1, 0}});
  return f;
}

TEST(bmp_refused, broken_headers) {
  const struct {
    const char* name;
    std::function<void(bmp_fields*)> change;
  } cases[] = {
      {"header size 16 (short OS/2)", [](bmp_fields* f) { f->header_size = 16; }},
      {"header size 66", [](bmp_fields* f) { f->header_size = 66; }},
      {"zero width", [](bmp_fields* f) { f->width = 0; }},
      {"negative width", [](bmp_fields* f) { f->width = -3; }},
      {"most negative height", [](bmp_fields* f) { f->height = INT32_MIN; }},
      {"absurd width", [](bmp_fields* f) { f->width = 3000000; }},
      {"absurd height", [](bmp_fields* f) { f->height = 2000000; }},
      {"two planes", [](bmp_fields* f) { f->planes = 2; }},
      {"2 bits per pixel", [](bmp_fields* f) { f->bit_count = 2; }},
      {"64 bits per pixel", [](bmp_fields* f) { f->bit_count = 64; }},
      {"JPEG", [](bmp_fields* f) { f->compression = 4; }},
      {"alpha bit fields", [](bmp_fields* f) { f->compression = 6; }},
      {"unknown compression", [](bmp_fields* f) { f->compression = 0x7FFFFFFF; }},
      {"bit fields on 8 bits", [](bmp_fields* f) { f->compression = bitfields; }},
      {"OS/2 Huffman",
       [](bmp_fields* f) {
         f->header_size = 64;
         f->compression = 3;
       }},
      {"offset inside the header", [](bmp_fields* f) { f->offset = 20; }},
      {"offset past the end", [](bmp_fields* f) { f->offset = 0x7FFFFFF0; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bmp_fields f = small_palette_file();
    c.change(&f);
    expect_refused(make_bmp(f));
  }
}

TEST(bmp_refused, not_a_bitmap_or_cut_short) {
  const bytes good = make_bmp(small_palette_file());
  expect_refused({});
  expect_refused({'B', 'M'});
  bytes wrong = good;
  wrong[0] = 'M';
  wrong[1] = 'B';
  expect_refused(wrong);
  // Cut inside the info header, inside the palette, inside the pixels.
  for (std::size_t keep : {std::size_t{30}, std::size_t{14 + 40 + 4}, good.size() - 4}) {
    SCOPED_TRACE(keep);
    expect_refused(bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(keep)));
  }
  // Bit-field masks that the file does not hold.
  bmp_fields f;
  f.bit_count = 16;
  f.compression = bitfields;
  f.masks = {0xF800, 0x07E0, 0x001F};
  const bytes masked = make_bmp(f);
  expect_refused(bytes(masked.begin(), masked.begin() + 14 + 40 + 8));
}

TEST(bmp_refused, truncated_pixels_except_the_last_rows_padding) {
  // 3 pixels of 8 bits: the last stored row is 3 bytes of data and 1 of padding.
  const bytes good = make_bmp(small_palette_file());
  bytes no_padding(good.begin(), good.end() - 1);
  const decoded_picture pic = decode_ok(no_padding);
  EXPECT_EQ(pic.pixels, (std::vector<std::uint16_t>{0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF}));
  expect_refused(bytes(good.begin(), good.end() - 2));

  // A header that claims a huge picture over a few bytes is refused before
  // anything the size of the claim is allocated.
  bmp_fields f;
  f.width = 32767;
  f.height = 32767;
  f.bit_count = 32;
  f.pixels = {1, 2, 3, 4};
  expect_refused(make_bmp(f));
}

TEST(bmp_accepted, fields_gdi_does_not_check) {
  bytes file = make_bmp(small_palette_file());
  put32(&file, 2, 0xDEADBEEF);   // file size
  put32(&file, 34, 0x7FFFFFFF);  // image size
  put32(&file, 38, 0x80000000);  // resolution
  EXPECT_EQ(decode_ok(file).pixels, (std::vector<std::uint16_t>{0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF}));

  // A zero offset: the pixels follow the colour table.
  bmp_fields f = small_palette_file();
  f.offset = 0;
  EXPECT_EQ(decode_ok(make_bmp(f)).pixels, (std::vector<std::uint16_t>{0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF}));
  // An offset further on, with a gap after the table.
  f.offset = 14 + 40 + 8 + 4;
  f.pixels.insert(f.pixels.begin(), {9, 9, 9, 9});
  EXPECT_EQ(decode_ok(make_bmp(f)).pixels, (std::vector<std::uint16_t>{0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF}));
}

TEST(bmp_file, reads_from_disk_and_refuses_what_cannot_be_a_picture) {
  const bytes good = make_bmp(small_palette_file());
  const std::string path = testing_files::write_temp("picture.bm", good);

  decoded_picture pic;
  const char* why = nullptr;
  ASSERT_TRUE(decode_bmp_file(path.c_str(), pixel_layout::rgb565, &pic, &why)) << why;
  EXPECT_EQ(pic.pixels, decode_ok(good).pixels);

  decoded_picture untouched;
  why = nullptr;
  EXPECT_FALSE(decode_bmp_file(testing_files::temp_path("missing.bm").c_str(), pixel_layout::rgb565, &untouched, &why));
  EXPECT_NE(why, nullptr);

  // Larger than any picture the program could hold: refused without being decoded.
  const std::string huge = testing_files::write_temp("huge.bm", good);
  std::filesystem::resize_file(huge, (64u << 20) + 1);
  why = nullptr;
  EXPECT_FALSE(decode_bmp_file(huge.c_str(), pixel_layout::rgb565, &untouched, &why));
  EXPECT_NE(why, nullptr);
  EXPECT_TRUE(untouched.pixels.empty());
}

}  // namespace
}  // namespace shindan::bmp_test
