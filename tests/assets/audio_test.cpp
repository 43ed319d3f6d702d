// The generated sound effects, loaded by the game, and the three tunes read
// as Standard MIDI Files: complete tracks, every note released, long enough
// and ending together so the sequencer's restart loops cleanly.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/frame.h"
#include "platform/headless/headless.h"
#include "sound/sound.h"
#include "tests/assets/pack_files.h"

namespace shindan {
namespace {

using namespace pack_test;

TEST(GeneratedSounds, EveryEffectLoadsAsShortMonoPcmThatStartsAndEndsSilent) {
  headless::reset();
  audio = audio_record{};
  ASSERT_TRUE(init_sound());
  for (const sound_asset& asset : sound_assets) {
    const std::string path = game_file(asset.file_name);
    EXPECT_TRUE(load_sound(&audio.sounds[asset.slot], path.c_str())) << asset.file_name;
    const std::vector<std::uint8_t> file = read_file(path);
    ASSERT_GE(file.size(), 44u) << asset.file_name;
    EXPECT_EQ(le16(file, 20), 1u) << asset.file_name << ": format tag";
    EXPECT_EQ(le16(file, 22), 1u) << asset.file_name << ": channels";
    EXPECT_EQ(le32(file, 24), 22050u) << asset.file_name;
    EXPECT_EQ(le16(file, 34), 16u) << asset.file_name;
    const std::uint32_t data_bytes = le32(file, 40);
    ASSERT_EQ(file.size(), 44u + data_bytes) << asset.file_name;
    const double seconds = data_bytes / 2.0 / 22050.0;
    EXPECT_GT(seconds, 0.05) << asset.file_name;
    EXPECT_LT(seconds, 2.5) << asset.file_name;
    // A sample far from zero at either end is heard as a click.
    const auto first = static_cast<std::int16_t>(le16(file, 44));
    const auto last = static_cast<std::int16_t>(le16(file, file.size() - 2));
    EXPECT_LT(std::abs(first), 300) << asset.file_name;
    EXPECT_LT(std::abs(last), 300) << asset.file_name;
    // Not silence, and not clipped.
    int peak = 0;
    for (std::size_t at = 44; at + 1 < file.size(); at += 2) {
      peak = std::max(peak, std::abs(static_cast<int>(static_cast<std::int16_t>(le16(file, at)))));
    }
    EXPECT_GT(peak, 8000) << asset.file_name;
    EXPECT_LT(peak, 32000) << asset.file_name;
  }
  EXPECT_TRUE(headless::message_boxes().empty());
  release_sound();
}

struct tune_facts {
  bool parsed = false;
  std::string why;
  int format = -1;
  int tracks = 0;
  int division = 0;
  std::uint32_t tempo = 500000;
  std::vector<std::uint32_t> end_ticks;  // tick of each track's end-of-track
  int hanging_notes = 0;                 // notes still sounding at their track's end
  int drum_notes = 0;                    // note-ons on channel 10
  std::set<int> programs;
  int notes = 0;
};

std::uint32_t read_vlq(const std::vector<std::uint8_t>& b, std::size_t* at, std::size_t end) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4 && *at < end; ++i) {
    const std::uint8_t byte = b[(*at)++];
    v = (v << 7) | (byte & 0x7F);
    if ((byte & 0x80) == 0) {
      break;
    }
  }
  return v;
}

