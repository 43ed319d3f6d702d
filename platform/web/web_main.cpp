// The browser's entry: the page has unpacked the game's files into the
// program's folder and calls main. Start-up runs at once; then every
// animation frame of the browser handles what is queued and runs one frame,
// so the page never blocks and needs no unwinding of the stack.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include "app/shell.h"
#include "app/view.h"
#include "platform/web/web.h"

namespace {

// clang-format off
EM_JS(void, web_started, (std::uint32_t tick), { Module.host.started(tick >>> 0); });
EM_JS(void, web_frame_done, (std::uint32_t tick), { Module.host.frameDone(tick >>> 0); });
EM_JS(void, web_ended, (), { Module.host.ended(); });
// clang-format on

EM_BOOL animation_frame(double, void*) {
  shindan::web::latch_tick();
  for (;;) {
    switch (shindan::run_loop_turn()) {
      case shindan::loop_turn::event:
        continue;
      case shindan::loop_turn::frame:
        web_frame_done(shindan::web::latched_tick());
        shindan::web::bring_in_late_files();
        return EM_TRUE;
      case shindan::loop_turn::quit:
        web_ended();
        return EM_FALSE;
    }
  }
}

}  // namespace

// What the page asks between frames, to turn a tap on the picture into the
// game's keys and to keep the standing analysis as a picture. The screen in
// one number: bits 0-1 its kind (0 other, 1 question, 2 the standing
// analysis), bit 2 whether the answers take keys now, bits 3-4 the marked
// answer, bit 5 whether the analysis shows the hidden test's set, bit 6
// whether a test is under way, bit 7 whether a press on the answers made now
// counts.
extern "C" EMSCRIPTEN_KEEPALIVE int shindan_view() {
  const shindan::screen_view view = shindan::current_view();
  return static_cast<int>(view.kind) | (view.answers_open ? 4 : 0) | ((view.marked_answer & 3) << 3) |
         (view.hidden_test ? 32 : 0) | (view.in_test ? 64 : 0) | (view.answers_settled ? 128 : 0);
}

// The score of trait 0-7 the standing analysis shows; 0 on other screens.
extern "C" EMSCRIPTEN_KEEPALIVE int shindan_view_score(int trait) {
  if (trait < 0 || trait >= 8)
    return 0;
  return shindan::current_view().scores[trait];
}

int main() {
  shindan::web::latch_tick();
  if (shindan::start_program() != shindan::start_result::quit) {
    web_ended();
    return 0;
  }
  web_started(shindan::web::latched_tick());
  emscripten_request_animation_frame_loop(animation_frame, nullptr);
  return 0;
}
