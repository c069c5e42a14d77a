#pragma once
// SHA-256 (FIPS 180-4), enough to fingerprint a save's bytes in `list --json`
// so that scripts can tell whether a conversion kept a save unchanged.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace slk {

class Sha256 {
 public:
  Sha256();
  void Update(std::span<const std::uint8_t> data);
  // Finishes the digest; the object must not be updated afterwards.
  std::array<std::uint8_t, 32> Finish();
  // Finish() as 64 lower-case hex digits.
  std::string FinishHex();

 private:
  void Compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t totalBytes_ = 0;
};

std::string Sha256Hex(std::span<const std::uint8_t> data);

}  // namespace slk
