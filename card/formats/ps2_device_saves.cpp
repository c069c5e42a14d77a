// The save formats of the PS2 cheat devices: Action Replay Max (.max),
// CodeBreaker (.cbs) and SharkPort / X-Port (.sps, .xps).

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "card/formats/codecs.h"
#include "card/formats/format_util.h"

namespace slk::formats {
namespace {

using platform::GetU16LE;
using platform::GetU32LE;
using platform::PutU16LE;
using platform::PutU32LE;
using platform::Reason;

constexpr char kMaxMagic[] = "Ps2PowerSave";
constexpr std::size_t kMaxHeader = 0x5C;
constexpr std::size_t kMaxEntry = 36;
constexpr char kCbsMagic[4] = {'C', 'F', 'U', '\0'};
constexpr std::size_t kCbsHeader = 0x128;
constexpr std::uint64_t kDeflateMaxRatio = 1032;
constexpr std::size_t kCbsMinHeader = 0x5C + 32;
constexpr std::size_t kCbsEntry = 64;
constexpr std::uint8_t kSharkMagic[17] = {0x0D, 0,   0,   0,   'S', 'h', 'a', 'r', 'k',
                                          'P',  'o', 'r', 't', 'S', 'a', 'v', 'e'};
constexpr std::size_t kSharkEntry = 98;
constexpr std::uint16_t kSharkEntryWritten = 250;  // as the devices write it: with both titles

// CodeBreaker's RC4 state: a fixed permutation used as it stands.
constexpr std::uint8_t kCbsPermutation[256] = {
    0x5F, 0x1F, 0x85, 0x6F, 0x31, 0xAA, 0x3B, 0x18, 0x21, 0xB9, 0xCE, 0x1C, 0x07, 0x4C, 0x9C, 0xB4,
    0x81, 0xB8, 0xEF, 0x98, 0x59, 0xAE, 0xF9, 0x26, 0xE3, 0x80, 0xA3, 0x29, 0x2D, 0x73, 0x51, 0x62,
    0x7C, 0x64, 0x46, 0xF4, 0x34, 0x1A, 0xF6, 0xE1, 0xBA, 0x3A, 0x0D, 0x82, 0x79, 0x0A, 0x5C, 0x16,
    0x71, 0x49, 0x8E, 0xAC, 0x8C, 0x9F, 0x35, 0x19, 0x45, 0x94, 0x3F, 0x56, 0x0C, 0x91, 0x00, 0x0B,
    0xD7, 0xB0, 0xDD, 0x39, 0x66, 0xA1, 0x76, 0x52, 0x13, 0x57, 0xF3, 0xBB, 0x4E, 0xE5, 0xDC, 0xF0,
    0x65, 0x84, 0xB2, 0xD6, 0xDF, 0x15, 0x3C, 0x63, 0x1D, 0x89, 0x14, 0xBD, 0xD2, 0x36, 0xFE, 0xB1,
    0xCA, 0x8B, 0xA4, 0xC6, 0x9E, 0x67, 0x47, 0x37, 0x42, 0x6D, 0x6A, 0x03, 0x92, 0x70, 0x05, 0x7D,
    0x96, 0x2F, 0x40, 0x90, 0xC4, 0xF1, 0x3E, 0x3D, 0x01, 0xF7, 0x68, 0x1E, 0xC3, 0xFC, 0x72, 0xB5,
    0x54, 0xCF, 0xE7, 0x41, 0xE4, 0x4D, 0x83, 0x55, 0x12, 0x22, 0x09, 0x78, 0xFA, 0xDE, 0xA7, 0x06,
    0x08, 0x23, 0xBF, 0x0F, 0xCC, 0xC1, 0x97, 0x61, 0xC5, 0x4A, 0xE6, 0xA0, 0x11, 0xC2, 0xEA, 0x74,
    0x02, 0x87, 0xD5, 0xD1, 0x9D, 0xB7, 0x7E, 0x38, 0x60, 0x53, 0x95, 0x8D, 0x25, 0x77, 0x10, 0x5E,
    0x9B, 0x7F, 0xD8, 0x6E, 0xDA, 0xA2, 0x2E, 0x20, 0x4F, 0xCD, 0x8F, 0xCB, 0xBE, 0x5A, 0xE0, 0xED,
    0x2C, 0x9A, 0xD4, 0xE2, 0xAF, 0xD0, 0xA9, 0xE8, 0xAD, 0x7A, 0xBC, 0xA8, 0xF2, 0xEE, 0xEB, 0xF5,
    0xA6, 0x99, 0x28, 0x24, 0x6C, 0x2B, 0x75, 0x5D, 0xF8, 0xD3, 0x86, 0x17, 0xFB, 0xC0, 0x7B, 0xB3,
    0x58, 0xDB, 0xC7, 0x4B, 0xFF, 0x04, 0x50, 0xE9, 0x88, 0x69, 0xC9, 0x2A, 0xAB, 0xFD, 0x5B, 0x1B,
    0x8A, 0xD9, 0xEC, 0x27, 0x44, 0x0E, 0x33, 0xC8, 0x6B, 0x93, 0x32, 0x48, 0xB6, 0x30, 0x43, 0xA5,
};

std::uint32_t Crc32(ByteView a, ByteView b = {}) {
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, a.data(), static_cast<uInt>(a.size()));
  if (!b.empty()) crc = crc32(crc, b.data(), static_cast<uInt>(b.size()));
  return static_cast<std::uint32_t>(crc);
}

bool CheckNames(const Ps2SaveData& save, platform::Problem& why) {
  if (!UsableFileName(save.name)) return Refuse(why, Reason::BadField, "save name");
  for (const Ps2SaveFile& f : save.files)
    if (!UsableFileName(f.name)) return Refuse(why, Reason::BadField, "file name");
  return true;
}

// The devices show a one-line ASCII title: icon.sys's two Shift-JIS lines
// with the full-width letters, digits and spaces made plain.
std::string AsciiTitle(const Ps2SaveData& save) {
  const Ps2SaveFile* iconSys = nullptr;
  for (const Ps2SaveFile& f : save.files)
    if (f.name == "icon.sys") iconSys = &f;
  if (iconSys == nullptr || iconSys->bytes.size() < 0xC0 + 68) return {};
  const std::uint8_t* title = iconSys->bytes.data() + 0xC0;
  std::size_t breakAt = GetU16LE(iconSys->bytes.data() + 6);
  std::string lines[2];
  for (std::size_t i = 0; i < 68 && title[i] != 0;) {
    std::string& line = lines[i >= breakAt ? 1 : 0];
    std::uint8_t c = title[i];
    if (c < 0x80) {
      line += static_cast<char>(c);
      ++i;
      continue;
    }
    std::uint8_t d = i + 1 < 68 ? title[i + 1] : 0;
    std::uint16_t w = static_cast<std::uint16_t>(c << 8 | d);
    if (w >= 0x824F && w <= 0x8258)
      line += static_cast<char>('0' + (w - 0x824F));
    else if (w >= 0x8260 && w <= 0x8279)
      line += static_cast<char>('A' + (w - 0x8260));
    else if (w >= 0x8281 && w <= 0x829A)
      line += static_cast<char>('a' + (w - 0x8281));
    else if (w == 0x8140)
      line += ' ';
    else
      line += '?';
    i += 2;
  }
  auto trim = [](std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  };
  if (!lines[0].empty() && lines[0].back() != ' ') return lines[0] + " " + trim(lines[1]);
  return lines[0] + trim(lines[1]);
}

}  // namespace

