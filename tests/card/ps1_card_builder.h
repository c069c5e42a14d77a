#pragma once
// Builds raw PS1 card bytes frame by frame, independently of the writer under
// test, so that tests can lay out any card: gaps, deleted saves, chains.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace slk::testing {

class PS1CardBuilder {
 public:
  static constexpr std::size_t kFrame = 128;
  static constexpr std::size_t kBlock = 8192;

  PS1CardBuilder() : bytes_(131072, 0) {
    bytes_[0] = 'M';
    bytes_[1] = 'C';
    Seal(0);
    for (int i = 1; i <= 15; ++i) Directory(i, 0xA0, 0, 0xFFFF, "");
  }

  // Directory frame `frame` (1-15) describes block `frame`.
  PS1CardBuilder& Directory(int frame, std::uint32_t state, std::uint32_t size, std::uint16_t link,
                            const std::string& name) {
    std::uint8_t* f = &bytes_[frame * kFrame];
    std::memset(f, 0, kFrame);
    Put32(f, state);
    Put32(f + 4, size);
    f[8] = static_cast<std::uint8_t>(link);
    f[9] = static_cast<std::uint8_t>(link >> 8);
    std::memcpy(f + 10, name.data(), name.size() < 22 ? name.size() : 22);
    Seal(frame);
    return *this;
  }

  // Fills block `block` (1-15) with a recognisable pattern; for a save's
  // first block, a title frame with the given title and block count.
  PS1CardBuilder& Block(int block, std::uint8_t fill, const std::string& title = "",
                        std::uint8_t blockCount = 0) {
    std::uint8_t* b = &bytes_[block * kBlock];
    std::memset(b, fill, kBlock);
    if (!title.empty()) {
      std::memset(b, 0, kFrame);
      b[0] = 'S';
      b[1] = 'C';
      b[2] = 0x11;
      b[3] = blockCount;
      std::memcpy(b + 4, title.data(), title.size() < 64 ? title.size() : 64);
    }
    return *this;
  }

  // The 3,904-byte header DexDrive software writes in front of this card: its
  // signature, the bytes 1 at 0x12 and 0x14 and 'M' at 0x15, then byte 0
  // (state) and byte 8 (link) of each directory frame, comments empty.
  std::vector<std::uint8_t> DexDriveHeader() const {
    std::vector<std::uint8_t> header(3904, 0);
    std::memcpy(header.data(), "123-456-STD", 11);
    header[0x12] = 0x01;
    header[0x14] = 0x01;
    header[0x15] = 'M';
    for (int i = 0; i < 15; ++i) {
      header[0x16 + i] = bytes_[(i + 1) * kFrame];
      header[0x26 + i] = bytes_[(i + 1) * kFrame + 8];
    }
    return header;
  }

  std::uint8_t* Raw() { return bytes_.data(); }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::vector<std::uint8_t> BlockBytes(int block) const {
    return std::vector<std::uint8_t>(bytes_.begin() + block * kBlock,
                                     bytes_.begin() + (block + 1) * kBlock);
  }

 private:
  static void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  void Seal(int frame) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 127; ++i) sum ^= bytes_[frame * kFrame + i];
    bytes_[frame * kFrame + 127] = sum;
  }

  std::vector<std::uint8_t> bytes_;
};

}  // namespace slk::testing
