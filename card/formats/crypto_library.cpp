#include "card/formats/crypto_library.h"

#include <openssl/opensslv.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/shared_library.h"

namespace slk::formats {
namespace {

#define SLK_TEXT_OF(x) #x
#define SLK_TEXT(x) SLK_TEXT_OF(x)
// The library of the version the program was built against.
constexpr const char* kLibrary = "libcrypto.so." SLK_TEXT(OPENSSL_SHLIB_VERSION);
#undef SLK_TEXT
#undef SLK_TEXT_OF

const char* LibraryName() {
  const char* chosen = std::getenv("SLOTKEEPER_LIBCRYPTO");
  return chosen && *chosen ? chosen : kLibrary;
}

struct Loaded {
  const char* name = LibraryName();
  platform::SharedLibrary library{name};
  CryptoFunctions functions{};
  std::string missing;  // what could not be loaded and why; empty when all was

  // The loader's words name the library and what failed; `what` stands in
  // when it has none.
  static std::string Reason(const char* what) {
    const char* error = platform::SharedLibrary::Error();
    return error && *error ? error : what;
  }

  Loaded() {
    if (!library.IsOpen()) {
      missing = Reason(name);
      return;
    }
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
  void Find(F*& function, const char* functionName) {
    if (missing.empty() && !library.Find(function, functionName)) missing = Reason(functionName);
  }
};

const Loaded& Library() {
  static const Loaded loaded;
  return loaded;
}

}  // namespace

bool CryptoLoads(platform::Problem& why) {
  const Loaded& loaded = Library();
  if (loaded.missing.empty()) return true;
  why = platform::Problem{};
  why.reason = platform::Reason::LibraryMissing;
  why.field = loaded.missing;
  return false;
}

const CryptoFunctions& Crypto() {
  const Loaded& loaded = Library();
  if (!loaded.missing.empty()) {
    std::fprintf(stderr, "slotkeeper: cannot load %s\n", loaded.missing.c_str());
    std::abort();
  }
  return loaded.functions;
}

}  // namespace slk::formats