std::optional<Ps2SaveData> ReadMaxSave(ByteView file, platform::Problem& why) {
  if (!Need(file, 0, kMaxHeader, why)) return std::nullopt;
  if (std::memcmp(file.data(), kMaxMagic, 12) != 0) {
    Refuse(why, Reason::BadMagic, "Ps2PowerSave");
    return std::nullopt;
  }
  std::uint32_t storedCrc = GetU32LE(file.data() + 12);
  std::uint32_t compressedSize = GetU32LE(file.data() + 0x50);
  std::uint32_t count = GetU32LE(file.data() + 0x54);
  std::uint32_t length = GetU32LE(file.data() + 0x58);
  if (length > kMaxSaveBytes) {
    Refuse(why, Reason::TooLarge, "size", length, kMaxSaveBytes);
    return std::nullopt;
  }
  if (count > length / kMaxEntry) {
    Refuse(why, Reason::BadField, "file count", count, length / kMaxEntry);
    return std::nullopt;
  }
  // Some tools store the uncompressed size in place of the compressed one;
  // the stream then runs to the end of the file.
  ByteView stream = file.subspan(kMaxHeader);
  if (compressedSize != length) {
    if (compressedSize < 4) {
      Refuse(why, Reason::BadField, "compressed size", compressedSize, 4);
      return std::nullopt;
    }
    if (!Need(file, kMaxHeader, compressedSize - 4ull, why)) return std::nullopt;
    stream = file.subspan(kMaxHeader, compressedSize - 4);
  }
  Bytes zeroed(file.begin(), file.begin() + kMaxHeader);
  PutU32LE(zeroed.data() + 12, 0);
  if (Crc32(zeroed, stream) != storedCrc) {
    Refuse(why, Reason::BadField, "CRC");
    return std::nullopt;
  }
  std::optional<Bytes> body = LzariDecode(stream, length);
  if (!body) {
    Refuse(why, Reason::TooShort, "compressed data", stream.size());
    return std::nullopt;
  }

  Ps2SaveData save;
  save.name = FixedName(file, 0x10, 32);
  std::size_t off = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!Need(*body, off, kMaxEntry, why)) return std::nullopt;
    std::uint32_t size = GetU32LE(body->data() + off);
    Ps2SaveFile f;
    f.name = FixedName(*body, off + 4, 32);
    off += kMaxEntry;
    if (!Need(*body, off, size, why)) return std::nullopt;
    f.bytes.assign(body->begin() + off, body->begin() + off + size);
    save.files.push_back(std::move(f));
    off += size;
    off = (off + 8 + 15) / 16 * 16 - 8;  // each entry's header lies 8 bytes before a 16-byte line
  }
  if (!CheckNames(save, why)) return std::nullopt;
  return save;
}

