// Where the generated pack lies, and a fresh folder for the generator to fill.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace shindan::pack_test {

inline std::string game_file(const std::string& name) {
  return std::string(SHINDAN_TEST_GAME_DIR) + "/" + name;
}

using testing_files::be;
using testing_files::le16;
using testing_files::le32;
inline std::vector<std::uint8_t> read_bytes(const std::string& path) {
  return testing_files::read_file(path);
}

// A fresh directory under the system's temporary folder.
inline std::filesystem::path make_temp_dir(const std::string& tag) {
  static int counter = 0;
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("shindan-assets-" + std::to_string(::getpid()) + "-" + tag + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  return path;
}

}  // namespace shindan::pack_test
