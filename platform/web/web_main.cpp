// The browser's entry: the page has unpacked the game's files into the
// program's folder and calls main. Start-up runs at once; then every
// animation frame of the browser handles what is queued and runs one frame,
// so the page never blocks and needs no unwinding of the stack.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include "app/shell.h"
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
        return EM_TRUE;
      case shindan::loop_turn::quit:
        web_ended();
        return EM_FALSE;
    }
  }
}

}  // namespace

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
