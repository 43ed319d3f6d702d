// The frame driver: loads every asset on the first frame, resets the game
// once, runs the scenes that are switched on and formats the frame time.
#include "app/frame.h"

#include <cstdio>
#include <cstring>

#include "app/shell.h"
#include "app/transitions.h"
#include "game/game.h"
#include "game/narration.h"
#include "gfx/gfx.h"
#include "sound/sound.h"

namespace shindan {

scene_record scenes;

namespace {

void load_assets() {
  scenes.assets_loaded = 1;
  // Pictures are converted to the display's layout as they load.
  read_pixel_format();
  // A file that fails is reported by its loader and leaves its slot empty.
  for (const picture_asset& asset : picture_assets)
    load_image(&images[asset.slot], asset.file_name);
  for (const sound_asset& asset : sound_assets)
    load_sound(&audio.sounds[asset.slot], asset.file_name);
  // The words the pictures show, for speech; nothing drawn depends on them.
  open_narration();
}

void reset_game() {
  scenes.game_initialised = 1;
  scenes.title_active = 1;
  scenes.question_active = 0;
  scenes.analysis_active = 0;
  scenes.shift_mode = 0;
  scenes.title_step = 0;
  scenes.analysis_step = 0;
  reset_scores();
  for (auto& entry : questions.asked_questions)
    entry = 255;
  // Each label is a zero-terminated string inside its 20-byte entry.
  for (int t = 0; t < trait_count; ++t) {
    std::memset(scoring.trait_labels[t], 0, sizeof scoring.trait_labels[t]);
    std::memcpy(scoring.trait_labels[t], trait_label_table[t], std::strlen(trait_label_table[t]));
  }
}

}  // namespace

void run_frame() {
  if (scenes.assets_loaded == 0)
    load_assets();
  if (scenes.game_initialised == 0)
    reset_game();

  // Each test reads its flag only when it is reached, so a scene that hands
  // over switches on a later scene within this same frame.
  if (scenes.title_active == 1)
    scenes.title_active = title_scene() ? 1 : 0;
  if (scenes.question_active == 1)
    scenes.question_active = question_scene() ? 1 : 0;
  if (scenes.analysis_active == 1)
    scenes.analysis_active = analysis_scene() ? 1 : 0;
  // What the frame shows, said aloud; it reads the scenes and changes nothing.
  narrate_frame();

  // "フレームタイム = %f": drawn above and left of the screen, so never seen.
  std::snprintf(scenes.frame_time_text, sizeof scenes.frame_time_text,
                "\x83\x74\x83\x8c\x81\x5b\x83\x80\x83\x5e\x83\x43\x83\x80\x20\x3d\x20\x25\x66",
                static_cast<double>(shell.frame_seconds));
  draw_text(scenes.frame_time_text, 16, -32, -32, 255, 255, 255);
}

void reset_program_state() {
  shell = shell_record{};
  scenes = scene_record{};
  transitions = transition_record{};
  scoring = scoring_record{};
  title = title_record{};
  questions = question_record{};
  analysis = analysis_record{};
  audio = audio_record{};
  music = music_record{};
  narration = narration_record{};
}

}  // namespace shindan
