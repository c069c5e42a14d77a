#include "card/formats/crypto_library.h"

#include <openssl/opensslv.h>

#include <cstdio>
#include <cstdlib>

#include "platform/shared_library.h"

namespace slk::formats {
namespace {

#define SLK_TEXT_OF(x) #x
#define SLK_TEXT(x) SLK_TEXT_OF(x)
// The library of the version the program was built against.
constexpr const char* kLibrary = "libcrypto.so." SLK_TEXT(OPENSSL_SHLIB_VERSION);
#undef SLK_TEXT
#undef SLK_TEXT_OF

[[noreturn]] void Missing(const char* what) {
  std::fprintf(stderr, "slotkeeper: cannot load %s from %s: %s\n", what, kLibrary,
               platform::SharedLibrary::Error());
  std::abort();
}

struct Loaded {
  platform::SharedLibrary library{kLibrary};
  CryptoFunctions functions{};

  Loaded() {
    if (!library.IsOpen()) Missing("the library");
    Find(functions.mdNew, "EVP_MD_CTX_new");
    Find(functions.mdFree, "EVP_MD_CTX_free");
    Find(functions.digestInit, "EVP_DigestInit_ex");
    Find(functions.digestUpdate, "EVP_DigestUpdate");
    Find(functions.digestFinal, "EVP_DigestFinal_ex");
    Find(functions.sha256, "EVP_sha256");
    Find(functions.sha1, "EVP_sha1");
    Find(functions.cipherNew, "EVP_CIPHER_CTX_new");
    Find(functions.cipherFree, "EVP_CIPHER_CTX_free");
    Find(functions.cipherSetPadding, "EVP_CIPHER_CTX_set_padding");
    Find(functions.cipherInit, "EVP_CipherInit_ex");
    Find(functions.cipherUpdate, "EVP_CipherUpdate");
    Find(functions.cipherFinal, "EVP_CipherFinal_ex");
    Find(functions.aes128Cbc, "EVP_aes_128_cbc");
    Find(functions.aes128Ecb, "EVP_aes_128_ecb");
    Find(functions.hmac, "HMAC");
  }

  template <typename F>
  void Find(F*& function, const char* name) {
    if (!library.Find(function, name)) Missing(name);
  }
};

}  // namespace

const CryptoFunctions& Crypto() {
  static const Loaded loaded;
  return loaded.functions;
}

}  // namespace slk::formats
