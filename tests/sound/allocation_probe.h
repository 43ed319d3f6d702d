#pragma once

#include <cstddef>

namespace shindan::test {
// The largest block requested through operator new since it was last zeroed.
extern std::size_t largest_allocation;
}  // namespace shindan::test
