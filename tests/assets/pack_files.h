// Where the generated pack lies, and small file helpers for its tests.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace shindan::pack_test {

inline std::string game_file(const std::string& name) {
  return std::string(SHINDAN_TEST_GAME_DIR) + "/" + name;
}

inline std::vector<std::uint8_t> read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    return {};
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

inline std::uint32_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (static_cast<std::uint32_t>(b[at + 1]) << 8);
}
inline std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return le16(b, at) | (le16(b, at + 2) << 16);
}
inline std::uint32_t be(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) {
    v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  }
  return v;
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