tune_facts read_tune(const std::vector<std::uint8_t>& b) {
  tune_facts t;
  if (b.size() < 14 || std::string(b.begin(), b.begin() + 4) != "MThd" || be(b, 4, 4) != 6) {
    t.why = "no header";
    return t;
  }
  t.format = static_cast<int>(be(b, 8, 2));
  t.tracks = static_cast<int>(be(b, 10, 2));
  t.division = static_cast<int>(be(b, 12, 2));
  std::size_t at = 14;
  for (int track = 0; track < t.tracks; ++track) {
    if (at + 8 > b.size() || std::string(b.begin() + static_cast<std::ptrdiff_t>(at),
                                         b.begin() + static_cast<std::ptrdiff_t>(at) + 4) != "MTrk") {
      t.why = "track " + std::to_string(track) + " missing";
      return t;
    }
    const std::size_t end = at + 8 + be(b, at + 4, 4);
    if (end > b.size()) {
      t.why = "track " + std::to_string(track) + " cut short";
      return t;
    }
    at += 8;
    std::uint32_t tick = 0;
    std::uint8_t status = 0;
    std::array<int, 16 * 128> sounding{};
    bool ended = false;
    while (at < end && !ended) {
      tick += read_vlq(b, &at, end);
      if (at >= end) {
        break;
      }
      if (b[at] & 0x80) {
        status = b[at++];
      }
      if (status == 0xFF) {
        const std::uint8_t type = b[at++];
        const std::uint32_t length = read_vlq(b, &at, end);
        if (type == 0x51 && length == 3) {
          t.tempo = be(b, at, 3);
        }
        if (type == 0x2F) {
          ended = true;
          t.end_ticks.push_back(tick);
        }
        at += length;
      } else if (status == 0xF0 || status == 0xF7) {
        at += read_vlq(b, &at, end);
      } else {
        const int kind = status & 0xF0;
        const int channel = status & 0x0F;
        const int data_bytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        const std::uint8_t d1 = b[at];
        const std::uint8_t d2 = data_bytes == 2 ? b[at + 1] : 0;
        at += static_cast<std::size_t>(data_bytes);
        if (kind == 0x90 && d2 > 0) {
          ++sounding[static_cast<std::size_t>(channel * 128 + d1)];
          ++t.notes;
          t.drum_notes += channel == 9 ? 1 : 0;
        } else if (kind == 0x80 || (kind == 0x90 && d2 == 0)) {
          --sounding[static_cast<std::size_t>(channel * 128 + d1)];
        } else if (kind == 0xC0) {
          t.programs.insert(d1);
        }
      }
    }
    if (!ended || at != end) {
      t.why = "track " + std::to_string(track) + " does not end with its end-of-track event";
      return t;
    }
    for (int n : sounding) {
      t.hanging_notes += n > 0 ? n : 0;
    }
  }
  t.parsed = at == b.size();
  if (!t.parsed) {
    t.why = "bytes after the last track";
  }
  return t;
}

TEST(GeneratedTunes, EachIsAFormatOneFileThatLoopsCleanlyAndLastsOverAMinute) {
  for (const char* name : {"bgm01.mid", "bgm02.mid", "bgm03.mid"}) {
    const tune_facts t = read_tune(read_file(game_file(name)));
    ASSERT_TRUE(t.parsed) << name << ": " << t.why;
    EXPECT_EQ(t.format, 1) << name;
    EXPECT_GE(t.tracks, 5) << name << ": a conductor track and the parts";
    ASSERT_GT(t.division, 0) << name;
    ASSERT_EQ(t.end_ticks.size(), static_cast<std::size_t>(t.tracks)) << name;
    for (std::uint32_t end : t.end_ticks) {
      EXPECT_EQ(end, t.end_ticks.front()) << name << ": every track ends on the same tick";
    }
    EXPECT_EQ(t.end_ticks.front() % static_cast<std::uint32_t>(t.division * 4), 0u) << name << ": on a bar line";
    EXPECT_EQ(t.hanging_notes, 0) << name;
    const double seconds = static_cast<double>(t.end_ticks.front()) / t.division * t.tempo / 1e6;
    EXPECT_GE(seconds, 60.0) << name;
    EXPECT_LE(seconds, 240.0) << name;
    EXPECT_GT(t.drum_notes, 50) << name << ": percussion on channel 10";
    EXPECT_GE(t.programs.size(), 4u) << name;
    EXPECT_GT(t.notes, 400) << name;
  }
}

}  // namespace
}  // namespace shindan
