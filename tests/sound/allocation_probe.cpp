// Replaces the global allocation functions of this test program so that a
// test can see the largest single block anything asked for.
#include "allocation_probe.h"

#include <cstdlib>
#include <new>

namespace shindan::test {
std::size_t largest_allocation = 0;
}

namespace {
void* allocate(std::size_t size) {
  if (size > shindan::test::largest_allocation)
    shindan::test::largest_allocation = size;
  return std::malloc(size == 0 ? 1 : size);
}
void* allocate_or_throw(std::size_t size) {
  void* p = allocate(size);
  if (p == nullptr)
    throw std::bad_alloc();
  return p;
}
}  // namespace

void* operator new(std::size_t size) {
  return allocate_or_throw(size);
}
void* operator new[](std::size_t size) {
  return allocate_or_throw(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
