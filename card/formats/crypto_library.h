#pragma once
// OpenSSL's libcrypto, loaded the first time a signature or a digest is
// worked out instead of at every start. Loading and relocating it took about
// 0.6 to 0.9 ms of each start of slotkeeper-cli (whose `list` of a card is held to
// 10 ms in all) and of the window program, which seldom need it.

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "platform/problem.h"

namespace slk::formats {

// The functions of libcrypto the program uses.
struct CryptoFunctions {
  decltype(&::EVP_MD_CTX_new) mdNew;
  decltype(&::EVP_MD_CTX_free) mdFree;
  decltype(&::EVP_DigestInit_ex) digestInit;
  decltype(&::EVP_DigestUpdate) digestUpdate;
  decltype(&::EVP_DigestFinal_ex) digestFinal;
  decltype(&::EVP_sha256) sha256;
  decltype(&::EVP_sha1) sha1;
  decltype(&::EVP_CIPHER_CTX_new) cipherNew;
  decltype(&::EVP_CIPHER_CTX_free) cipherFree;
  decltype(&::EVP_CIPHER_CTX_set_padding) cipherSetPadding;
  decltype(&::EVP_CipherInit_ex) cipherInit;
  decltype(&::EVP_CipherUpdate) cipherUpdate;
  decltype(&::EVP_CipherFinal_ex) cipherFinal;
  decltype(&::EVP_aes_128_cbc) aes128Cbc;
  decltype(&::EVP_aes_128_ecb) aes128Ecb;
  decltype(&::HMAC) hmac;
};

// Loads the library on first use (from any thread, once): false, with the
// reason (LibraryMissing: the library or the function, and the loader's
// words), on a system without it or with one lacking a function. The
// environment variable SLOTKEEPER_LIBCRYPTO names another library to load.
// Every reader and writer that signs or digests asks this first.
bool CryptoLoads(platform::Problem& why);

// The functions, once CryptoLoads said yes; otherwise the program ends
// with the message, as the loader did at start when it was linked to it.
const CryptoFunctions& Crypto();

}  // namespace slk::formats
