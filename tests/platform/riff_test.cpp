// The RIFF reader on files written here: chunk searches, pad bytes, and
// files that lie about their sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "tests/support/files.h"

namespace shindan {
namespace {

std::string le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i)
    s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

std::string chunk(const char* id, const std::string& data, bool pad = true) {
  std::string s = std::string(id, 4) + le32(static_cast<std::uint32_t>(data.size())) + data;
  if (pad && data.size() % 2)
    s.push_back('\0');
  return s;
}

std::string riff(const char* form, const std::string& body) {
  return "RIFF" + le32(static_cast<std::uint32_t>(4 + body.size())) + std::string(form, 4) + body;
}

const std::string fmt_bytes = std::string("\x01\x00\x02\x00\x44\xAC\x00\x00\x10\xB1\x02\x00\x04\x00\x10\x00", 16);

struct riff_reader : ::testing::Test {
  plat_riff_file* file = nullptr;
  void TearDown() override { plat_riff_close(file); }
  plat_riff_file* open(const std::string& bytes) {
    file = plat_riff_open(testing_files::write_temp_text("t.wav", bytes).c_str());
    return file;
  }
};

TEST_F(riff_reader, finds_fmt_after_other_chunks_and_data_after_fmt) {
  // An odd-sized chunk with its pad byte comes first.
  const std::string body =
      chunk("LIST", "abc") + chunk("fmt ", fmt_bytes) + chunk("fact", "1234") + chunk("data", "\x10\x20\x30\x40\x50");
  ASSERT_NE(open(riff("WAVE", body)), nullptr);
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
  const std::string body = chunk("data", "xy") + chunk("fmt ", fmt_bytes);
  ASSERT_NE(open(riff("WAVE", body) + chunk("data", "outside")), nullptr);
  plat_riff_chunk wave, fmt, data;
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  ASSERT_TRUE(plat_riff_find_chunk(file, wave, "fmt ", &fmt));
  ASSERT_TRUE(plat_riff_leave(file, fmt));
  // "data" lies behind the position, and the one after the form is not in it.
  EXPECT_FALSE(plat_riff_find_chunk(file, wave, "data", &data));
}

TEST_F(riff_reader, refuses_other_forms_and_non_riff_files) {
  ASSERT_NE(open(riff("AVI ", chunk("fmt ", fmt_bytes))), nullptr);
  plat_riff_chunk wave;
  EXPECT_FALSE(plat_riff_find_form(file, "WAVE", &wave));
  plat_riff_close(file);
  ASSERT_NE(open("not a riff file at all, just text"), nullptr);
  EXPECT_FALSE(plat_riff_find_form(file, "WAVE", &wave));
  plat_riff_close(file);
  ASSERT_NE(open(""), nullptr);
  EXPECT_FALSE(plat_riff_find_form(file, "WAVE", &wave));
  plat_riff_close(file);
  file = nullptr;
  EXPECT_EQ(plat_riff_open(testing_files::temp_path("missing.wav").c_str()), nullptr);
}

TEST_F(riff_reader, reports_what_a_truncated_file_really_holds) {
  // The data chunk claims a gigabyte; the file ends after three bytes of it.
  const std::string body = chunk("fmt ", fmt_bytes) + "data" + le32(0x40000000) + "abc";
  ASSERT_NE(open(riff("WAVE", body)), nullptr);
  plat_riff_chunk wave, fmt, data;
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  ASSERT_TRUE(plat_riff_find_chunk(file, wave, "fmt ", &fmt));
  ASSERT_TRUE(plat_riff_leave(file, fmt));
  ASSERT_TRUE(plat_riff_find_chunk(file, wave, "data", &data));
  EXPECT_EQ(data.size, 0x40000000u);
  EXPECT_EQ(data.available, 3u);
  char buffer[16];
  EXPECT_EQ(plat_riff_read(file, buffer, 16), 3);
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
  const std::string body = chunk("junk", "") + "huge" + le32(0xFFFFFFF0) + std::string(32, 'z');
  ASSERT_NE(open(riff("WAVE", body)), nullptr);
  plat_riff_chunk wave, fmt;
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  EXPECT_FALSE(plat_riff_find_chunk(file, wave, "fmt ", &fmt));
  // A RIFF header that claims more than the file still bounds the search.
  plat_riff_close(file);
  ASSERT_NE(open("RIFF" + le32(0xFFFFFFFF) + "WAVE" + chunk("fmt ", fmt_bytes)), nullptr);
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  EXPECT_EQ(wave.available, 4u + 24u);
  ASSERT_TRUE(plat_riff_find_chunk(file, wave, "fmt ", &fmt));
  // A header cut in the middle is no chunk.
  plat_riff_close(file);
  ASSERT_NE(open(riff("WAVE", "fm")), nullptr);
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  EXPECT_FALSE(plat_riff_find_chunk(file, wave, "fmt ", &fmt));
}

TEST_F(riff_reader, odd_last_chunk_may_lack_its_pad_byte) {
  const std::string body = chunk("fmt ", fmt_bytes) + chunk("data", "abc", false);
  ASSERT_NE(open(riff("WAVE", body)), nullptr);
  plat_riff_chunk wave, data;
  ASSERT_TRUE(plat_riff_find_form(file, "WAVE", &wave));
  ASSERT_TRUE(plat_riff_find_chunk(file, wave, "data", &data));
  EXPECT_EQ(data.available, 3u);
  EXPECT_TRUE(plat_riff_leave(file, data));
  EXPECT_EQ(plat_riff_read(file, &data, -1), -1);
}

}  // namespace
}  // namespace shindan