Bytes WriteMaxSave(const Ps2SaveData& save) {
  Bytes body;
  for (const Ps2SaveFile& f : save.files) {
    std::size_t at = body.size();
    body.resize(at + kMaxEntry);
    PutU32LE(body.data() + at, static_cast<std::uint32_t>(f.bytes.size()));
    PutName(body.data() + at + 4, 32, f.name);
    Append(body, f.bytes);
    body.resize((body.size() + 8 + 15) / 16 * 16 - 8);
  }
  Bytes compressed = LzariEncode(body);
  Bytes out(kMaxHeader);
  std::memcpy(out.data(), kMaxMagic, 12);
  PutName(out.data() + 0x10, 32, save.name);
  PutName(out.data() + 0x30, 32, AsciiTitle(save));
  PutU32LE(out.data() + 0x50, static_cast<std::uint32_t>(compressed.size() + 4));
  PutU32LE(out.data() + 0x54, static_cast<std::uint32_t>(save.files.size()));
  PutU32LE(out.data() + 0x58, static_cast<std::uint32_t>(body.size()));
  Append(out, compressed);
  PutU32LE(out.data() + 12, Crc32(out));
  return out;
}

std::optional<Ps2SaveData> ReadCbsSave(ByteView file, platform::Problem& why) {
  if (!Need(file, 0, 20, why)) return std::nullopt;
  if (std::memcmp(file.data(), kCbsMagic, 4) != 0) {
    Refuse(why, Reason::BadMagic, "CFU");
    return std::nullopt;
  }
  std::uint32_t headerSize = GetU32LE(file.data() + 8);
  std::uint32_t plainSize = GetU32LE(file.data() + 0x0C);
  std::uint32_t storedSize = GetU32LE(file.data() + 0x10);
  if (headerSize < kCbsMinHeader) {
    Refuse(why, Reason::BadField, "header size", headerSize, kCbsMinHeader);
    return std::nullopt;
  }
  if (!Need(file, 0, headerSize, why)) return std::nullopt;
  if (plainSize > kMaxSaveBytes) {
    Refuse(why, Reason::TooLarge, "size", plainSize, kMaxSaveBytes);
    return std::nullopt;
  }
  // The stored size counts either the whole file or the body alone.
  std::uint64_t bodySize =
      storedSize == file.size() ? std::uint64_t{storedSize} - headerSize : storedSize;
  if (!Need(file, headerSize, bodySize, why)) return std::nullopt;
  // Deflate never packs more than 1032 bytes into one, so a size beyond that
  // is a lie, and the buffer for it is never allocated.
  if (plainSize > bodySize * kDeflateMaxRatio + kDeflateMaxRatio) {
    Refuse(why, Reason::SizeMismatch, "size", bodySize * kDeflateMaxRatio, plainSize);
    return std::nullopt;
  }

  Ps2SaveData save;
  save.name = FixedName(file, 0x14, 32);
  save.created = StampAt(file, 0x34);
  save.modified = StampAt(file, 0x3C);
  // Tools disagree on where the folder's mode goes; take whichever holds one.
  std::uint32_t m48 = GetU32LE(file.data() + 0x48);
  std::uint32_t m4c = GetU32LE(file.data() + 0x4C);
  save.mode = static_cast<SaveMode>(IsDirectoryMode(m48)   ? m48
                                    : IsDirectoryMode(m4c) ? m4c
                                                           : 0x8427);

  Bytes body(file.begin() + headerSize, file.begin() + headerSize + bodySize);
  Rc4Crypt(kCbsPermutation, body);
  Bytes plain(plainSize);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) {
    Refuse(why, Reason::ReadFailed, "zlib");
    return std::nullopt;
  }
  z.next_in = body.data();
  z.avail_in = static_cast<uInt>(body.size());
  // zlib refuses a null output pointer even for no output at all, which a
  // save without files has.
  std::uint8_t none = 0;
  z.next_out = plain.empty() ? &none : plain.data();
  z.avail_out = static_cast<uInt>(plain.size());
  int rc = inflate(&z, Z_FINISH);
  std::size_t produced = z.total_out;
  inflateEnd(&z);
  if (rc != Z_STREAM_END && !(produced == plainSize && plainSize != 0 && rc == Z_BUF_ERROR)) {
    Refuse(why, rc == Z_DATA_ERROR ? Reason::BadField : Reason::TooShort, "compressed data",
           produced, plainSize);
    return std::nullopt;
  }
  plain.resize(produced);

  std::size_t off = 0;
  while (off < plain.size()) {
    if (!Need(plain, off, kCbsEntry, why)) return std::nullopt;
    const std::uint8_t* h = plain.data() + off;
    std::uint32_t size = GetU32LE(h + 0x10);
    Ps2SaveFile f;
    f.created = StampAt(plain, off);
    f.modified = StampAt(plain, off + 8);
    f.mode = GetU16LE(h + 0x14);
    f.name = FixedName(plain, off + 0x20, 32);
    if (!IsFileMode(f.mode)) {
      Refuse(why, Reason::BadField, "file mode", f.mode);
      return std::nullopt;
    }
    off += kCbsEntry;
    if (!Need(plain, off, size, why)) return std::nullopt;
    f.bytes.assign(plain.begin() + off, plain.begin() + off + size);
    off += size;
    save.files.push_back(std::move(f));
  }
  if (!CheckNames(save, why)) return std::nullopt;
  return save;
}

