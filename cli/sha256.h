#pragma once
// SHA-256 through OpenSSL's libcrypto, enough to fingerprint a save's bytes
// in `list --json` so that scripts can tell whether a conversion kept a save
// unchanged.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace slk {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(std::span<const std::uint8_t> data);
  // Finishes the digest; the object must not be updated afterwards.
  std::array<std::uint8_t, 32> Finish();
  // Finish() as 64 lower-case hex digits.
  std::string FinishHex();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

std::string Sha256Hex(std::span<const std::uint8_t> data);

}  // namespace slk
