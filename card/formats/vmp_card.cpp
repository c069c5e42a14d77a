// .vmp: a PS1 card as the PSP and Vita keep it, a 0x80-byte signed header
// ("\0PMV") before the 131,072 card bytes.

#include "card/formats/crypto_library.h"
#include "card/formats/format_util.h"
#include "card/formats/signing.h"

namespace slk::formats {
namespace {

constexpr std::uint8_t kMagic[4] = {0, 'P', 'M', 'V'};
constexpr std::size_t kHeader = 0x80;
constexpr std::size_t kSeedOffset = 0x0C;
constexpr std::size_t kSignatureOffset = 0x20;

}  // namespace

std::optional<VmpCard> ReadVmpCard(ByteView file, platform::Problem& why) {
  if (!Need(file, 0, kHeader + kPs1CardSize, why)) return std::nullopt;
  if (file.size() > kHeader + kPs1CardSize) {
    Refuse(why, platform::Reason::TooLarge, {}, file.size(), kHeader + kPs1CardSize);
    return std::nullopt;
  }
  if (std::memcmp(file.data(), kMagic, 4) != 0) {
    Refuse(why, platform::Reason::BadMagic, "PMV");
    return std::nullopt;
  }
  VmpCard out;
  out.card.assign(file.begin() + kHeader, file.end());
  if (!CryptoLoads(why)) return std::nullopt;
  Signature sig = ComputeSignature(file, kSeedOffset, kSignatureOffset, SignKind::Ps1);
  out.signatureValid = std::memcmp(sig.data(), file.data() + kSignatureOffset, 20) == 0;
  return out;
}

Bytes WriteVmpCard(ByteView card) {
  Bytes out(kHeader);
  std::memcpy(out.data(), kMagic, 4);
  platform::PutU32LE(out.data() + 4, kHeader);
  std::memcpy(out.data() + kSeedOffset, kSigningSeed.data(), 20);
  Append(out, card);
  out.resize(kHeader + kPs1CardSize);
  Signature sig = ComputeSignature(out, kSeedOffset, kSignatureOffset, SignKind::Ps1);
  std::memcpy(out.data() + kSignatureOffset, sig.data(), sig.size());
  return out;
}

}  // namespace slk::formats