Bytes WriteCbsSave(const Ps2SaveData& save) {
  Bytes plain;
  for (const Ps2SaveFile& f : save.files) {
    std::size_t at = plain.size();
    plain.resize(at + kCbsEntry);
    std::uint8_t* h = plain.data() + at;
    PutStamp(h, f.created);
    PutStamp(h + 8, f.modified);
    PutU32LE(h + 0x10, static_cast<std::uint32_t>(f.bytes.size()));
    PutU32LE(h + 0x14, f.mode);
    PutName(h + 0x20, 32, f.name);
    Append(plain, f.bytes);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(plain.size()));
  Bytes packed(packedSize);
  compress2(packed.data(), &packedSize, plain.data(), static_cast<uLong>(plain.size()), 9);
  packed.resize(packedSize);
  Rc4Crypt(kCbsPermutation, packed);

  Bytes out(kCbsHeader);
  std::memcpy(out.data(), kCbsMagic, 4);
  PutU32LE(out.data() + 4, 0x1F40);
  PutU32LE(out.data() + 8, kCbsHeader);
  PutU32LE(out.data() + 0x0C, static_cast<std::uint32_t>(plain.size()));
  PutU32LE(out.data() + 0x10, static_cast<std::uint32_t>(kCbsHeader + packed.size()));
  PutName(out.data() + 0x14, 32, save.name);
  PutStamp(out.data() + 0x34, save.created);
  PutStamp(out.data() + 0x3C, save.modified);
  PutU32LE(out.data() + 0x48, save.mode);
  PutName(out.data() + 0x5C, 72, AsciiTitle(save));
  Append(out, packed);
  return out;
}

