#include "card/formats/crypto_library.h"

#include <dlfcn.h>
#include <openssl/opensslv.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace slk::formats {
namespace {

#define SLK_TEXT_OF(x) #x
#define SLK_TEXT(x) SLK_TEXT_OF(x)
// The library of the version the program was built against.
constexpr const char* kLibrary = "libcrypto.so." SLK_TEXT(OPENSSL_SHLIB_VERSION);
#undef SLK_TEXT
#undef SLK_TEXT_OF

struct Close {
  void operator()(void* handle) const { ::dlclose(handle); }
};

[[noreturn]] void Missing(const char* what) {
  const char* why = ::dlerror();
  std::fprintf(stderr, "slotkeeper: cannot load %s from %s: %s\n", what, kLibrary,
               why ? why : "not found");
  std::abort();
}

struct Loaded {
  std::unique_ptr<void, Close> handle;
  CryptoFunctions functions{};

  Loaded() : handle(::dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL)) {
    if (!handle) Missing("the library");
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
  void Find(F& function, const char* name) {
    void* symbol = ::dlsym(handle.get(), name);
    if (!symbol) Missing(name);
    function = reinterpret_cast<F>(symbol);
  }
};

}  // namespace

const CryptoFunctions& Crypto() {
  static const Loaded loaded;
  return loaded.functions;
}

}  // namespace slk::formats
