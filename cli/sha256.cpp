#include "cli/sha256.h"

#include <new>

#include "card/formats/crypto_library.h"

namespace slk {

using formats::Crypto;

struct Sha256::Context {
  struct Free {
    void operator()(EVP_MD_CTX* context) const { Crypto().mdFree(context); }
  };
  std::unique_ptr<EVP_MD_CTX, Free> md{Crypto().mdNew()};
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  // Only running out of memory makes these fail; a digest of nothing would
  // pass for a real one, so that is treated as such.
  if (!context_->md || Crypto().digestInit(context_->md.get(), Crypto().sha256(), nullptr) != 1)
    throw std::bad_alloc();
}

Sha256::~Sha256() = default;

void Sha256::Update(std::span<const std::uint8_t> data) {
  if (!data.empty()) Crypto().digestUpdate(context_->md.get(), data.data(), data.size());
}

std::array<std::uint8_t, 32> Sha256::Finish() {
  std::array<std::uint8_t, 32> digest{};
  unsigned int length = 0;
  Crypto().digestFinal(context_->md.get(), digest.data(), &length);
  return digest;
}

std::string Sha256::FinishHex() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t byte : Finish()) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
  }
  return text;
}

std::string Sha256Hex(std::span<const std::uint8_t> data) {
  Sha256 hash;
  hash.Update(data);
  return hash.FinishHex();
}

}  // namespace slk
