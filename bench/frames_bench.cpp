// How long the game's heavy frames take on the in-memory platform, against
// one plain copy of the back buffer. Each frame benchmark puts the scenes into
// the state of one moment of the game and runs whole loop turns (clear, scenes,
// present) from there, so what is timed is exactly what a player's frame costs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/shell.h"
#include "bench/moments.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/headless/headless.h"
#include "sound/sound.h"
#include "tests/replay/asset_folder.h"
#include "tools/shindan_tool/replay.h"

namespace shindan {
namespace {

constexpr std::size_t back_buffer_bytes = static_cast<std::size_t>(screen_width) * screen_height * 2;
constexpr std::uint32_t frame_ms = 16;

replay_session session;

bool folder_complete(const std::filesystem::path& dir) {
  for (const picture_asset& asset : picture_assets) {
    if (!std::filesystem::exists(dir / asset.file_name))
      return false;
  }
  for (const sound_asset& asset : sound_assets) {
    if (!std::filesystem::exists(dir / asset.file_name))
      return false;
  }
  return true;
}

// Works in the generated asset pack when it is complete, else in a stand-in
// folder of pictures of the same sizes. Answers what was chosen.
std::string enter_asset_folder(testing_files::scratch_dir* stand_in) {
  const std::filesystem::path pack = SHINDAN_BENCH_GAME_DIR;
  if (folder_complete(pack)) {
    std::filesystem::current_path(pack);
    return "asset pack " + pack.string();
  }
  testing_files::enter_scratch_dir(stand_in);
  if (stand_in->path.empty() || !testing_files::write_asset_folder())
    return "";
  return "stand-in pictures in " + stand_in->path.string();
}

// A fresh run with every asset loaded: the first frame has run.
void start_loaded_game() {
  replay_options options;
  options.frame_ms = frame_ms;
  replay_start(&session, options);
  replay_frame(&session);
}

// One turn of the real loop with the clock moved on by one frame.
void run_one_frame() {
  headless::set_tick(headless::tick() + frame_ms);
  while (run_loop_turn() == loop_turn::event) {
  }
}

// Every benchmark below sets its moment again before each frame: the frame
// may step an animation, and the next one must draw the same thing.
template <typename Moment>
void time_frames(benchmark::State& state, Moment moment) {
  start_loaded_game();
  for (auto _ : state) {
    moment();
    run_one_frame();
  }
  benchmark::DoNotOptimize(headless::screen().data());
}

void BM_reference_back_buffer_copy(benchmark::State& state) {
  std::vector<std::uint8_t> from(back_buffer_bytes, 0x5A);
  std::vector<std::uint8_t> to(back_buffer_bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), back_buffer_bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

// The first frame: every picture and sound read from its file, then the
// title's first step.
void BM_first_frame_loading(benchmark::State& state) {
  replay_options options;
  options.frame_ms = frame_ms;
  for (auto _ : state) {
    state.PauseTiming();
    replay_start(&session, options);
    state.ResumeTiming();
    replay_frame(&session);
  }
}

// A frame with no scene switched on: clearing, the frame-time text and the
// present, which every frame pays.
void BM_empty_frame(benchmark::State& state) {
  time_frames(state, moment_empty);
}

// The title's noise screen: grey static over every pixel.
void BM_noise_frame(benchmark::State& state) {
  time_frames(state, moment_noise);
}

// The title's first message fading in over the full-screen background.
void BM_fade_frame(benchmark::State& state) {
  time_frames(state, moment_fade);
}

// Waiting for an answer: background, both cursors and the question.
void BM_answering_frame(benchmark::State& state) {
  time_frames(state, moment_answering);
}

// The confirmation flash over the chosen answer.
void BM_flash_frame(benchmark::State& state) {
  time_frames(state, moment_flash);
}

// The finished analysis: band, scale, eight gauges at full length, figures.
void BM_analysis_frame(benchmark::State& state) {
  time_frames(state, moment_analysis);
}

// Half-way through the closing wipe: the board under a hundred mask cells.
void BM_closing_wipe_frame(benchmark::State& state) {
  time_frames(state, moment_closing_wipe);
}

BENCHMARK(BM_reference_back_buffer_copy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_empty_frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_noise_frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_fade_frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_answering_frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_flash_frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_analysis_frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_closing_wipe_frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_first_frame_loading)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace shindan

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  shindan::testing_files::scratch_dir stand_in;
  const std::string folder = shindan::enter_asset_folder(&stand_in);
  if (folder.empty()) {
    std::fprintf(stderr, "shindan-bench: no asset folder to measure with\n");
    return 1;
  }
  std::fprintf(stderr, "shindan-bench: %s\n", folder.c_str());
  benchmark::RunSpecifiedBenchmarks();
  shindan::replay_finish(&shindan::session);
  benchmark::Shutdown();
  if (!stand_in.path.empty())
    shindan::testing_files::leave_scratch_dir(&stand_in);
  return 0;
}
