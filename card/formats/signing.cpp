#include "card/formats/signing.h"

#include <cstring>
#include <memory>

#include "card/formats/crypto_library.h"

namespace slk::formats {
namespace {

constexpr std::uint8_t kPs1Key[16] = {0xAB, 0x5A, 0xBC, 0x9F, 0xC1, 0xF4, 0x9D, 0xE6,
                                      0xA0, 0x51, 0xDB, 0xAE, 0xFA, 0x51, 0x88, 0x59};
constexpr std::uint8_t kPs2Key[16] = {0xEA, 0x02, 0xCE, 0xEF, 0x5B, 0xB4, 0xD2, 0x99,
                                      0x8F, 0x61, 0x19, 0x10, 0xD7, 0x7F, 0x51, 0xC6};
constexpr std::uint8_t kIv[16] = {0xB3, 0x0F, 0xFE, 0xED, 0xB7, 0xDC, 0x5E, 0xB7,
                                  0x13, 0x3D, 0xA6, 0x0D, 0x1B, 0x6B, 0x2C, 0xDC};

struct CipherFree {
  void operator()(EVP_CIPHER_CTX* c) const { Crypto().cipherFree(c); }
};

// AES-128 over whole blocks, without padding; `iv` null for ECB.
void Aes(bool decrypt, const std::uint8_t* key, const std::uint8_t* iv, const std::uint8_t* in,
         std::uint8_t* out, int size) {
  const CryptoFunctions& c = Crypto();
  std::unique_ptr<EVP_CIPHER_CTX, CipherFree> ctx(c.cipherNew());
  const EVP_CIPHER* cipher = iv ? c.aes128Cbc() : c.aes128Ecb();
  c.cipherInit(ctx.get(), cipher, nullptr, key, iv, decrypt ? 0 : 1);
  c.cipherSetPadding(ctx.get(), 0);
  int n = 0;
  c.cipherUpdate(ctx.get(), out, &n, in, size);
  int tail = 0;
  c.cipherFinal(ctx.get(), out + n, &tail);
}

std::array<std::uint8_t, 20> HmacKey(const std::uint8_t* seed, SignKind kind) {
  std::array<std::uint8_t, 20> key{};
  if (kind == SignKind::Ps1) {
    // Two blocks from the seed's first 16 bytes: decrypted and whitened by
    // the IV, then encrypted and whitened by the seed's last four bytes
    // padded with 0xFF.
    std::uint8_t a[16], b[16];
    Aes(true, kPs1Key, nullptr, seed, a, 16);
    Aes(false, kPs1Key, nullptr, seed, b, 16);
    for (int i = 0; i < 16; ++i) key[i] = a[i] ^ kIv[i];
    for (int i = 0; i < 4; ++i) key[16 + i] = b[i] ^ seed[16 + i];
  } else {
    // The seed padded with zeros to 64 bytes, CBC-decrypted; its first 20 bytes.
    std::uint8_t in[64] = {}, out[64];
    std::memcpy(in, seed, 20);
    Aes(true, kPs2Key, kIv, in, out, 64);
    std::memcpy(key.data(), out, 20);
  }
  return key;
}

}  // namespace

Signature ComputeSignature(ByteView file, std::size_t seedOffset, std::size_t signatureOffset,
                           SignKind kind) {
  std::array<std::uint8_t, 20> key = HmacKey(file.data() + seedOffset, kind);
  Bytes copy(file.begin(), file.end());
  std::memset(copy.data() + signatureOffset, 0, 20);
  Signature sig{};
  unsigned int n = 0;
  Crypto().hmac(Crypto().sha1(), key.data(), static_cast<int>(key.size()), copy.data(), copy.size(),
                sig.data(), &n);
  return sig;
}

}  // namespace slk::formats
