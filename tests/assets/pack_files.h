// Where the generated pack lies.
#pragma once

#include <string>

#include "tests/support/files.h"

namespace shindan::pack_test {

using namespace testing_files;

inline std::string game_file(const std::string& name) {
  return std::string(SHINDAN_TEST_GAME_DIR) + "/" + name;
}

}  // namespace shindan::pack_test
