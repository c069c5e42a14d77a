// Replaces the global operator new and delete of the resource limit tests.
// Each block carries its size in a header so that delete can count it down.

#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace slk::testing {
namespace {

constexpr std::size_t kHeader = alignof(std::max_align_t);

std::atomic<std::size_t> live{0};
std::atomic<std::size_t> base{0};
std::atomic<std::size_t> peak{0};
std::atomic<std::size_t> largest{0};

void RaiseTo(std::atomic<std::size_t>& value, std::size_t candidate) {
  std::size_t seen = value.load();
  while (candidate > seen && !value.compare_exchange_weak(seen, candidate)) {
  }
}

void* Allocate(std::size_t size) {
  RaiseTo(largest, size);
  if (size > static_cast<std::size_t>(-1) - kHeader) return nullptr;
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) return nullptr;
  *static_cast<std::size_t*>(block) = size;
  RaiseTo(peak, live += size);
  return static_cast<char*>(block) + kHeader;
}

void Release(void* p) {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - kHeader;
  live -= *static_cast<std::size_t*>(block);
  std::free(block);
}

}  // namespace

void StartCountingAllocations() {
  base = live.load();
  peak = live.load();
  largest = 0;
}

AllocationStats AllocationsSinceStart() {
  return AllocationStats{peak.load() - base.load(), largest.load()};
}

}  // namespace slk::testing

void* operator new(std::size_t size) {
  void* p = slk::testing::Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return slk::testing::Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return slk::testing::Allocate(size);
}
void operator delete(void* p) noexcept {
  slk::testing::Release(p);
}
void operator delete[](void* p) noexcept {
  slk::testing::Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  slk::testing::Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  slk::testing::Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  slk::testing::Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  slk::testing::Release(p);
}
