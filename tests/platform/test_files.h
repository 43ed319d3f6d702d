// A scratch directory for the files a test writes, removed afterwards.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace shindan::testing_files {

struct scratch_dir {
  std::string path;
  scratch_dir() {
    char name[] = "/tmp/shindan-platform-XXXXXX";
    if (mkdtemp(name))
      path = name;
  }
  ~scratch_dir() {
    std::error_code ignored;
    if (!path.empty())
      std::filesystem::remove_all(path, ignored);
  }
  std::string file(const std::string& name) const { return path + "/" + name; }
  // Writes bytes to name and answers the full path.
  std::string write(const std::string& name, const std::string& bytes) const {
    const std::string full = file(name);
    if (std::FILE* f = std::fopen(full.c_str(), "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    return full;
  }
};

}  // namespace shindan::testing_files
