// .psv: the PS3's export of one PS1 or PS2 save. A 64-byte header (magic,
// seed, signature, kind), then for a PS2 save a table of the icon files,
// the folder's entry and one entry per file with its position; for a PS1
// save a short header with the card file name, then the blocks.

#include "card/formats/crypto_library.h"
#include "card/formats/format_util.h"
#include "card/formats/signing.h"

namespace slk::formats {
namespace {

using platform::GetU32LE;
using platform::PutU32LE;
using platform::Reason;

constexpr std::uint8_t kMagic[4] = {0, 'V', 'S', 'P'};
constexpr std::size_t kSeedOffset = 0x08;
constexpr std::size_t kSignatureOffset = 0x1C;
constexpr std::size_t kKindOffset = 0x3C;
constexpr std::size_t kHeader = 0x40;
constexpr std::size_t kPs2Table = 0x40;   // 10 words: sizes and positions of icon.sys and icons
constexpr std::size_t kPs2Folder = 0x68;  // created, modified, entries, mode, name[32]
constexpr std::size_t kPs2Files = 0xA0;
constexpr std::size_t kPs2FileEntry = 60;
constexpr std::size_t kPs1Data = 0x84;

Bytes Header(std::uint32_t kind) {
  Bytes out(kHeader);
  std::memcpy(out.data(), kMagic, 4);
  std::memcpy(out.data() + kSeedOffset, kSigningSeed.data(), 20);
  PutU32LE(out.data() + 0x38, kind == 1 ? 0x14 : 0x2C);
  PutU32LE(out.data() + kKindOffset, kind);
  return out;
}

void Sign(Bytes& out, SignKind kind) {
  Signature sig = ComputeSignature(out, kSeedOffset, kSignatureOffset, kind);
  std::memcpy(out.data() + kSignatureOffset, sig.data(), sig.size());
}

std::optional<Ps2SaveData> ReadPs2(ByteView file, platform::Problem& why) {
  if (!Need(file, 0, kPs2Files, why)) return std::nullopt;
  std::uint32_t count = GetU32LE(file.data() + kPs2Table + 36);
  if (!Need(file, kPs2Files, std::uint64_t{count} * kPs2FileEntry, why)) return std::nullopt;
  Ps2SaveData save;
  save.created = StampAt(file, kPs2Folder);
  save.modified = StampAt(file, kPs2Folder + 8);
  save.mode = static_cast<SaveMode>(GetU32LE(file.data() + kPs2Folder + 20));
  save.name = FixedName(file, kPs2Folder + 24, 32);
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::size_t at = kPs2Files + i * kPs2FileEntry;
    std::uint32_t size = GetU32LE(file.data() + at + 16);
    std::uint32_t position = GetU32LE(file.data() + at + 56);
    if (!Need(file, position, size, why)) return std::nullopt;
    // Entries may point at the same bytes; copies of them must still add
    // up to no more than the file holds.
    total += size;
    if (total > file.size()) {
      Refuse(why, Reason::SizeMismatch, "file sizes", file.size(), total);
      return std::nullopt;
    }
    Ps2SaveFile f;
    f.created = StampAt(file, at);
    f.modified = StampAt(file, at + 8);
    f.mode = static_cast<SaveMode>(GetU32LE(file.data() + at + 20));
    f.name = FixedName(file, at + 24, 32);
    f.bytes.assign(file.begin() + position, file.begin() + position + size);
    save.files.push_back(std::move(f));
  }
  if (!UsableFileName(save.name)) {
    Refuse(why, Reason::BadField, "save name");
    return std::nullopt;
  }
  for (const Ps2SaveFile& f : save.files)
    if (!UsableFileName(f.name)) {
      Refuse(why, Reason::BadField, "file name");
      return std::nullopt;
    }
  return save;
}

std::optional<Ps1SaveData> ReadPs1(ByteView file, platform::Problem& why) {
  if (!Need(file, 0, kPs1Data, why)) return std::nullopt;
  std::uint32_t size = GetU32LE(file.data() + 0x40);
  std::uint32_t start = GetU32LE(file.data() + 0x44);
  if (size == 0 || size % kPs1BlockSize != 0) {
    Refuse(why, Reason::BadField, "size", size);
    return std::nullopt;
  }
  if (!Need(file, start, size, why)) return std::nullopt;
  Ps1SaveData save;
  save.name = FixedName(file, 0x64, 20);
  save.blocks.assign(file.begin() + start, file.begin() + start + size);
  return save;
}

// Where icon.sys names its k-th icon (normal, copy, delete).
std::string IconName(const Ps2SaveFile& iconSys, int k) {
  std::size_t at = 0x104 + 64 * static_cast<std::size_t>(k);
  if (iconSys.bytes.size() < at + 64) return {};
  return FixedName(iconSys.bytes, at, 64);
}

}  // namespace

