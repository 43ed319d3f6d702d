// F12 saves the frame on screen as a 640x480 PNG in the player's pictures
// folder, through the same writer as the replay tool's shots: what a player
// saves and what a replay of the same keys shows are the same pixels, whatever
// size the window draws them at.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/common/frame_png.h"
#include "platform/common/surface.h"
#include "platform/sdl/sdl.h"

namespace shindan {

namespace {

constexpr int picture_width = 640;
constexpr int picture_height = 480;
// Saves within one second get a number after the time, up to this many.
constexpr int most_in_one_second = 99;

// What xdg-user-dir answers, without its line end; "" when it cannot run.
std::string ask_xdg_user_dir() {
  std::FILE* answer = popen("xdg-user-dir PICTURES 2>/dev/null", "r");
  if (answer == nullptr)
    return {};
  std::string line;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, answer) != nullptr)
    line += buffer;
  pclose(answer);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    line.pop_back();
  return line;
}

// The folder the desktop keeps pictures in. xdg-user-dir answers the home
// folder itself when none is set, and pictures strewn over a player's home
// folder are not what anyone wants: ~/Pictures then.
std::string pictures_folder() {
  const char* home_env = std::getenv("HOME");
  const std::string home = home_env != nullptr ? home_env : "";
  std::string folder = ask_xdg_user_dir();
  std::string plain = folder;
  while (plain.size() > 1 && plain.back() == '/')
    plain.pop_back();
  std::string plain_home = home;
  while (plain_home.size() > 1 && plain_home.back() == '/')
    plain_home.pop_back();
  if (!folder.empty() && folder[0] == '/' && plain != plain_home)
    return folder;
  return home.empty() ? std::string() : home + "/Pictures";
}

// shindan-YYYY-MM-DD-hh-mm-ss.png, local time.
std::string picture_name(std::time_t now, int number) {
  std::tm local = {};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H-%M-%S", &local);
  std::string name = std::string("shindan-") + stamp;
  if (number > 1)
    name += "-" + std::to_string(number);
  return name + ".png";
}

}  // namespace

void save_screenshot() {
  const plat_surface* frame = shown_frame();
  if (frame == nullptr || frame->width < static_cast<std::uint32_t>(picture_width) ||
      frame->height < static_cast<std::uint32_t>(picture_height))
    return;
  const std::string folder = pictures_folder();
  if (folder.empty()) {
    std::fprintf(stderr, "shindan: no pictures folder to save the screen in\n");
    return;
  }
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  const std::time_t now = std::time(nullptr);
  // Opened only if new ("x"): a picture already there is never overwritten.
  std::string path;
  std::FILE* file = nullptr;
  for (int number = 1; file == nullptr && number <= most_in_one_second; ++number) {
    path = folder + "/" + picture_name(now, number);
    file = std::fopen(path.c_str(), "wbx");
    if (file == nullptr && errno != EEXIST)
      break;
  }
  if (file == nullptr) {
    std::fprintf(stderr, "shindan: cannot save the screen in %s: %s\n", folder.c_str(), std::strerror(errno));
    return;
  }
  const bool written = write_frame_png(file, frame->memory.data(), frame->pitch, picture_width, picture_height,
                                       frame->layout == pixel_layout::rgb555);
  if (std::fclose(file) != 0 || !written) {
    std::remove(path.c_str());
    std::fprintf(stderr, "shindan: cannot save the screen as %s\n", path.c_str());
    return;
  }
  std::fprintf(stderr, "shindan: the screen is saved as %s\n", path.c_str());
}

}  // namespace shindan
