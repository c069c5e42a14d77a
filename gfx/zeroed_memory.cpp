#include "gfx/zeroed_memory.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace slk::gfx {

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kUnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
constexpr bool kUnderSanitizer = true;
#else
constexpr bool kUnderSanitizer = false;
#endif
#else
constexpr bool kUnderSanitizer = false;
#endif

}  // namespace

ZeroedMemory::ZeroedMemory(std::size_t size) : size_(size) {
  if (size == 0) return;
  if (!kUnderSanitizer && size >= kMappedFrom) {
    void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) throw std::bad_alloc();
    data_ = static_cast<std::uint8_t*>(pages);
    mapped_ = true;
    return;
  }
  // calloc, not a vector's value-initialisation: it need not clear memory
  // that is fresh from the system.
  data_ = static_cast<std::uint8_t*>(std::calloc(size, 1));
  if (data_ == nullptr) throw std::bad_alloc();
}

void ZeroedMemory::Populate() const {
#ifdef MADV_POPULATE_WRITE
  if (mapped_) madvise(data_, size_, MADV_POPULATE_WRITE);
#endif
}

ZeroedMemory::~ZeroedMemory() {
  if (mapped_) {
    munmap(data_, size_);
  } else {
    std::free(data_);
  }
}

}  // namespace slk::gfx
