// The heavy moments of the game that the frame benchmarks time, shared by the
// native benchmark and the browser's: each setter puts the scenes into the
// state of one moment, so that the next loop turn draws exactly that frame.
// A frame may step an animation, so a benchmark sets its moment again before
// every frame.
#pragma once

namespace shindan {

void moment_empty();         // no scene: clearing, frame-time text, present
void moment_noise();         // the title's noise screen (step 17)
void moment_fade();          // the first message fading in (title step 11)
void moment_answering();     // background, both cursors and a question
void moment_flash();         // the confirmation flash over the answer
void moment_analysis();      // the finished analysis, eight full gauges
void moment_closing_wipe();  // half-way through the closing wipe

struct frame_moment {
  const char* label;
  void (*set)();
};

// Every moment above, in the order the benchmark tables print them.
extern const frame_moment frame_moments[7];

}  // namespace shindan
