#pragma once
// Builds expanded card images, .psu files, PS1 save blocks, directory frames
// and icon.sys records byte by byte, independently of the writers under test.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace slk::testing {

using Buffer = std::vector<std::uint8_t>;

inline void Put16(Buffer& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Buffer& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t Get16(const Buffer& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t Get32(const Buffer& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
                                    (static_cast<std::uint32_t>(b[at + 3]) << 24));
}
inline void PutText(Buffer& b, std::size_t at, const std::string& text) {
  std::memcpy(b.data() + at, text.data(), text.size());
}
inline void Append(Buffer& b, const Buffer& more) {
  b.insert(b.end(), more.begin(), more.end());
}
inline void PadTo(Buffer& b, std::size_t start, std::size_t alignment) {
  std::size_t used = b.size() - start;
  b.resize(start + (used + alignment - 1) / alignment * alignment, 0);
}

// A time stamp: reserved, second, minute, hour, day, month, year.
inline Buffer Time(std::uint8_t day, std::uint16_t year = 2003) {
  return Buffer{
      0, 30, 20, 10, day, 6, static_cast<std::uint8_t>(year), static_cast<std::uint8_t>(year >> 8)};
}

struct FileSpec {
  std::uint16_t mode = 0x8497;
  std::string name;
  Buffer bytes;
  Buffer time = Time(2);
};

struct SaveSpec {
  std::uint16_t mode = 0x8427;
  std::string name;
  std::vector<FileSpec> files;
  Buffer time = Time(1);
  // Set to write a count other than files + 2.
  long entryCountOverride = -1;
  std::uint32_t EntryCount() const {
    return entryCountOverride >= 0 ? static_cast<std::uint32_t>(entryCountOverride)
                                   : static_cast<std::uint32_t>(files.size() + 2);
  }
};

// The blocks of a PS1 save: a title frame ("SC", icon flag, block count,
// title), then a pattern that differs per block.
inline Buffer PS1Blocks(std::uint32_t blocks, const std::string& title, std::uint8_t seed = 1) {
  Buffer b(blocks * 8192u);
  for (std::size_t i = 128; i < b.size(); ++i)
    b[i] = static_cast<std::uint8_t>(seed + i / 8192 * 17 + i % 251);
  b[0] = 'S';
  b[1] = 'C';
  b[2] = 0x11;
  b[3] = static_cast<std::uint8_t>(blocks);
  PutText(b, 4, title);
  return b;
}

inline SaveSpec PS1Save(const std::string& name, std::uint32_t blocks, const std::string& title) {
  SaveSpec save;
  save.mode = 0x9027;
  save.name = name;
  save.files.push_back(FileSpec{0x8417, name, PS1Blocks(blocks, title), Time(3)});
  return save;
}

// A 964-byte icon.sys: line break, four colours, title, three icon names.
inline Buffer IconSys(const std::string& title, std::uint16_t lineBreak,
                      const std::string& listIcon, std::uint8_t red = 0x40) {
  Buffer b(964, 0);
  PutText(b, 0, "PS2D");
  Put16(b, 6, lineBreak);
  for (int k = 0; k < 4; ++k) {
    Put32(b, 16 + 16 * k, red);
    Put32(b, 20 + 16 * k, 0x20);
    Put32(b, 24 + 16 * k, 0x10);
    Put32(b, 28 + 16 * k, 0x80);
  }
  PutText(b, 192, title);
  PutText(b, 260, listIcon);
  PutText(b, 324, listIcon);
  PutText(b, 388, listIcon);
  return b;
}

inline Buffer Record80(std::uint16_t mode, std::uint32_t countOrSize, const Buffer& time,
                       const std::string& name) {
  Buffer r(80, 0);
  Put16(r, 0, mode);
  Put32(r, 4, countOrSize);
  std::memcpy(r.data() + 8, time.data(), 8);
  PutText(r, 16, name);
  return r;
}

inline Buffer XmcHeader(std::uint32_t saves, std::uint32_t version = 1,
                        const std::string& magic = "EXMC") {
  Buffer b(16, 0);
  PutText(b, 0, magic);
  Put32(b, 4, saves);
  Put32(b, 8, version);
  return b;
}

inline Buffer XmcSave(const SaveSpec& save, const std::string& tag = "") {
  Buffer b(16, 0);
  PutText(b, 0, "SVDT");
  Put32(b, 4, save.EntryCount());
  PutText(b, 8, tag.empty() ? ((save.mode & 0x1000) ? "PS1D" : "PS2D") : tag);
  Append(b, Record80(save.mode, save.EntryCount(), save.time, save.name));
  for (const FileSpec& f : save.files) {
    Append(b, Record80(f.mode, static_cast<std::uint32_t>(f.bytes.size()), f.time, f.name));
    std::size_t start = b.size();
    Append(b, f.bytes);
    PadTo(b, start, 512);
  }
  return b;
}

inline Buffer Xmc(const std::vector<SaveSpec>& saves, std::uint32_t version = 1) {
  Buffer b = XmcHeader(static_cast<std::uint32_t>(saves.size()), version);
  for (const SaveSpec& s : saves) Append(b, XmcSave(s));
  return b;
}

inline Buffer PsuHeader(std::uint16_t mode, std::uint32_t countOrSize, const Buffer& created,
                        const Buffer& modified, const std::string& name) {
  Buffer h(512, 0);
  Put16(h, 0, mode);
  Put32(h, 4, countOrSize);
  std::memcpy(h.data() + 8, created.data(), 8);
  std::memcpy(h.data() + 24, modified.data(), 8);
  PutText(h, 64, name);
  return h;
}

inline Buffer Psu(const SaveSpec& save) {
  Buffer created = Time(9, 1999);
  Buffer b = PsuHeader(save.mode, save.EntryCount(), created, save.time, save.name);
  Append(b, PsuHeader(0x8427, 0, created, created, "."));
  Append(b, PsuHeader(0x8427, 0, created, created, ".."));
  for (const FileSpec& f : save.files) {
    Append(b,
           PsuHeader(f.mode, static_cast<std::uint32_t>(f.bytes.size()), created, f.time, f.name));
    std::size_t start = b.size();
    Append(b, f.bytes);
    PadTo(b, start, 1024);
  }
  return b;
}

// A 128-byte PS1 directory frame with its checksum.
inline Buffer DirFrame(std::uint32_t state, std::uint32_t size, std::uint16_t link,
                       const std::string& name) {
  Buffer f(128, 0);
  Put32(f, 0, state);
  Put32(f, 4, size);
  Put16(f, 8, link);
  PutText(f, 10, name.substr(0, 22));
  std::uint8_t sum = 0;
  for (int i = 0; i < 127; ++i) sum ^= f[i];
  f[127] = sum;
  return f;
}

// .ps1 and the framed .mcx form: a directory frame, then the blocks.
inline Buffer FramedSingle(const std::string& name, std::uint32_t declaredSize,
                           const Buffer& blocks) {
  Buffer b = DirFrame(0x51, declaredSize, 0xFFFF, name);
  Append(b, blocks);
  return b;
}

// .mcx/.mcb as written: 22 name bytes, 32 zeros, the blocks.
inline Buffer ShortHeaderSingle(const std::string& name, const Buffer& blocks) {
  Buffer b(54, 0);
  PutText(b, 0, name.substr(0, 22));
  Append(b, blocks);
  return b;
}

// .psm/.mc: a frame before every block.
inline Buffer FramedBlocks(const std::string& name, std::uint32_t declaredSize,
                           const Buffer& blocks) {
  Buffer b;
  std::uint32_t n = static_cast<std::uint32_t>(blocks.size() / 8192);
  for (std::uint32_t i = 0; i < n; ++i) {
    bool last = i + 1 == n;
    Append(b, DirFrame(i == 0 ? 0x51 : (last ? 0x53 : 0x52), i == 0 ? declaredSize : 0,
                       last ? 0xFFFF : static_cast<std::uint16_t>(i + 1), i == 0 ? name : ""));
    b.insert(b.end(), blocks.begin() + i * 8192, blocks.begin() + (i + 1) * 8192);
  }
  return b;
}

}  // namespace slk::testing
