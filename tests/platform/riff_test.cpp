// The RIFF reader on files written here: chunk searches, pad bytes, and
// files that lie about their sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "tests/support/files.h"

namespace shindan {
namespace {

using namespace testing_files;

bytes text(const std::string& s) {
  return bytes(s.begin(), s.end());
}
bytes operator+(bytes a, const bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const bytes fmt_bytes = format_body(1, 2, 44100, 16);

struct riff_reader : ::testing::Test {
  plat_riff_file* file = nullptr;
  void TearDown() override { plat_riff_close(file); }
  plat_riff_file* open(const bytes& contents) {
    file = plat_riff_open(write_temp("t.wav", contents).c_str());
    return file;
  }
};

TEST_F(riff_reader, finds_fmt_after_other_chunks_and_data_after_fmt) {
  // An odd-sized chunk with its pad byte comes first.
  ASSERT_NE(open(riff("WAVE", {chunk("LIST", text("abc")), chunk("fmt ", fmt_bytes), chunk("fact", text("1234")),
                               chunk("data", {0x10, 0x20, 0x30, 0x40, 0x50})})),
            nullptr);
  plat_riff_chunk wave, fmt, data;
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  EXPECT_EQ(std::memcmp(wave.form, "WAVE", 4), 0);
  ASSERT_TRUE(plat_riff_find_chunk(file, wave, "fmt ", &fmt));
  EXPECT_EQ(fmt.size, 16u);
  EXPECT_EQ(fmt.available, 16u);
  // Reading on past a short chunk goes into what follows, as the file lies.
  char format[18];
  ASSERT_EQ(plat_riff_read(file, format, 18), 18);
  EXPECT_EQ(std::memcmp(format, fmt_bytes.data(), 16), 0);
  EXPECT_EQ(std::memcmp(format + 16, "fa", 2), 0);
  ASSERT_TRUE(plat_riff_leave(file, fmt));
  ASSERT_TRUE(plat_riff_find_chunk(file, wave, "data", &data));
  EXPECT_EQ(data.size, 5u);
  EXPECT_EQ(data.available, 5u);
  char samples[5];
  ASSERT_EQ(plat_riff_read(file, samples, 5), 5);
  EXPECT_EQ(std::memcmp(samples, "\x10\x20\x30\x40\x50", 5), 0);
}

TEST_F(riff_reader, searches_forward_only_and_within_the_parent) {
  ASSERT_NE(open(riff("WAVE", {chunk("data", text("xy")), chunk("fmt ", fmt_bytes)}) + chunk("data", text("outside"))),
            nullptr);
  plat_riff_chunk wave, fmt, data;
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  ASSERT_TRUE(plat_riff_find_chunk(file, wave, "fmt ", &fmt));
  ASSERT_TRUE(plat_riff_leave(file, fmt));
  // "data" lies behind the position, and the one after the form is not in it.
  EXPECT_FALSE(plat_riff_find_chunk(file, wave, "data", &data));
}

TEST_F(riff_reader, refuses_other_forms_and_non_riff_files) {
  ASSERT_NE(open(riff("AVI ", {chunk("fmt ", fmt_bytes)})), nullptr);
  plat_riff_chunk wave;
  EXPECT_FALSE(plat_riff_find_form(file, "WAVE", &wave));
  plat_riff_close(file);
  ASSERT_NE(open(text("not a riff file at all, just text")), nullptr);
  EXPECT_FALSE(plat_riff_find_form(file, "WAVE", &wave));
  plat_riff_close(file);
  ASSERT_NE(open({}), nullptr);
  EXPECT_FALSE(plat_riff_find_form(file, "WAVE", &wave));
  plat_riff_close(file);
  file = nullptr;
  EXPECT_EQ(plat_riff_open(temp_path("missing.wav").c_str()), nullptr);
}

TEST_F(riff_reader, reports_what_a_truncated_file_really_holds) {
  // The data chunk claims a gigabyte; the file ends after two bytes of it.
  ASSERT_NE(open(riff("WAVE", {chunk("fmt ", fmt_bytes), chunk_claiming("data", 0x40000000, text("ab"))})), nullptr);
  plat_riff_chunk wave, fmt, data;
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  ASSERT_TRUE(plat_riff_find_chunk(file, wave, "fmt ", &fmt));
  ASSERT_TRUE(plat_riff_leave(file, fmt));
  ASSERT_TRUE(plat_riff_find_chunk(file, wave, "data", &data));
  EXPECT_EQ(data.size, 0x40000000u);
  EXPECT_EQ(data.available, 2u);
  char buffer[16];
  EXPECT_EQ(plat_riff_read(file, buffer, 16), 2);
  EXPECT_EQ(plat_riff_read(file, buffer, 16), 0);
  // Leaving goes to the claimed end, beyond the file, where nothing more is
  // found or read.
  EXPECT_TRUE(plat_riff_leave(file, data));
  plat_riff_chunk more;
  EXPECT_FALSE(plat_riff_find_chunk(file, wave, "LIST", &more));
  EXPECT_EQ(plat_riff_read(file, buffer, 16), 0);
}

TEST_F(riff_reader, stops_on_sizes_that_point_nowhere) {
  // A chunk of size 0 and one whose size runs past the end of the file: the
  // search steps over the first and ends at the second without looping.
  ASSERT_NE(open(riff("WAVE", {chunk("junk", {}), chunk_claiming("huge", 0xFFFFFFF0, bytes(32, 'z'))})), nullptr);
  plat_riff_chunk wave, fmt;
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  EXPECT_FALSE(plat_riff_find_chunk(file, wave, "fmt ", &fmt));
  // A RIFF header that claims more than the file still bounds the search.
  plat_riff_close(file);
  bytes lying = text("RIFF");
  put_u32(&lying, 0xFFFFFFFF);
  put_text(&lying, "WAVE");
  ASSERT_NE(open(lying + chunk("fmt ", fmt_bytes)), nullptr);
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  EXPECT_EQ(wave.available, 4u + 24u);
  ASSERT_TRUE(plat_riff_find_chunk(file, wave, "fmt ", &fmt));
  // A header cut in the middle is no chunk.
  plat_riff_close(file);
  ASSERT_NE(open(riff("WAVE", {text("fm")})), nullptr);
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  EXPECT_FALSE(plat_riff_find_chunk(file, wave, "fmt ", &fmt));
}

TEST_F(riff_reader, odd_last_chunk_may_lack_its_pad_byte) {
  bytes data_chunk = chunk("data", text("abc"));
  data_chunk.pop_back();  // the pad byte
  ASSERT_NE(open(riff("WAVE", {chunk("fmt ", fmt_bytes), data_chunk})), nullptr);
  plat_riff_chunk wave, data;
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  ASSERT_TRUE(plat_riff_find_chunk(file, wave, "data", &data));
  EXPECT_EQ(data.available, 3u);
  EXPECT_TRUE(plat_riff_leave(file, data));
  EXPECT_EQ(plat_riff_read(file, &data, -1), -1);
}

}  // namespace
}  // namespace shindan