std::optional<Ps2SaveData> ReadSharkPortSave(ByteView file, platform::Problem& why) {
  if (!Need(file, 0, sizeof kSharkMagic + 4, why)) return std::nullopt;
  if (std::memcmp(file.data(), kSharkMagic, sizeof kSharkMagic) != 0) {
    Refuse(why, Reason::BadMagic, "SharkPortSave");
    return std::nullopt;
  }
  std::uint64_t off = sizeof kSharkMagic + 4;
  for (int text = 0; text < 3; ++text) {  // title, date, comment
    if (!Need(file, off, 4, why)) return std::nullopt;
    std::uint32_t n = GetU32LE(file.data() + off);
    if (!Need(file, off + 4, n, why)) return std::nullopt;
    off += 4ull + n;
  }
  if (!Need(file, off, 4, why)) return std::nullopt;
  std::uint32_t payload = GetU32LE(file.data() + off);
  off += 4;
  // The entries and files, then a 4-byte checksum.
  if (!Need(file, off, payload + 4ull, why)) return std::nullopt;
  ByteView entries = file.subspan(off, payload);

  struct Entry {
    std::string name;
    std::uint32_t size;
    SaveMode mode;
    TimeStamp created, modified;
  };
  std::uint64_t at = 0;
  auto readEntry = [&](Entry& e) {
    if (!Need(entries, at, kSharkEntry, why)) return false;
    const std::uint8_t* h = entries.data() + at;
    std::uint16_t length = GetU16LE(h);
    if (length < kSharkEntry)
      return Refuse(why, Reason::BadField, "entry length", length, kSharkEntry);
    if (!Need(entries, at, length, why)) return false;
    e.name = FixedName(entries, at + 2, 64);
    e.size = GetU32LE(h + 66);
    e.mode = static_cast<SaveMode>(h[78] << 8 | h[79]);  // stored high byte first
    e.created = StampAt(entries, at + 82);
    e.modified = StampAt(entries, at + 90);
    at += length;
    return true;
  };

  Entry dir;
  if (!readEntry(dir)) return std::nullopt;
  if (!IsDirectoryMode(dir.mode)) {
    Refuse(why, Reason::BadField, "folder mode", dir.mode);
    return std::nullopt;
  }
  if (dir.size < 2) {
    Refuse(why, Reason::BadField, "entry count", dir.size, 2);
    return std::nullopt;
  }
  Ps2SaveData save{dir.name, dir.mode, dir.created, dir.modified, {}};
  for (std::uint32_t i = 0; i + 2 < dir.size; ++i) {
    Entry e;
    if (!readEntry(e)) return std::nullopt;
    if (!IsFileMode(e.mode)) {
      Refuse(why, Reason::BadField, "file mode", e.mode);
      return std::nullopt;
    }
    if (!Need(entries, at, e.size, why)) return std::nullopt;
    Ps2SaveFile f{e.name, e.mode, e.created, e.modified,
                  Bytes(entries.begin() + at, entries.begin() + at + e.size)};
    at += e.size;
    save.files.push_back(std::move(f));
  }
  if (!CheckNames(save, why)) return std::nullopt;
  return save;
}

Bytes WriteSharkPortSave(const Ps2SaveData& save) {
  auto entry = [](Bytes& out, const std::string& name, std::uint32_t size, SaveMode mode,
                  const TimeStamp& created, const TimeStamp& modified) {
    std::size_t at = out.size();
    out.resize(at + kSharkEntryWritten);
    std::uint8_t* h = out.data() + at;
    PutU16LE(h, kSharkEntryWritten);
    PutName(h + 2, 64, name);
    PutU32LE(h + 66, size);
    h[78] = static_cast<std::uint8_t>(mode >> 8);
    h[79] = static_cast<std::uint8_t>(mode);
    PutStamp(h + 82, created);
    PutStamp(h + 90, modified);
  };
  Bytes entries;
  entry(entries, save.name, static_cast<std::uint32_t>(save.files.size() + 2), save.mode,
        save.created, save.modified);
  for (const Ps2SaveFile& f : save.files) {
    entry(entries, f.name, static_cast<std::uint32_t>(f.bytes.size()), f.mode, f.created,
          f.modified);
    Append(entries, f.bytes);
  }
  Bytes out(sizeof kSharkMagic + 4);
  std::memcpy(out.data(), kSharkMagic, sizeof kSharkMagic);
  auto text = [&](const std::string& t) {
    std::size_t at = out.size();
    out.resize(at + 4);
    PutU32LE(out.data() + at, static_cast<std::uint32_t>(t.size()));
    Append(out, ByteView(reinterpret_cast<const std::uint8_t*>(t.data()), t.size()));
  };
  text(AsciiTitle(save));
  text({});
  text({});
  std::size_t at = out.size();
  out.resize(at + 4);
  PutU32LE(out.data() + at, static_cast<std::uint32_t>(entries.size()));
  Append(out, entries);
  out.resize(out.size() + 4);  // the devices' checksum, which no reader checks
  return out;
}

}  // namespace slk::formats
