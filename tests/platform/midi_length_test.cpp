// Where a MIDI file's music ends: the end of its last track in milliseconds,
// through tempo changes in any track, running status, system-exclusive and
// meta events, time-code divisions, RIFF wrapping, files cut short, and
// bytes that are no music at all.
#include "platform/common/midi_length.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace shindan {
namespace {

using bytes = std::vector<std::uint8_t>;

bytes operator+(bytes a, const bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bytes be(std::uint32_t v, int n) {
  bytes out;
  for (int i = n - 1; i >= 0; --i)
    out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  return out;
}

bytes vlq(std::uint32_t n) {
  bytes out{static_cast<std::uint8_t>(n & 0x7F)};
  while ((n >>= 7) != 0)
    out.insert(out.begin(), static_cast<std::uint8_t>((n & 0x7F) | 0x80));
  return out;
}

bytes chunk(const std::string& id, const bytes& body) {
  return bytes(id.begin(), id.end()) + be(static_cast<std::uint32_t>(body.size()), 4) + body;
}

bytes header(int format, int tracks, int division) {
  return chunk("MThd", be(format, 2) + be(tracks, 2) + be(division, 2));
}

const bytes end_of_track{0xFF, 0x2F, 0x00};

bytes tempo(std::uint32_t microseconds_a_beat) {
  return bytes{0xFF, 0x51, 0x03} + be(microseconds_a_beat, 3);
}

std::uint32_t end_ms(const bytes& file) {
  return midi_end_ms(file.data(), file.size());
}

TEST(midi_length, the_last_track_end_counts_through_every_tempo_change) {
  // One note of a beat and a beat's rest at 120 beats a minute: one second,
  // the rest included, as the sequencer plays it.
  const bytes note = vlq(0) + bytes{0x90, 60, 100} + vlq(96) + bytes{0x80, 60, 0};
  EXPECT_EQ(end_ms(header(0, 1, 96) + chunk("MTrk", note + vlq(96) + end_of_track)), 1000u);

  // Format 1: the tempo track ends first; a beat at 60 a minute, then two
  // beats at 240 a minute, set in the first track, time the second.
  const bytes tempos = vlq(0) + tempo(1000000) + vlq(96) + tempo(250000) + vlq(0) + end_of_track;
  const bytes music = vlq(0) + bytes{0x90, 60, 100} + vlq(288) + bytes{0x80, 60, 0} + vlq(0) + end_of_track;
  EXPECT_EQ(end_ms(header(1, 2, 96) + chunk("MTrk", tempos) + chunk("MTrk", music)), 1500u);
  // A tempo set in a later track holds for the earlier ones as well.
  EXPECT_EQ(end_ms(header(1, 2, 96) + chunk("MTrk", music) + chunk("MTrk", tempos)), 1500u);
  // A tempo change after the end changes nothing.
  const bytes late = vlq(0) + tempo(1000000) + vlq(0) + end_of_track;
  EXPECT_EQ(end_ms(header(1, 2, 96) + chunk("MTrk", vlq(192) + end_of_track) +
                   chunk("MTrk", vlq(192) + tempo(250000) + vlq(0) + end_of_track)),
            1000u);
  EXPECT_EQ(end_ms(header(1, 2, 96) + chunk("MTrk", late) + chunk("MTrk", vlq(96) + end_of_track)), 1000u);

  // Time code: 25 frames of 40 ticks make 1000 ticks a second, tempo or not.
  EXPECT_EQ(end_ms(header(0, 1, 0xE728) + chunk("MTrk", vlq(0) + tempo(250000) + vlq(2500) + end_of_track)), 2500u);
  // 29 stands for 29.97 frames a second.
  EXPECT_EQ(end_ms(header(0, 1, 0xE364) + chunk("MTrk", vlq(2997) + end_of_track)), 1000u);
}

TEST(midi_length, every_kind_of_event_is_stepped_over) {
  // Running status, one-byte program and pressure messages, a
  // system-exclusive message, a text event and a chunk of no known kind.
  const bytes events = vlq(0) + bytes{0xC0, 5} + vlq(0) + bytes{0x90, 60, 100} + vlq(48) + bytes{62, 100} + vlq(0) +
                       bytes{0xD0, 30} + vlq(0) + bytes{0xF0} + vlq(3) + bytes{0x7E, 0x7F, 0xF7} + vlq(0) +
                       bytes{0xFF, 0x01} + vlq(200) + bytes(200, 'x') + vlq(48) + bytes{0x80, 60, 0} + vlq(96) +
                       end_of_track;
  EXPECT_EQ(end_ms(header(0, 1, 96) + chunk("XFIH", bytes(10, 0)) + chunk("MTrk", events)), 1000u);
  // Wrapped in a RIFF "RMID" file, after a chunk of its own.
  const bytes smf = header(0, 1, 96) + chunk("MTrk", events);
  bytes riff_body = bytes{'R', 'M', 'I', 'D', 'L', 'I', 'S', 'T', 3, 0, 0, 0, 1, 2, 3, 0, 'd', 'a', 't', 'a'};
  const auto n = static_cast<std::uint32_t>(smf.size());
  riff_body = riff_body + bytes{static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), 0, 0} + smf;
  const auto m = static_cast<std::uint32_t>(riff_body.size());
  EXPECT_EQ(end_ms(bytes{'R', 'I', 'F', 'F', static_cast<std::uint8_t>(m), static_cast<std::uint8_t>(m >> 8), 0, 0} +
                   riff_body),
            1000u);
}

TEST(midi_length, a_file_cut_short_ends_at_its_last_whole_event) {
  const bytes events = vlq(96) + bytes{0x90, 60, 100} + vlq(96) + bytes{0x80, 60, 0} + vlq(96) + bytes{0x90, 60};
  // The chunk claims more than the file holds; the last note lacks a byte.
  bytes file = header(0, 1, 96) + chunk("MTrk", events + end_of_track);
  file.resize(file.size() - 4);
  EXPECT_EQ(end_ms(file), 1000u);
  // Data with no status before it stops the track where it stands.
  EXPECT_EQ(end_ms(header(0, 1, 96) + chunk("MTrk", vlq(192) + bytes{0xFF, 0x01, 0x00} + vlq(96) + bytes{60, 100} +
                                                        vlq(96) + end_of_track)),
            1000u);
}

TEST(midi_length, bytes_that_are_no_music_answer_nothing) {
  EXPECT_EQ(midi_end_ms(nullptr, 10), 0u);
  EXPECT_EQ(end_ms({}), 0u);
  EXPECT_EQ(end_ms(bytes{'M', 'T', 'h', 'd'}), 0u);
  EXPECT_EQ(end_ms(chunk("RIFF", bytes(20, 0))), 0u);
  const bytes track = chunk("MTrk", vlq(96) + end_of_track);
  EXPECT_EQ(end_ms(header(0, 1, 0) + track), 0u) << "no ticks a beat";
  EXPECT_EQ(end_ms(header(0, 0, 96) + track), 0u) << "no tracks";
  EXPECT_EQ(end_ms(header(0, 1, 96)), 0u) << "a header alone";
  EXPECT_EQ(end_ms(header(0, 1, 0xE700) + track), 0u) << "no ticks a frame";
  // A header that claims to be longer than the file.
  EXPECT_EQ(end_ms(bytes{'M', 'T', 'h', 'd', 0, 0, 1, 0, 0, 0, 0, 1, 0, 96} + track), 0u);
  // A delta of more than four bytes is no quantity: the track ends before it.
  EXPECT_EQ(end_ms(header(0, 1, 96) +
                   chunk("MTrk", vlq(96) + bytes{0xB0, 7, 100} + bytes{0x81, 0x80, 0x80, 0x80, 0x00} + end_of_track)),
            500u);
}

}  // namespace
}  // namespace shindan
