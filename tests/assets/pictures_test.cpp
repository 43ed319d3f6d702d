// The generated pictures, loaded by the game itself onto the in-memory
// display (both layouts' loading is the decoder's and the replays' business):
// sizes, frames and the regions the scenes draw. A pixel that reads 0 after
// loading is the colour key: invisible.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/shell.h"
#include "gfx/gfx.h"
#include "platform/headless/headless.h"
#include "tests/assets/pack_files.h"
#include "tests/support/display.h"

namespace shindan {
namespace {

struct picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint16_t> pixels;
};

std::uint16_t pixel(const picture& p, int x, int y) {
  return p.pixels[static_cast<std::size_t>(y) * p.width + static_cast<std::size_t>(x)];
}

int visible_in(const picture& p, int x, int y, int w, int h) {
  int count = 0;
  for (int j = y; j < y + h; ++j) {
    for (int i = x; i < x + w; ++i) {
      count += pixel(p, i, j) != 0 ? 1 : 0;
    }
  }
  return count;
}

class GeneratedPictures : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(testing_files::open_display()); }
  void TearDown() override { testing_files::close_display_and_window(); }

  // Loads the file through load_image into slot 0 and copies its pixels out.
  picture load(const std::string& name) {
    picture p;
    image_slot* slot = &images[0];
    if (slot->surface != nullptr) {
      plat_release_surface(slot->surface);
      *slot = image_slot{};
    }
    EXPECT_TRUE(load_image(slot, pack_test::game_file(name).c_str())) << name;
    if (slot->surface == nullptr) {
      return p;
    }
    p.width = slot->surface->width;
    p.height = slot->surface->height;
    p.pixels = testing_files::pixels_of(slot->surface);
    return p;
  }
};

std::string question_name(int n) {
  char name[16];
  std::snprintf(name, sizeof name, "q%03d.bm", n);
  return name;
}

TEST_F(GeneratedPictures, EveryPictureOfTheTableLoadsAtItsLayoutSize) {
  const std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> sizes = {
      {"title.bm", {480, 60}},       {"create.bm", {640, 64}},     {"spackye.bm", {416, 32}},
      {"hamon.bm", {640, 480}},      {"initmes1.bm", {404, 28}},   {"initmes2.bm", {380, 92}},
      {"initmes3.bm", {452, 60}},    {"mainback.bm", {640, 5760}}, {"qdisp_eff.bm", {320, 1728}},
      {"cursol.bm", {32, 256}},      {"cursol_r.bm", {32, 256}},   {"collect_eff.bm", {320, 512}},
      {"result.bm", {224, 476}},     {"memori.bm", {450, 40}},     {"bunseki.bm", {192, 288}},
      {"gage.bm", {2, 192}},         {"figure.bm", {120, 16}},     {"enter.bm", {380, 48}},
      {"result_help.bm", {400, 48}}, {"Mask.bm", {512, 48}},
  };
  for (const picture_asset& asset : picture_assets) {
    const std::string name = asset.file_name;
    const picture p = load(name);
    ASSERT_FALSE(p.pixels.empty()) << name;
    EXPECT_GT(visible_in(p, 0, 0, static_cast<int>(p.width), static_cast<int>(p.height)), 0) << name;
    if (name.size() == 7 && name[0] == 'q') {
      EXPECT_EQ(p.width, 308u) << name;
      EXPECT_EQ(p.height, 280u) << name;
    } else if (sizes.count(name) != 0) {
      EXPECT_EQ(p.width, sizes.at(name).first) << name;
      EXPECT_EQ(p.height, sizes.at(name).second) << name;
    } else {
      // The two loaded-only pictures: any modest size.
      EXPECT_LE(p.width, 640u) << name;
    }
  }
}

// Backgrounds and question pictures are drawn over other things or over the
// cleared screen; a pixel lost to the key would show as a hole.
TEST_F(GeneratedPictures, OpaquePicturesHaveNoKeyColouredPixels) {
  for (const std::string name : {"hamon.bm", "mainback.bm"}) {
    const picture p = load(name);
    EXPECT_EQ(visible_in(p, 0, 0, static_cast<int>(p.width), static_cast<int>(p.height)),
              static_cast<int>(p.pixels.size()))
        << name;
  }
  for (int n = 1; n <= 60; ++n) {
    const picture p = load(question_name(n));
    EXPECT_EQ(visible_in(p, 0, 0, 308, 280), 308 * 280) << question_name(n);
  }
  const picture gage = load("gage.bm");
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(visible_in(gage, 0, 24 * k + 2, 2, 20), 40) << "gauge slice " << k;
  }
}

