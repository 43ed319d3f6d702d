// The desktop program played with a gamepad alone: SDL's virtual joystick,
// plugged in while the game runs, answers a whole Shift test, and the Shift
// scores and the result file must be the ones the headless replay gives for
// the same answers. The
// program runs on SDL's dummy video and audio drivers, so it needs no screen.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/shell.h"
#include "game/game.h"
#include "platform/sdl/sdl.h"

namespace shindan {
namespace {

namespace fs = std::filesystem;

// How many times Down is pressed before the answer is confirmed.
constexpr int shift_answers[12] = {0, 1, 2, 1, 0, 2, 2, 1, 0, 0, 1, 2};
const char* const result_name = "\xe5\x88\x86\xe6\x9e\x90\xe7\xb5\x90\xe6\x9e\x9c.txt";  // 分析結果.txt

std::string read_file(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A folder of links to the game's pictures and sounds, to play in.
fs::path game_folder(const fs::path& root, const char* name) {
  const fs::path folder = root / name;
  fs::create_directories(folder);
  for (const auto& entry : fs::directory_iterator(SHINDAN_TEST_GAME_DIR)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".bm" || ext == ".wav" || ext == ".mid")
      fs::create_symlink(entry.path(), folder / entry.path().filename());
  }
  return folder;
}

struct replayed {
  std::string result_file;
  std::string shift_scores;  // as the replay prints them: "shift: 1 -2 ..."
};

// What the headless replay gives for the same answers.
replayed replay(const fs::path& root) {
  const fs::path folder = game_folder(root, "replay");
  std::ofstream script(folder / "script.txt");
  script << "until title 7 max 20000\ntap shift\n";
  for (int downs : shift_answers) {
    script << "until answering max 20000\nframes 3\n";
    for (int i = 0; i < downs; ++i)
      script << "tap down\nframes 2\n";
    script << "tap space\n";
  }
  script << "until analysis 21 max 100000\ntap space\nuntil title 0 max 20000\n";
  script.close();
  const std::string command =
      "cd '" + folder.string() + "' && '" SHINDAN_TEST_TOOL "' replay script.txt > replay.log 2>&1";
  const int status = std::system(command.c_str());
  const std::string log = read_file(folder / "replay.log");
  EXPECT_EQ(status, 0) << log;
  const std::size_t at = log.find("shift:");
  return {read_file(folder / result_name), at == std::string::npos ? "" : log.substr(at, log.find('\n', at) - at)};
}

std::string shift_scores() {
  std::string text = "shift:";
  for (int t = 0; t < trait_count; ++t) {
    text += ' ';
    text += std::to_string(scoring.trait_scores[t][1]);
  }
  return text;
}

class pad {
 public:
  pad() {
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                SDL_CONTROLLER_BUTTON_MAX, 0);
    EXPECT_GE(index, 0) << SDL_GetError();
    joystick_ = SDL_JoystickOpen(index);
    EXPECT_NE(joystick_, nullptr) << SDL_GetError();
  }
  ~pad() {
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
    SDL_JoystickClose(joystick_);
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == id)
        SDL_JoystickDetachVirtual(i);
  }
  void button(SDL_GameControllerButton b, bool down) { SDL_JoystickSetVirtualButton(joystick_, b, down ? 1 : 0); }
  void axis(SDL_GameControllerAxis a, Sint16 value) { SDL_JoystickSetVirtualAxis(joystick_, a, value); }

 private:
  SDL_Joystick* joystick_ = nullptr;
};

// Frames of the real loop; the program must never end on its own.
void frames(int n) {
  for (int done = 0; done < n;) {
    const loop_turn turn = run_loop_turn();
    ASSERT_NE(turn, loop_turn::quit) << "the program ended";
    done += turn == loop_turn::frame ? 1 : 0;
  }
}

template <typename Done>
void until(const char* what, Done done, int max_frames = 20000) {
  for (int i = 0; i < max_frames && !done(); ++i)
    ASSERT_NO_FATAL_FAILURE(frames(1));
  ASSERT_TRUE(done()) << "never reached: " << what;
}

// A press the game's latches see: held for two frames, then up for three.
template <typename Press>
void tap(Press press) {
  press(true);
  frames(2);
  press(false);
  frames(3);
}

