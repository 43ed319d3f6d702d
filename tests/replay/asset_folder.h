// A small asset folder written by the tests themselves: every picture at its
// proper size, each region in a colour of its own so that a pixel of the
// presented frame tells what is shown there, and short valid sounds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "tests/support/files.h"

namespace shindan::testing_files {

// Solid colour of a one-colour picture in slot s; unique per slot, never black.
inline rgb slot_colour(int slot) {
  return {static_cast<std::uint8_t>(8 * (1 + slot % 31)), static_cast<std::uint8_t>(4 * (1 + slot / 31)), 0x80};
}
// Second line or row of the two-part pictures (create, enter, result_help).
inline rgb second_part_colour(int slot) {
  rgb c = slot_colour(slot);
  c.b = 0x40;
  return c;
}
// Frame f of the question background.
inline rgb mainback_colour(int frame) {
  return {0x10, 0x10, static_cast<std::uint8_t>(8 * (frame + 1))};
}
// Question picture n (1..60): the question in one colour, each answer band
// in another.
inline rgb question_colour(int n) {
  return {static_cast<std::uint8_t>(8 * (n % 32)), static_cast<std::uint8_t>(0x80 + 4 * (n / 32)), 0xF8};
}
inline rgb answer_colour(int n, int answer) {
  rgb c = question_colour(n);
  c.b = static_cast<std::uint8_t>(0x20 + 0x20 * answer);
  return c;
}
// Label row i (0..16) of result.bm.
inline rgb label_colour(int row) {
  return {static_cast<std::uint8_t>(8 * (row + 1)), 0xF0, 0x20};
}
inline rgb figure_cell_colour(int cell) {
  return {static_cast<std::uint8_t>(8 * (cell + 1)), 0x80, 0x40};
}
inline rgb slice_colour(int trait) {
  return {0xF8, static_cast<std::uint8_t>(16 * (trait + 1)), 0x08};
}
inline rgb mask_colour(int frame) {
  return {static_cast<std::uint8_t>(0x10 * (frame + 1)), 0x44, 0x88};
}

// Which question picture (1..60) a pixel of the question area shows; 0 when
// none does.
inline int question_of_pixel(std::uint16_t pixel) {
  for (int n = 1; n <= 60; ++n) {
    if (pixel565(question_colour(n)) == pixel)
      return n;
  }
  return 0;
}

struct asset_choice {
  // Files left out, to see the game run on without them.
  std::function<bool(const std::string&)> skip = [](const std::string&) { return false; };
};

inline bool write_asset_folder(const asset_choice& choice = {}) {
  bool ok = true;
  auto picture = [&](const std::string& name, std::uint32_t w, std::uint32_t h,
                     const std::function<rgb(std::uint32_t, std::uint32_t)>& colour) {
    if (!choice.skip(name))
      ok = write_bmp(name, w, h, colour) && ok;
  };
  auto banded = [&](const std::string& name, std::uint32_t w, std::uint32_t h,
                    const std::function<rgb(std::uint32_t)>& row_colour) {
    if (!choice.skip(name))
      ok = write_banded_bmp(name, w, h, row_colour) && ok;
  };
  auto solid = [&](const std::string& name, int slot, std::uint32_t w, std::uint32_t h) {
    const rgb c = slot_colour(slot);
    banded(name, w, h, [c](std::uint32_t) { return c; });
  };
  auto two_part = [&](const std::string& name, int slot, std::uint32_t w, std::uint32_t part_h) {
    banded(name, w, 2 * part_h,
           [=](std::uint32_t y) { return y < part_h ? slot_colour(slot) : second_part_colour(slot); });
  };

  solid("title.bm", 0, 480, 60);
  two_part("create.bm", 1, 640, 32);
  solid("chikara.bm", 2, 16, 16);
  solid("spackye.bm", 3, 416, 32);
  solid("hamon.bm", 4, 640, 480);
  solid("write.bm", 5, 16, 16);
  solid("initmes1.bm", 6, 404, 28);
  solid("initmes2.bm", 7, 380, 92);
  solid("initmes3.bm", 8, 452, 60);
  banded("mainback.bm", 640, 480 * 12, [](std::uint32_t y) { return mainback_colour(static_cast<int>(y / 480)); });
  solid("qdisp_eff.bm", 10, 320, 216 * 8);
  solid("cursol.bm", 11, 32, 32 * 8);
  solid("cursol_r.bm", 12, 32, 32 * 8);
  solid("collect_eff.bm", 13, 320, 32 * 16);
  banded("result.bm", 224, 28 * 17, [](std::uint32_t y) { return label_colour(static_cast<int>(y / 28)); });
  solid("memori.bm", 15, 450, 40);
  solid("bunseki.bm", 16, 192, 32);
  banded("gage.bm", 2, 24 * 8, [](std::uint32_t y) {
    const std::uint32_t within = y % 24;
    return within >= 2 && within < 22 ? slice_colour(static_cast<int>(y / 24)) : rgb{};
  });
  picture("figure.bm", 120, 16,
          [](std::uint32_t x, std::uint32_t) { return figure_cell_colour(static_cast<int>(x / 10)); });
  two_part("enter.bm", 19, 380, 24);
  two_part("result_help.bm", 20, 400, 24);
  for (int n = 1; n <= 60; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "q%03d.bm", n);
    banded(name, 308, 280, [n](std::uint32_t y) {
      return y < 196 ? question_colour(n) : answer_colour(n, static_cast<int>((y - 196) / 28));
    });
  }
  picture("Mask.bm", 64 * 8, 48, [](std::uint32_t x, std::uint32_t) { return mask_colour(static_cast<int>(x / 64)); });

  const char* sounds[8] = {"c_move.wav", "push.wav",     "end.wav",     "intoro.wav",
                           "result.wav", "scale_up.wav", "noize01.wav", "noize02.wav"};
  for (int i = 0; i < 8; ++i) {
    if (!choice.skip(sounds[i]))
      ok = write_wav(sounds[i], 64 + 16 * static_cast<std::uint32_t>(i)) && ok;
  }
  return ok;
}

}  // namespace shindan::testing_files
