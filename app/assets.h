// The asset table: every picture and sound slot named once, with the file
// the first frame loads into it. The scenes draw and play by these names.
#pragma once

namespace shindan {

enum picture_slot : int {
  picture_title = 0,
  picture_create,
  picture_chikara,
  picture_spackye,
  picture_hamon,
  picture_write,
  picture_initmes1,
  picture_initmes2,
  picture_initmes3,
  picture_mainback,
  picture_qdisp_eff,
  picture_cursol,
  picture_cursol_r,
  picture_collect_eff,
  picture_result,
  picture_memori,
  picture_bunseki,
  picture_gage,
  picture_figure,
  picture_enter,
  picture_result_help,
  // q001 to q060 follow in order: question n lies in picture_q001 + n - 1.
  picture_q001,
  picture_q060 = picture_q001 + 59,
  picture_mask = 99,
};

enum sound_slot : int {
  sound_c_move = 0,
  sound_push,
  sound_end,
  sound_intoro,
  sound_result,
  sound_scale_up,
  sound_noize01,
  sound_noize02,
};

struct picture_asset {
  int slot;
  const char* file_name;
};
struct sound_asset {
  int slot;
  const char* file_name;
};
// The files the first frame loads, in loading order.
extern const picture_asset picture_assets[82];
extern const sound_asset sound_assets[8];

}  // namespace shindan
