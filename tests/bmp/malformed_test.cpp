// Broken and hostile files: each is refused with a reason and without
// touching the output, and no damage to a valid file can make the decoder
// read outside the data or hand back an inconsistent picture.
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

TEST(BmpRefused, BrokenHeaders) {
  const struct {
    const char* name;
    std::function<void(bmp_fields*)> change;
  } cases[] = {
      {"header size 16 (short OS/2)", [](bmp_fields* f) { f->header_size = 16; }},
      {"header size 66", [](bmp_fields* f) { f->header_size = 66; }},
      {"header size 0", [](bmp_fields* f) { f->header_size = 0; }},
      {"zero width", [](bmp_fields* f) { f->width = 0; }},
      {"negative width", [](bmp_fields* f) { f->width = -3; }},
      {"zero height", [](bmp_fields* f) { f->height = 0; }},
      {"most negative height", [](bmp_fields* f) { f->height = INT32_MIN; }},
      {"absurd width", [](bmp_fields* f) { f->width = 3000000; }},
      {"absurd height", [](bmp_fields* f) { f->height = 2000000; }},
      {"two planes", [](bmp_fields* f) { f->planes = 2; }},
      {"2 bits per pixel", [](bmp_fields* f) { f->bit_count = 2; }},
      {"0 bits per pixel", [](bmp_fields* f) { f->bit_count = 0; }},
      {"7 bits per pixel", [](bmp_fields* f) { f->bit_count = 7; }},
      {"64 bits per pixel", [](bmp_fields* f) { f->bit_count = 64; }},
      {"JPEG", [](bmp_fields* f) { f->compression = 4; }},
      {"PNG", [](bmp_fields* f) { f->compression = 5; }},
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

TEST(BmpRefused, NotABitmapOrCutShort) {
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

TEST(BmpRefused, TruncatedPixelsExceptTheLastRowsPadding) {
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

TEST(BmpAccepted, FieldsGdiDoesNotCheck) {
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

// Files of each kind, to be cut and damaged.
std::vector<bytes> sample_files() {
  std::vector<bytes> files;
  files.push_back(make_bmp(small_palette_file()));
  bmp_fields t;
  t.width = 5;
  t.height = -3;
  t.pixels.assign(16 * 3, 0x5A);
  files.push_back(make_bmp(t));
  bmp_fields bf;
  bf.header_size = 124;
  bf.bit_count = 16;
  bf.compression = bitfields;
  bf.masks = {0xF000, 0x0F00, 0x00F0, 0x000F};
  bf.width = 3;
  bf.height = 2;
  bf.pixels.assign(16, 0xC3);
  files.push_back(make_bmp(bf));
  bmp_fields core;
  core.header_size = 12;
  core.bit_count = 4;
  core.width = 7;
  core.height = 2;
  core.palette.assign(16, 0x123456);
  core.pixels.assign(8, 0x71);
  files.push_back(make_bmp(core));
  bmp_fields r8;
  r8.bit_count = 8;
  r8.compression = rle8;
  r8.width = 6;
  r8.height = 3;
  r8.colours_used = 3;
  r8.palette = {1, 2, 3};
  r8.pixels = {3, 1, 0, 3, 2, 0, 1, 0, 0, 0, 2, 1, 0, 2, 1, 0, 0, 4, 1, 2, 0, 1, 0, 0, 2, 2, 0, 1};
  files.push_back(make_bmp(r8));
  bmp_fields r4 = r8;
  r4.bit_count = 4;
  r4.compression = rle4;
  r4.pixels = {3, 0x12, 0, 5, 0x12, 0x01, 0x20, 0, 0, 0, 2, 1, 0, 2, 1, 0, 0, 0, 7, 0x21, 0, 1};
  files.push_back(make_bmp(r4));
  return files;
}

void expect_consistent(const bytes& file) {
  decoded_picture pic;
  const char* why = nullptr;
  // The exact copy is handed over so that a read past its end is caught by
  // the address sanitizer.
  std::vector<std::uint8_t> copy(file);
  if (decode_bmp(copy.data(), copy.size(), pixel_layout::rgb565, &pic, &why)) {
    EXPECT_GT(pic.width, 0u);
    EXPECT_LE(pic.width, 640u);
    EXPECT_GT(pic.height, 0u);
    EXPECT_EQ(pic.pixels.size(), static_cast<std::size_t>(pic.width) * pic.height);
  } else {
    EXPECT_NE(why, nullptr);
    EXPECT_TRUE(pic.pixels.empty());
  }
}

TEST(BmpHostile, EveryCutOfEveryKindIsSafe) {
  for (const bytes& file : sample_files()) {
    decode_ok(file);  // the undamaged file is good
    for (std::size_t keep = 0; keep < file.size(); ++keep)
      expect_consistent(bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep)));
  }
}

TEST(BmpHostile, DamagedBytesNeverBreakTheDecoder) {
  const std::uint8_t values[] = {0x00, 0x01, 0x02, 0x03, 0x7F, 0x80, 0xFE, 0xFF};
  for (const bytes& file : sample_files()) {
    for (std::size_t i = 0; i < file.size(); ++i) {
      for (std::uint8_t v : values) {
        bytes damaged = file;
        damaged[i] = v;
        expect_consistent(damaged);
      }
    }
  }
}

TEST(BmpFile, ReadsFromDiskAndRefusesWhatCannotBeAPicture) {
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
