// The desktop build's speech against a stand-in speech server on a Unix
// socket, found through SPEECHD_ADDRESS: the game itself, on SDL's dummy
// drivers, says its title in the pack's language and V switches it off with
// a last word; a server that never answers holds nothing up; with no server
// the game goes on silently and says so once.
#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/frame.h"
#include "app/shell.h"
#include "game/game.h"
#include "platform/sdl/sdl.h"
#include "tests/sdl/ssip_stand_in.h"

namespace shindan {
namespace {

namespace fs = std::filesystem;
using testing_ssip::stand_in;

fs::path scratch() {
  std::string pattern = (fs::temp_directory_path() / "shindan-speech-XXXXXX").string();
  return mkdtemp(pattern.data()) != nullptr ? fs::path(pattern) : fs::path();
}

std::string words_line(const char* key) {
  std::ifstream words(fs::path(SHINDAN_TEST_GAME_DIR) / "words.txt");
  const std::string start = std::string(key) + "=";
  for (std::string line; std::getline(words, line);)
    if (line.rfind(start, 0) == 0)
      return line.substr(start.size());
  return {};
}

void frames(int n) {
  for (int done = 0; done < n;) {
    const loop_turn turn = run_loop_turn();
    ASSERT_NE(turn, loop_turn::quit);
    done += turn == loop_turn::frame ? 1 : 0;
  }
}

TEST(desktop_speech, the_game_speaks_through_the_server_in_its_language) {
  const fs::path root = scratch();
  ASSERT_FALSE(root.empty());
  stand_in server((root / "speechd.sock").string(), true);
  ASSERT_TRUE(server.listening());
  const fs::path folder = root / "play";
  fs::create_directories(folder);
  for (const auto& entry : fs::directory_iterator(SHINDAN_TEST_GAME_DIR)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".bm" || ext == ".wav" || ext == ".mid" || entry.path().filename() == "words.txt")
      fs::create_symlink(entry.path(), folder / entry.path().filename());
  }
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  setenv("SHINDAN_SPEECH", "1", 1);
  setenv("SPEECHD_ADDRESS", ("unix_socket:" + (root / "speechd.sock").string()).c_str(), 1);
  const fs::path here = fs::current_path();
  fs::current_path(folder);
  ASSERT_EQ(start_program(), start_result::quit);

  for (int i = 0; i < 20000 && !(scenes.title_active == 1 && scenes.title_step == 7); ++i)
    ASSERT_NO_FATAL_FAILURE(frames(1));
  ASSERT_TRUE(server.wait_for("speak " + words_line("prompt")));
  auto events = server.events();
  const auto title = std::find(events.begin(), events.end(), "speak " + words_line("title"));
  const auto language = std::find(events.begin(), events.end(), "language ja");
  EXPECT_TRUE(language < title) << "the language is set before the first words";

  // V: "speech off", cutting off what was still being said.
  SDL_Event v{};
  v.type = SDL_KEYDOWN;
  v.key.keysym.sym = SDLK_v;
  v.key.keysym.scancode = SDL_SCANCODE_V;
  ASSERT_EQ(SDL_PushEvent(&v), 1);
  ASSERT_NO_FATAL_FAILURE(frames(2));
  ASSERT_TRUE(server.wait_for("speak " + words_line("speech_off")));
  events = server.events();
  EXPECT_EQ(*(std::find(events.begin(), events.end(), "speak " + words_line("speech_off")) - 1), "cancel");
  // Off: the start of a test says nothing more.
  SDL_Event space{};
  space.type = SDL_KEYDOWN;
  space.key.keysym.sym = SDLK_SPACE;
  ASSERT_EQ(SDL_PushEvent(&space), 1);
  ASSERT_NO_FATAL_FAILURE(frames(200));
  const std::size_t said = server.events().size();

  close_program();
  shut_down_music();
  shut_down_sound();
  fs::current_path(here);
  EXPECT_TRUE(server.wait_for("closed"));
  events = server.events();
  EXPECT_EQ(std::count_if(events.begin() + static_cast<long>(said), events.end(),
                          [](const std::string& e) { return e.rfind("speak ", 0) == 0; }),
            0);
  fs::remove_all(root);
}

TEST(desktop_speech, a_server_that_never_answers_holds_nothing_up) {
  const fs::path root = scratch();
  {
    stand_in hung((root / "hung.sock").string(), false);
    setenv("SPEECHD_ADDRESS", ("unix_socket:" + (root / "hung.sock").string()).c_str(), 1);
    plat_open_speech("en");
    plat_set_speech(true);
    for (int i = 0; i < 100; ++i)
      plat_speak("words nobody hears", i % 2 == 0);
    ASSERT_TRUE(hung.wait_for("connected"));
    // Returns although the server still has not answered.
    plat_close_speech();
  }
  // A later opening starts afresh and speaks.
  stand_in server((root / "speechd.sock").string(), true);
  setenv("SPEECHD_ADDRESS", ("unix_socket:" + (root / "speechd.sock").string()).c_str(), 1);
  plat_open_speech("en");
  plat_set_speech(true);
  plat_speak("Speech on", true);
  EXPECT_TRUE(server.wait_for("speak Speech on"));
  EXPECT_TRUE(server.wait_for("language en"));
  plat_close_speech();
  EXPECT_TRUE(server.wait_for("closed"));
  fs::remove_all(root);
}

TEST(desktop_speech, no_server_plays_silently_and_says_so_once) {
  const fs::path root = scratch();
  // A folder that does not exist: neither a server nor a spawned one can be there.
  setenv("SPEECHD_ADDRESS", ("unix_socket:" + (root / "none" / "speechd.sock").string()).c_str(), 1);
  const fs::path log = root / "stderr.txt";
  const int saved = dup(2);
  const int file = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  dup2(file, 2);
  plat_open_speech("ja");
  plat_set_speech(true);
  auto told = [&] {
    std::ifstream in(log);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  plat_speak("first", true);
  for (int i = 0; i < 1000 && told().find('\n') == std::string::npos; ++i)
    SDL_Delay(10);
  plat_speak("second", false);
  plat_speak("third", true);
  plat_close_speech();
  dup2(saved, 2);
  close(saved);
  close(file);
  const std::string text = told();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  EXPECT_NE(text.find("no speech server"), std::string::npos) << text;
  fs::remove_all(root);
}

}  // namespace
}  // namespace shindan