bool answering() {
  return scenes.question_active == 1 && questions.answer_active == 1;
}

TEST(pad, a_whole_test_answered_with_the_pad_alone) {
  ASSERT_TRUE(fs::exists(fs::path(SHINDAN_TEST_GAME_DIR) / "q049.bm")) << "no asset pack in " SHINDAN_TEST_GAME_DIR;
  char pattern[] = "/tmp/shindan-pad-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path root = pattern;
  const replayed expected = replay(root);
  ASSERT_EQ(expected.result_file.size(), 144u);
  ASSERT_FALSE(expected.shift_scores.empty());

  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  // The dummy display has no keyboard focus; a pad is read all the same.
  setenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1", 1);
  const fs::path here = fs::current_path();
  fs::current_path(game_folder(root, "play"));
  ASSERT_EQ(start_program(), start_result::quit);

  {
    // Plugged in while the game runs. No other button or stick does a thing
    // at the title, and none of them closes the game.
    pad first;
    frames(3);
    // A hurries the title on to where it waits.
    while (!(scenes.title_active == 1 && scenes.title_step == 7))
      ASSERT_NO_FATAL_FAILURE(tap([&](bool down) { first.button(SDL_CONTROLLER_BUTTON_A, down); }));
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b) {
      const auto button = static_cast<SDL_GameControllerButton>(b);
      if (button != SDL_CONTROLLER_BUTTON_A && button != SDL_CONTROLLER_BUTTON_Y &&
          button != SDL_CONTROLLER_BUTTON_BACK)
        tap([&](bool down) { first.button(button, down); });
    }
    for (SDL_GameControllerAxis a : {SDL_CONTROLLER_AXIS_LEFTX, SDL_CONTROLLER_AXIS_RIGHTX, SDL_CONTROLLER_AXIS_RIGHTY,
                                     SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_CONTROLLER_AXIS_TRIGGERRIGHT})
      tap([&](bool down) { first.axis(a, down ? 32767 : 0); });
    ASSERT_TRUE(scenes.title_active == 1 && scenes.title_step == 7) << "a button with no meaning did something";

    // Y starts the Shift test; A skips the introduction.
    tap([&](bool down) { first.button(SDL_CONTROLLER_BUTTON_Y, down); });
    until(
        "the Shift test", [] { return scenes.shift_mode == 1; }, 100);
    for (int q = 0; q < 6; ++q) {
      until("a question to answer", answering);
      frames(3);
      // Down to the answer, or round the top with Up.
      const bool up = q % 2 == 1;
      for (int i = 0; i < (up ? (3 - shift_answers[q]) % 3 : shift_answers[q]); ++i)
        tap([&](bool down) {
          first.button(up ? SDL_CONTROLLER_BUTTON_DPAD_UP : SDL_CONTROLLER_BUTTON_DPAD_DOWN, down);
        });
      tap([&](bool down) { first.button(SDL_CONTROLLER_BUTTON_A, down); });
    }
  }
  // Unplugged half way; another pad, plugged in later, goes on with the stick.
  frames(10);
  pad second;
  for (int q = 6; q < 12; ++q) {
    until("a question to answer", answering);
    frames(3);
    const bool up = q % 2 == 1;
    for (int i = 0; i < (up ? (3 - shift_answers[q]) % 3 : shift_answers[q]); ++i)
      tap([&](bool down) { second.axis(SDL_CONTROLLER_AXIS_LEFTY, down ? (up ? -32768 : 32767) : 0); });
    tap([&](bool down) { second.button(SDL_CONTROLLER_BUTTON_A, down); });
  }
  until(
      "the whole analysis", [] { return scenes.analysis_active == 1 && scenes.analysis_step == 21; }, 100000);
  tap([&](bool down) { second.button(SDL_CONTROLLER_BUTTON_A, down); });
  until("the title again", [] { return scenes.title_active == 1 && scenes.title_step == 0; });
  EXPECT_EQ(shift_scores(), expected.shift_scores);
  EXPECT_EQ(read_file(result_name), expected.result_file);

  close_program();
  fs::current_path(here);
  shut_down_music();
  shut_down_sound();
  SDL_Quit();
  fs::remove_all(root);
}

}  // namespace
}  // namespace shindan