TEST_F(GeneratedPictures, EveryRegionTheScenesDrawHoldsSomething) {
  const picture result = load("result.bm");
  EXPECT_EQ(visible_in(result, 0, 0, 224, 28), 0) << "row 0 is never read";
  for (int row = 1; row <= 16; ++row) {
    EXPECT_GT(visible_in(result, 0, 28 * row, 224, 28), 100) << "label row " << row;
    // The figure's sign cell reaches x 172 of the label's line: keep clear.
    EXPECT_EQ(visible_in(result, 174, 28 * row, 50, 28), 0) << "label row " << row;
  }
  const picture figure = load("figure.bm");
  for (int cell = 0; cell < 12; ++cell) {
    EXPECT_GT(visible_in(figure, 10 * cell, 0, 10, 16), 4) << "figure cell " << cell;
  }
  for (const auto& [name, rows, height] :
       {std::tuple{"create.bm", 2, 32}, std::tuple{"enter.bm", 2, 24}, std::tuple{"result_help.bm", 2, 24}}) {
    const picture p = load(name);
    for (int r = 0; r < rows; ++r) {
      EXPECT_GT(visible_in(p, 0, r * height, static_cast<int>(p.width), height), 50) << name << " row " << r;
    }
  }
  const picture band = load("bunseki.bm");
  for (int f = 0; f < 9; ++f) {
    EXPECT_GT(visible_in(band, 0, 32 * f, 192, 32), 100) << "band frame " << f;
  }
  const picture intro = load("initmes2.bm");
  for (int line = 0; line < 3; ++line) {
    EXPECT_GT(visible_in(intro, 0, 30 * line + 4, 380, 22), 50) << "message 2 line " << line;
  }
}

// The scale is drawn at screen x 194; a bar of value v ends at 424 + 2v
// (v > 0) or starts at 426 + 2v (v < 0). Its marks must sit there.
TEST_F(GeneratedPictures, ScaleMarksLineUpWithTheGaugeBars) {
  const picture scale = load("memori.bm");
  auto bar_end = [](int v) { return (v > 0 ? 424 + 2 * v : 426 + 2 * v) - 194; };
  const int tick_row = 30;  // above the base line, within the longer marks
  EXPECT_NE(pixel(scale, 424 - 194, tick_row), 0);
  EXPECT_NE(pixel(scale, 425 - 194, tick_row), 0);
  for (int v : {-100, -50, 50, 100}) {
    const int x = bar_end(v);
    EXPECT_TRUE(pixel(scale, x, tick_row) != 0 || pixel(scale, x - 1, tick_row) != 0) << "mark " << v;
    EXPECT_EQ(pixel(scale, x + 4, tick_row), 0) << "beside mark " << v;
    EXPECT_EQ(pixel(scale, x - 5, tick_row), 0) << "beside mark " << v;
  }
  // Nothing of the scale lies beyond +100 but its label.
  EXPECT_EQ(visible_in(scale, bar_end(100) + 2, 20, 450 - bar_end(100) - 2, 20), 0);
}

// Each pass of the closing wipe draws frame f over cells of frame f - 1, so
// every frame must cover what the one before it covered, and the last all.
TEST_F(GeneratedPictures, WipeFramesGrowUntilTheyCoverTheCell) {
  const picture mask = load("Mask.bm");
  EXPECT_LT(visible_in(mask, 0, 0, 64, 48), 64 * 48 / 4) << "the wipe starts mostly transparent";
  for (int f = 1; f < 8; ++f) {
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 64; ++x) {
        if (pixel(mask, 64 * (f - 1) + x, y) != 0) {
          ASSERT_NE(pixel(mask, 64 * f + x, y), 0) << "frame " << f << " uncovers (" << x << ", " << y << ")";
        }
      }
    }
  }
  EXPECT_EQ(visible_in(mask, 64 * 7, 0, 64, 48), 64 * 48);
}

// The animations must move: no two neighbouring frames alike.
TEST_F(GeneratedPictures, AnimationFramesDifferFromTheirNeighbours) {
  struct sheet {
    const char* name;
    int frames, width, height;
  };
  for (const sheet& s :
       {sheet{"mainback.bm", 12, 640, 480}, sheet{"qdisp_eff.bm", 8, 320, 216}, sheet{"cursol.bm", 8, 32, 32},
        sheet{"cursol_r.bm", 8, 32, 32}, sheet{"collect_eff.bm", 16, 320, 32}}) {
    const picture p = load(s.name);
    for (int f = 1; f < s.frames; ++f) {
      const auto begin = p.pixels.begin() + static_cast<std::ptrdiff_t>(f) * s.width * s.height;
      EXPECT_FALSE(std::equal(begin, begin + s.width * s.height, begin - s.width * s.height))
          << s.name << " frame " << f;
    }
  }
  // The right cursor is the left one mirrored, facing the band from the other side.
  const picture left = load("cursol.bm");
  const picture right = load("cursol_r.bm");
  for (int y = 0; y < 32 * 8; ++y) {
    for (int x = 0; x < 32; ++x) {
      ASSERT_EQ(pixel(left, x, y), pixel(right, 31 - x, y)) << "(" << x << ", " << y << ")";
    }
  }
}

}  // namespace
}  // namespace shindan
