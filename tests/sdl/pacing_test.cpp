// Frame pacing on an X server (run under xvfb-run): presented frames never
// outrun the display's refresh rate, whether the renderer waits for the
// vertical blank or was told not to (SDL_RENDER_VSYNC=0, as a driver that
// ignores the wait behaves), and the waiting leaves the processor idle. The
// checks are one-sided: a slow machine only shows fewer frames.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/sdl/sdl.h"

namespace shindan {
namespace {

struct measured {
  double frames_per_second = 0;
  double processor_share = 0;  // processor time over wall time
  int refresh_rate = 0;
};

measured present_for(double seconds) {
  measured m;
  plat_display_objects objects;
  EXPECT_TRUE(plat_open_window());
  EXPECT_EQ(plat_open_display(&objects), plat_display_stage::ready);
  SDL_DisplayMode mode;
  m.refresh_rate = SDL_GetCurrentDisplayMode(0, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t processor_start = std::clock();
  int frames = 0;
  double elapsed = 0;
  while (elapsed < seconds) {
    EXPECT_EQ(plat_poll_event(), plat_event::none);
    EXPECT_EQ(plat_present(objects), plat_result::ok);
    ++frames;
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  m.frames_per_second = frames / elapsed;
  m.processor_share = static_cast<double>(std::clock() - processor_start) / CLOCKS_PER_SEC / elapsed;
  plat_close_display(objects);
  plat_close_window();
  return m;
}

TEST(pacing, frames_follow_the_display_with_or_without_vsync) {
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "no X server";
  setenv("SHINDAN_WINDOWED", "1", 1);
  for (const char* vsync : {"1", "0"}) {
    setenv("SDL_RENDER_VSYNC", vsync, 1);
    const measured m = present_for(1.5);
    std::printf("vsync %s: %.1f frames a second at %d Hz, %.0f%% of a processor\n", vsync, m.frames_per_second,
                m.refresh_rate, m.processor_share * 100);
    EXPECT_LE(m.frames_per_second, m.refresh_rate * 1.1 + 1) << "vsync " << vsync;
    // A loop that spins keeps one processor busy all the time.
    EXPECT_LT(m.processor_share, 0.8) << "vsync " << vsync;
  }
  SDL_Quit();
}

}  // namespace
}  // namespace shindan
