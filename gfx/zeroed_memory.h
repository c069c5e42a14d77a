#pragma once
// Zero-filled memory for a surface's pixels that costs nothing until it is
// written. Most surfaces are drawn over whole before they are read (the
// frames, the icon frames of the cells in use) or never touched at all (the
// icon frames of empty cells): a large block comes straight from the system
// as untouched pages, which read as zero and become resident only where they
// are written. Small blocks, and every block under a sanitizer (which checks
// heap blocks only), come zeroed from the heap.

#include <cstddef>
#include <cstdint>

namespace slk::gfx {

class ZeroedMemory {
 public:
  // Throws std::bad_alloc when there is no memory, as a vector would.
  explicit ZeroedMemory(std::size_t size);
  ZeroedMemory(const ZeroedMemory&) = delete;
  ZeroedMemory& operator=(const ZeroedMemory&) = delete;
  ~ZeroedMemory();

  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::uint8_t* begin() { return data_; }
  std::uint8_t* end() { return data_ + size_; }
  const std::uint8_t* begin() const { return data_; }
  const std::uint8_t* end() const { return data_ + size_; }

  // Has the system back every page now, as the first writes would, in one
  // call instead of a fault per page; the contents stay zero. Only for
  // mapped pages, and only where the system can (Linux 5.14 on): otherwise
  // nothing happens. Safe beside other threads' reads and writes.
  void Populate() const;

  // Blocks of this size and more are mapped pages (outside sanitizers).
  static constexpr std::size_t kMappedFrom = 16 * 1024;

 private:
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
};

}  // namespace slk::gfx
