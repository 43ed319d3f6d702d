// The generated asset pack, loaded by the game's own loaders: every picture
// at its size with something in each frame cell the scenes draw, every sound
// a PCM WAV, every tune a format 1 MIDI file whose tracks end together (so the
// restart at its end loops cleanly). What the pictures look like is left to
// the replays and the Windows run, which draw them.
#include <gtest/gtest.h>

#include <algorithm>
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

// The analysis screen places its pictures at fixed points, so what lines up
// on screen is decided inside the pictures: the names must stop short of a
// three-digit figure's sign cell, the scale's zero must stand where bars of
// either sign meet, and each digit must fill its cell so that a number reads
// as one word.
int brightness(std::uint16_t p) {
  return ((p >> 11) & 31) * 2 + ((p >> 5) & 63) + (p & 31) * 2;
}

std::vector<std::uint16_t> load_pixels(const std::string& name, std::uint32_t* width) {
  image_slot slot{};
  EXPECT_TRUE(load_image(&slot, game_file(name).c_str())) << name;
  if (slot.surface == nullptr)
    return {};
  std::vector<std::uint16_t> p = pixels_of(slot.surface);
  *width = slot.surface->width;
  plat_release_surface(slot.surface);
  return p;
}

TEST(generated_pack, analysis_pictures_line_up_on_the_screen) {
  ASSERT_TRUE(open_display());
  std::uint32_t w = 0;

  // result.bm at screen x 2: a three-digit figure's sign cell starts at 178.
  std::vector<std::uint16_t> labels = load_pixels("result.bm", &w);
  ASSERT_EQ(labels.size(), 224u * 28 * 17);
  int past_figure = 0, at_edge = 0;
  for (std::uint32_t y = 28; y < 28 * 17; ++y) {
    for (std::uint32_t x = 0; x < 224; ++x) {
      past_figure += x >= 176 && labels[y * w + x] != 0;
      at_edge += x < 6 && labels[y * w + x] != 0;
    }
  }
  EXPECT_EQ(past_figure, 0) << "pixels of the names reach the figures";
  EXPECT_EQ(at_edge, 0) << "pixels of the labels crowd the screen's edge";

  // gage.bm: each slice lights its left column, so the first slice of either
  // sign (at screen 424) ends the bar at 424.
  std::vector<std::uint16_t> gauge = load_pixels("gage.bm", &w);
  ASSERT_EQ(gauge.size(), 2u * 192);
  for (int k = 0; k < 8; ++k) {
    int lit_right = 0;
    for (int y = 24 * k + 2; y < 24 * k + 22; ++y)
      lit_right += brightness(gauge[y * 2]) <= 2 * brightness(gauge[y * 2 + 1]);
    EXPECT_EQ(lit_right, 0) << "rows of trait " << k << "'s slice lit in the right column";
  }

  // memori.bm at screen 194: the tall zero tick is the brightest column at
  // 230 (screen 424), and the ends of the scale mirror each other about it.
  std::vector<std::uint16_t> scale = load_pixels("memori.bm", &w);
  ASSERT_EQ(scale.size(), 450u * 40);
  const std::uint32_t tick_row = 22;
  std::uint32_t brightest = 0;
  for (std::uint32_t x = 0; x < w; ++x)
    if (brightness(scale[tick_row * w + x]) > brightness(scale[tick_row * w + brightest]))
      brightest = x;
  EXPECT_EQ(brightest, 230u);
  std::uint32_t first = w, last = 0;
  for (std::uint32_t x = 0; x < w; ++x) {
    if (scale[36 * w + x] != 0) {
      first = std::min(first, x);
      last = std::max(last, x);
    }
  }
  EXPECT_EQ(230 - first, last - 230) << "the scale runs from " << first << " to " << last;

  // figure.bm: digits other than 1 span at least 7 of their 10 columns.
  std::vector<std::uint16_t> figures = load_pixels("figure.bm", &w);
  ASSERT_EQ(figures.size(), 120u * 16);
  for (int d = 0; d < 10; ++d) {
    if (d == 1)
      continue;
    int left = 10, right = -1;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 10; ++x)
        if (brightness(figures[y * 120 + 10 * d + x]) > 100) {
          left = std::min(left, x);
          right = std::max(right, x);
        }
    EXPECT_GE(right - left + 1, 7) << "digit " << d;
  }
  close_display_and_window();
}

}  // namespace
}  // namespace shindan