std::optional<PsvSave> ReadPsvSave(ByteView file, platform::Problem& why) {
  if (!Need(file, 0, kHeader, why)) return std::nullopt;
  if (std::memcmp(file.data(), kMagic, 4) != 0) {
    Refuse(why, Reason::BadMagic, "VSP");
    return std::nullopt;
  }
  std::uint32_t kind = GetU32LE(file.data() + kKindOffset);
  PsvSave out;
  if (kind == 2) {
    out.ps2 = ReadPs2(file, why);
    if (!out.ps2) return std::nullopt;
  } else if (kind == 1) {
    out.ps1 = ReadPs1(file, why);
    if (!out.ps1) return std::nullopt;
  } else {
    Refuse(why, Reason::BadField, "save type", kind);
    return std::nullopt;
  }
  if (!CryptoLoads(why)) return std::nullopt;
  Signature sig = ComputeSignature(file, kSeedOffset, kSignatureOffset,
                                   kind == 1 ? SignKind::Ps1 : SignKind::Ps2);
  out.signatureValid = std::memcmp(sig.data(), file.data() + kSignatureOffset, 20) == 0;
  return out;
}

Bytes WritePsvSave(const Ps2SaveData& save) {
  Bytes out = Header(2);
  std::size_t count = save.files.size();
  out.resize(kPs2Files + count * kPs2FileEntry);
  std::uint32_t position = static_cast<std::uint32_t>(out.size());
  std::uint32_t total = 0;
  const Ps2SaveFile* iconSys = nullptr;
  for (const Ps2SaveFile& f : save.files)
    if (f.name == "icon.sys") iconSys = &f;

  for (std::size_t i = 0; i < count; ++i) {
    const Ps2SaveFile& f = save.files[i];
    std::uint8_t* e = out.data() + kPs2Files + i * kPs2FileEntry;
    PutStamp(e, f.created);
    PutStamp(e + 8, f.modified);
    PutU32LE(e + 16, static_cast<std::uint32_t>(f.bytes.size()));
    PutU32LE(e + 20, f.mode);
    PutName(e + 24, 32, f.name);
    PutU32LE(e + 56, position);
    std::uint8_t* table = out.data() + kPs2Table;
    if (&f == iconSys) {
      PutU32LE(table + 4, position);
      PutU32LE(table + 8, static_cast<std::uint32_t>(f.bytes.size()));
    }
    for (int k = 0; k < 3 && iconSys; ++k) {
      if (f.name == IconName(*iconSys, k)) {
        PutU32LE(table + 12 + 8 * k, position);
        PutU32LE(table + 16 + 8 * k, static_cast<std::uint32_t>(f.bytes.size()));
      }
    }
    position += static_cast<std::uint32_t>(f.bytes.size());
    total += static_cast<std::uint32_t>(f.bytes.size());
  }
  PutU32LE(out.data() + kPs2Table, total);
  PutU32LE(out.data() + kPs2Table + 36, static_cast<std::uint32_t>(count));
  PutStamp(out.data() + kPs2Folder, save.created);
  PutStamp(out.data() + kPs2Folder + 8, save.modified);
  PutU32LE(out.data() + kPs2Folder + 16, static_cast<std::uint32_t>(count + 2));
  PutU32LE(out.data() + kPs2Folder + 20, save.mode);
  PutName(out.data() + kPs2Folder + 24, 32, save.name);
  for (const Ps2SaveFile& f : save.files) Append(out, f.bytes);
  Sign(out, SignKind::Ps2);
  return out;
}

Bytes WritePsvSave(const Ps1SaveData& save) {
  Bytes out = Header(1);
  out.resize(kPs1Data);
  std::uint32_t size = static_cast<std::uint32_t>(save.blocks.size());
  PutU32LE(out.data() + 0x40, size);
  PutU32LE(out.data() + 0x44, kPs1Data);
  PutU32LE(out.data() + 0x48, 0x200);
  PutU32LE(out.data() + 0x5C, size);
  PutU32LE(out.data() + 0x60, 0x9003);
  PutName(out.data() + 0x64, 20, save.name);
  Append(out, save.blocks);
  Sign(out, SignKind::Ps1);
  return out;
}

}  // namespace slk::formats
