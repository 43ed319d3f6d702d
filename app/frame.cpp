// The frame driver: loads every asset on the first frame, resets the game
// once, runs the scenes that are switched on and formats the frame time.
#include "app/frame.h"

#include <cstdio>
#include <cstring>

#include "app/shell.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "sound/sound.h"

namespace shindan {

std::uint8_t assets_loaded = 0;
std::uint8_t game_initialised = 0;

std::uint8_t title_active = 0;
std::uint8_t question_active = 0;
std::uint8_t analysis_active = 0;
std::int8_t title_step = 0;
std::int8_t analysis_step = 0;
std::uint8_t shift_mode = 0;
std::int8_t round_number = 0;
std::uint8_t first_test = 1;
std::uint8_t pool_refilled = 0;
float scene_fade = 0.0f;
std::uint8_t scene_waiting = 0;

std::uint8_t qdisp_active = 0;
std::uint8_t question_shown = 0;
std::int8_t question_number = 0;
std::int8_t answer_cursor = 0;

char frame_time_text[100] = {};

const picture_asset picture_assets[82] = {
    {0, "title.bm"},        {1, "create.bm"},   {2, "chikara.bm"},   {3, "spackye.bm"},      {4, "hamon.bm"},
    {5, "write.bm"},        {6, "initmes1.bm"}, {7, "initmes2.bm"},  {8, "initmes3.bm"},     {9, "mainback.bm"},
    {10, "qdisp_eff.bm"},   {11, "cursol.bm"},  {12, "cursol_r.bm"}, {13, "collect_eff.bm"}, {14, "result.bm"},
    {15, "memori.bm"},      {16, "bunseki.bm"}, {17, "gage.bm"},     {18, "figure.bm"},      {19, "enter.bm"},
    {20, "result_help.bm"}, {21, "q001.bm"},    {22, "q002.bm"},     {23, "q003.bm"},        {24, "q004.bm"},
    {25, "q005.bm"},        {26, "q006.bm"},    {27, "q007.bm"},     {28, "q008.bm"},        {29, "q009.bm"},
    {30, "q010.bm"},        {31, "q011.bm"},    {32, "q012.bm"},     {33, "q013.bm"},        {34, "q014.bm"},
    {35, "q015.bm"},        {36, "q016.bm"},    {37, "q017.bm"},     {38, "q018.bm"},        {39, "q019.bm"},
    {40, "q020.bm"},        {41, "q021.bm"},    {42, "q022.bm"},     {43, "q023.bm"},        {44, "q024.bm"},
    {45, "q025.bm"},        {46, "q026.bm"},    {47, "q027.bm"},     {48, "q028.bm"},        {49, "q029.bm"},
    {50, "q030.bm"},        {51, "q031.bm"},    {52, "q032.bm"},     {53, "q033.bm"},        {54, "q034.bm"},
    {55, "q035.bm"},        {56, "q036.bm"},    {57, "q037.bm"},     {58, "q038.bm"},        {59, "q039.bm"},
    {60, "q040.bm"},        {61, "q041.bm"},    {62, "q042.bm"},     {63, "q043.bm"},        {64, "q044.bm"},
    {65, "q045.bm"},        {66, "q046.bm"},    {67, "q047.bm"},     {68, "q048.bm"},        {69, "q049.bm"},
    {70, "q050.bm"},        {71, "q051.bm"},    {72, "q052.bm"},     {73, "q053.bm"},        {74, "q054.bm"},
    {75, "q055.bm"},        {76, "q056.bm"},    {77, "q057.bm"},     {78, "q058.bm"},        {79, "q059.bm"},
    {80, "q060.bm"},        {99, "Mask.bm"},
};

const sound_asset sound_assets[8] = {
    {0, "c_move.wav"}, {1, "push.wav"},     {2, "end.wav"},     {3, "intoro.wav"},
    {4, "result.wav"}, {5, "scale_up.wav"}, {6, "noize01.wav"}, {7, "noize02.wav"},
};

namespace {

void load_assets() {
  assets_loaded = 1;
  // Pictures are converted to the display's layout as they load.
  read_pixel_format();
  // A file that fails is reported by its loader and leaves its slot empty.
  for (const picture_asset& asset : picture_assets)
    load_image(&images[asset.slot], asset.file_name);
  for (const sound_asset& asset : sound_assets)
    load_sound(&sounds[asset.slot], asset.file_name);
}

void reset_game() {
  game_initialised = 1;
  title_active = 1;
  question_active = 0;
  analysis_active = 0;
  shift_mode = 0;
  title_step = 0;
  analysis_step = 0;
  reset_scores();
  for (auto& entry : asked_questions)
    entry = 255;
  // Each label is a zero-terminated string inside its 20-byte entry.
  for (int t = 0; t < trait_count; ++t) {
    std::memset(trait_labels[t], 0, sizeof trait_labels[t]);
    std::memcpy(trait_labels[t], trait_label_table[t], std::strlen(trait_label_table[t]));
  }
}

}  // namespace

void run_frame() {
  if (assets_loaded == 0)
    load_assets();
  if (game_initialised == 0)
    reset_game();

  // Each test reads its flag only when it is reached, so a scene that hands
  // over switches on a later scene within this same frame.
  if (title_active == 1)
    title_active = title_scene() ? 1 : 0;
  if (question_active == 1)
    question_active = question_scene() ? 1 : 0;
  if (analysis_active == 1)
    analysis_active = analysis_scene() ? 1 : 0;

  // "フレームタイム = %f": drawn above and left of the screen, so never seen.
  std::snprintf(frame_time_text, sizeof frame_time_text,
                "\x83\x74\x83\x8c\x81\x5b\x83\x80\x83\x5e\x83\x43\x83\x80\x20\x3d\x20\x25\x66",
                static_cast<double>(frame_seconds));
  draw_text(frame_time_text, 16, -32, -32, 255, 255, 255);
}

}  // namespace shindan
