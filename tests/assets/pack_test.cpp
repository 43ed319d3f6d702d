// The generated asset pack, loaded by the game's own loaders: every picture
// at its size with something in each frame cell the scenes draw, every sound
// a PCM WAV, every tune a format 1 MIDI file whose tracks end together (so the
// restart at its end loops cleanly). What the pictures look like is left to
// the replays and the Windows run, which draw them.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/frame.h"
#include "gfx/gfx.h"
#include "platform/headless/headless.h"
#include "sound/sound.h"
#include "tests/support/display.h"
#include "tests/support/files.h"

namespace shindan {
namespace {

using namespace testing_files;

std::string game_file(const std::string& name) {
  return std::string(SHINDAN_TEST_GAME_DIR) + "/" + name;
}

struct cells {
  std::uint32_t width, height;  // one cell
  int count;
  bool across = false;  // cells side by side instead of stacked
  int first = 0;        // cells before this one are never drawn
};

TEST(generated_pack, every_picture_loads_at_its_size_with_something_in_each_cell) {
  const std::map<std::string, cells> sheets = {
      {"title.bm", {480, 60, 1}},
      {"create.bm", {640, 32, 2}},
      {"spackye.bm", {416, 32, 1}},
      {"hamon.bm", {640, 480, 1}},
      {"initmes1.bm", {404, 28, 1}},
      {"initmes2.bm", {380, 92, 1}},
      {"initmes3.bm", {452, 60, 1}},
      {"mainback.bm", {640, 480, 12}},
      {"qdisp_eff.bm", {320, 216, 8}},
      {"cursol.bm", {32, 32, 8}},
      {"cursol_r.bm", {32, 32, 8}},
      {"collect_eff.bm", {320, 32, 16}},
      {"result.bm", {224, 28, 17, false, 1}},
      {"memori.bm", {450, 40, 1}},
      {"bunseki.bm", {192, 32, 9}},
      {"gage.bm", {2, 24, 8}},
      {"figure.bm", {10, 16, 12, true}},
      {"enter.bm", {380, 24, 2}},
      {"result_help.bm", {400, 24, 2}},
      {"Mask.bm", {64, 48, 8, true, 1}},
  };
  ASSERT_TRUE(open_display());
  int questions_seen = 0;
  for (const picture_asset& asset : picture_assets) {
    const std::string name = asset.file_name;
    image_slot slot{};
    ASSERT_TRUE(load_image(&slot, game_file(name).c_str())) << name;
    const std::vector<std::uint16_t> p = pixels_of(slot.surface);
    const std::uint32_t w = slot.surface->width, h = slot.surface->height;
    plat_release_surface(slot.surface);
    cells c{0, 0, 0};
    if (name.size() == 7 && name[0] == 'q') {
      c = {308, 280, 1};
      ++questions_seen;
    } else if (sheets.count(name) != 0) {
      c = sheets.at(name);
    } else {  // loaded, never drawn
      EXPECT_LE(w, 640u) << name;
      continue;
    }
    EXPECT_EQ(w, c.across ? c.width * static_cast<std::uint32_t>(c.count) : c.width) << name;
    EXPECT_EQ(h, c.across ? c.height : c.height * static_cast<std::uint32_t>(c.count)) << name;
    if (w != (c.across ? c.width * c.count : c.width) || h != (c.across ? c.height : c.height * c.count))
      continue;
    for (int cell = c.first; cell < c.count; ++cell) {
      const std::uint32_t x0 = c.across ? c.width * static_cast<std::uint32_t>(cell) : 0;
      const std::uint32_t y0 = c.across ? 0 : c.height * static_cast<std::uint32_t>(cell);
      int visible = 0;
      for (std::uint32_t y = y0; y < y0 + c.height; ++y)
        for (std::uint32_t x = x0; x < x0 + c.width; ++x)
          visible += p[y * w + x] != 0;
      EXPECT_GT(visible, 0) << name << " cell " << cell << " is all colour key";
    }
  }
  EXPECT_EQ(questions_seen, 60);
  close_display_and_window();
}

TEST(generated_pack, every_sound_is_pcm_and_loads) {
  headless::reset();
  audio = audio_record{};
  ASSERT_TRUE(init_sound());
  for (const sound_asset& asset : sound_assets) {
    const std::string path = game_file(asset.file_name);
    EXPECT_TRUE(load_sound(&audio.sounds[asset.slot], path.c_str())) << asset.file_name;
    const bytes file = read_file(path);
    ASSERT_GE(file.size(), 44u) << asset.file_name;
    EXPECT_EQ(le16(file, 20), 1u) << asset.file_name << ": format tag";
  }
  EXPECT_TRUE(headless::message_boxes().empty());
  release_sound();
}

std::uint32_t read_number(const bytes& b, std::size_t* at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4 && *at < b.size(); ++i) {
    const std::uint8_t byte = b[(*at)++];
    v = (v << 7) | (byte & 0x7F);
    if ((byte & 0x80) == 0)
      break;
  }
  return v;
}

TEST(generated_pack, every_tune_is_format_one_with_all_tracks_ending_together) {
  for (const char* name : {"bgm01.mid", "bgm02.mid", "bgm03.mid"}) {
    const bytes b = read_file(game_file(name));
    ASSERT_GE(b.size(), 14u) << name;
    ASSERT_EQ(std::string(b.begin(), b.begin() + 4), "MThd") << name;
    EXPECT_EQ(be(b, 8, 2), 1u) << name;
    const std::uint32_t tracks = be(b, 10, 2);
    EXPECT_GE(tracks, 2u) << name;
    std::size_t at = 14;
    std::vector<std::uint32_t> ends;
    for (std::uint32_t track = 0; track < tracks; ++track) {
      ASSERT_LE(at + 8, b.size()) << name << " track " << track;
      ASSERT_EQ(
          std::string(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at) + 4),
          "MTrk")
          << name << " track " << track;
      const std::size_t end = at + 8 + be(b, at + 4, 4);
      ASSERT_LE(end, b.size()) << name << " track " << track;
      at += 8;
      std::uint32_t tick = 0;
      std::uint8_t status = 0;
      while (at < end) {
        tick += read_number(b, &at);
        if (b[at] & 0x80)
          status = b[at++];
        if (status == 0xFF) {
          const std::uint8_t type = b[at++];
          at += read_number(b, &at);
          if (type == 0x2F) {
            ends.push_back(tick);
            break;
          }
        } else if (status == 0xF0 || status == 0xF7) {
          at += read_number(b, &at);
        } else {
          at += (status & 0xE0) == 0xC0 ? 1 : 2;  // program and pressure take one byte
        }
      }
      ASSERT_EQ(at, end) << name << " track " << track << " does not end with its end-of-track event";
    }
    EXPECT_EQ(at, b.size()) << name;
    ASSERT_EQ(ends.size(), tracks) << name;
    for (std::uint32_t tick : ends)
      EXPECT_EQ(tick, ends.front()) << name;
  }
}

}  // namespace
}  // namespace shindan
