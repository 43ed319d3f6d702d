// The desktop program's entry: the portable start-up and loop, then the
// backend's own teardown, with the exit status of the platform.
#include "app/shell.h"
#include "platform/sdl/sdl.h"

int main() {
  SDL_SetMainReady();
  const shindan::start_result result = shindan::run_program();
  shindan::shut_down_music();
  shindan::shut_down_sound();
  SDL_Quit();
  // 0 after a normal quit and 1 when start-up failed: a failure reported as
  // 0 would read as success to the shell.
  return result == shindan::start_result::quit ? 0 : 1;
}
