// The heavy frames of the game in the browser: the program with the web
// backend, in a page, each moment of the game set up in the game's records
// and whole loop turns timed from there (clear, scenes, present into the
// canvas), against one plain copy of the 614,400-byte back buffer in
// WebAssembly. bench/web_bench.js loads the page and prints the table.
//
// Each moment is timed two ways; the moment is set again before every frame,
// since a frame may step an animation and the next one must draw the same
// thing.
// - "a frame": as the game runs, one frame per animation frame, timed on the
//   page's thread. The frame runs once untimed and then once timed in the
//   same animation frame, so that its memory is as warm as in a loop. What
//   the browser then does with the picture elsewhere (the graphics
//   processor's upload and drawing with WebGL, the compositor) is not on the
//   page's thread and not counted. The page is cross-origin isolated, so the
//   clock reads to a few microseconds; each row is the mean of the middle
//   half of 60 frames, and the copy is measured the same way.
// - "in a loop": frames back to back, batches of 30 timed and divided, the
//   fastest of fifteen batches (other work on the machine only ever adds
//   time). With WebGL the loop soon waits for the graphics processor, which
//   here is a software one: that column then measures how fast SwiftShader
//   draws, not the page.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/frame.h"
#include "app/shell.h"
#include "bench/moments.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/web/web.h"

namespace shindan {
namespace {

constexpr std::size_t back_buffer_bytes = static_cast<std::size_t>(screen_width) * screen_height * 2;
constexpr int repetitions = 15;

void run_one_frame() {
  web::latch_tick();
  while (run_loop_turn() == loop_turn::event) {
  }
}

// Microseconds per call of work, the fastest of fifteen batches (the
// reference copy).
template <typename Work>
double fastest(int batch, Work work) {
  // Unmeasured first: the browser compiles hot code again, optimised, after
  // it has run a while.
  for (int i = 0; i < batch; ++i)
    work();
  double best = 1e30;
  for (int r = 0; r < repetitions; ++r) {
    const double start = emscripten_get_now();
    for (int i = 0; i < batch; ++i)
      work();
    const double each = (emscripten_get_now() - start) * 1000.0 / batch;
    if (each < best)
      best = each;
  }
  return best;
}

// Row 0 is the present alone; the rows after it are whole loop turns.
constexpr int frame_moment_count = sizeof frame_moments / sizeof frame_moments[0];
constexpr int moment_count = 1 + frame_moment_count;

const char* moment_label(int m) {
  return m == 0 ? "present: the screen into the canvas" : frame_moments[m - 1].label;
}

void run_moment(int m) {
  if (m == 0) {
    present_frame();
    return;
  }
  frame_moments[m - 1].set();
  run_one_frame();
}

std::vector<std::uint8_t> copy_from(back_buffer_bytes, 0x5A), copy_to(back_buffer_bytes);

void reference_copy() {
  std::memcpy(copy_to.data(), copy_from.data(), back_buffer_bytes);
  // Keeps the copy from being dropped as unused.
  __asm__ __volatile__("" : : "r"(copy_to.data()) : "memory");
}

double hot_reference = 0;
double hot[moment_count];
double load_ms = 0;

// One measurement an animation frame, as the game runs: row 0 is one copy,
// rows 1 on the moments; the rows take turns, so that a busy spell of the
// machine spreads over all of them alike.
constexpr int paced_rounds = 61;

// clang-format off
EM_JS(int, web_bench_packed_screen, (), { return Module.host.screenTakesPacked && Module.host.screenTakesPacked() ? 1 : 0; });
// clang-format on
std::vector<double> paced[moment_count + 1];
int paced_step = 0;

// The mean of the middle half: steadier than the median with a clock that
// reads in steps of five microseconds, and blind to the odd pause.
double middle_mean(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  double sum = 0;
  const std::size_t from = v.size() / 4, to = v.size() - v.size() / 4;
  for (std::size_t i = from; i < to; ++i)
    sum += v[i];
  return sum / static_cast<double>(to - from);
}

void print_tables() {
  if (web_bench_packed_screen())
    std::printf(
        "screen: WebGL 2, the 16-bit pixels uploaded as a texture; the graphics processor's work is "
        "asynchronous and not in \"a frame\"\n\n");
  else
    std::printf("screen: 2D canvas, the pixels widened to RGBA and put with putImageData\n\n");
  const double copy_paced = middle_mean(paced[0]);
  std::printf("| %-52s | %12s | %6s | %12s | %6s |\n", "frame (browser, WebAssembly)", "a frame", "copies", "in a loop",
              "copies");
  std::printf(
      "|------------------------------------------------------|-------------:|-------:|-------------:|-------:|\n");
  std::printf("| %-52s | %9.1f us | %6.1f | %9.1f us | %6.1f |\n", "reference: one back-buffer copy (614,400 bytes)",
              copy_paced, 1.0, hot_reference, 1.0);
  for (int m = 0; m < moment_count; ++m) {
    const double t = middle_mean(paced[m + 1]);
    std::printf("| %-52s | %9.1f us | %6.1f | %9.1f us | %6.1f |\n", moment_label(m), t, t / copy_paced, hot[m],
                hot[m] / hot_reference);
  }
  std::printf("| %-52s | %9.1f ms | %6s | %12s | %6s |\n", "first frame: loading 82 pictures and 8 sounds", load_ms, "",
              "", "");
}

EM_BOOL paced_frame(double, void*) {
  const int row = paced_step % (moment_count + 1);
  auto work = [row] {
    if (row == 0)
      reference_copy();
    else
      run_moment(row - 1);
  };
  // Untimed: warms the frame's memory.
  work();
  const double start = emscripten_get_now();
  work();
  const double took = (emscripten_get_now() - start) * 1000.0;
  // The first round only warms up.
  if (paced_step >= moment_count + 1)
    paced[row].push_back(took);
  if (++paced_step < paced_rounds * (moment_count + 1))
    return EM_TRUE;
  print_tables();
  std::printf("web-bench: done\n");
  std::fflush(stdout);
  return EM_FALSE;
}

}  // namespace
}  // namespace shindan

int main() {
  using namespace shindan;
  if (start_program() != start_result::quit) {
    std::printf("web-bench: the program did not start\n");
    return 1;
  }
  // The first frame loads every picture and sound.
  const double load_start = emscripten_get_now();
  run_one_frame();
  load_ms = emscripten_get_now() - load_start;

  hot_reference = fastest(1000, reference_copy);
  constexpr int batch = 30;
  // One batch of each, unmeasured, then the measured batches taken in turn,
  // so that a busy spell of the machine spreads over all rows alike.
  for (int round = -1; round < repetitions; ++round) {
    for (int m = 0; m < moment_count; ++m) {
      const double start = emscripten_get_now();
      for (int i = 0; i < batch; ++i)
        run_moment(m);
      const double each = (emscripten_get_now() - start) * 1000.0 / batch;
      if (round < 0)
        hot[m] = 1e30;
      else if (each < hot[m])
        hot[m] = each;
    }
  }
  emscripten_request_animation_frame_loop(paced_frame, nullptr);
  return 0;
}
