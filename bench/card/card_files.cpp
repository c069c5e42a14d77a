#include "card_files.h"

#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "card/ps2/ps2_card_format.h"
#include "card/ps2/ps2_card_image.h"
#include "platform/bytes.h"

namespace slk::bench {
namespace {

using Buffer = std::vector<std::uint8_t>;

constexpr std::uint32_t kBlock = 8192;
constexpr std::uint32_t kFrame = 128;
constexpr std::uint32_t kIconSysBytes = 964;
constexpr std::uint16_t kModePs2Directory = 0x8427;
constexpr std::uint16_t kModePs2File = 0x8497;
constexpr std::uint16_t kModePs1Directory = 0x9027;
constexpr std::uint16_t kModePs1File = 0x8417;

const std::uint8_t kTime[8] = {0, 30, 20, 10, 1, 6, 0xD3, 0x07};  // 2003-06-01 10:20:30

void Put16(Buffer& b, std::size_t at, std::uint16_t v) {
  platform::PutU16LE(&b[at], v);
}
void Put32(Buffer& b, std::size_t at, std::uint32_t v) {
  platform::PutU32LE(&b[at], v);
}
void PutText(Buffer& b, std::size_t at, std::string_view text) {
  for (std::size_t i = 0; i < text.size() && at + i < b.size(); ++i)
    b[at + i] = static_cast<std::uint8_t>(text[i]);
}
void PutTime(Buffer& b, std::size_t at) {
  for (std::size_t i = 0; i < 8; ++i) b[at + i] = kTime[i];
}
// Pads the bytes appended since `start` to a multiple of `alignment`.
void PadFrom(Buffer& b, std::size_t start, std::size_t alignment) {
  std::size_t used = b.size() - start;
  b.resize(start + (used + alignment - 1) / alignment * alignment, 0);
}

// Bytes that differ from file to file and do not compress to nothing.
Buffer Pattern(std::size_t n, std::uint32_t seed) {
  Buffer b(n);
  std::uint32_t x = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    b[i] = static_cast<std::uint8_t>(x >> 24);
  }
  return b;
}

struct SaveFile {
  std::uint16_t mode;
  std::string name;
  Buffer bytes;
};

struct Save {
  std::uint16_t mode;
  std::string name;
  std::vector<SaveFile> files;
};

Buffer IconSys(std::uint32_t seed) {
  Buffer b(kIconSysBytes, 0);
  PutText(b, 0, "PS2D");
  Put16(b, 6, 16);
  for (std::size_t k = 0; k < 4; ++k) {
    Put32(b, 16 + 16 * k, 0x40 + seed % 64);
    Put32(b, 20 + 16 * k, 0x20);
    Put32(b, 24 + 16 * k, 0x60);
  }
  PutText(b, 192, "BENCHMARK SAVE  " + std::to_string(seed));
  for (std::size_t at : {260u, 324u, 388u}) PutText(b, at, "list.ico");
  return b;
}

Save Ps2Save(const Ps2SaveShape& shape) {
  std::uint32_t rest = shape.bytes - kIconSysBytes - shape.iconBytes;
  char name[32];
  std::snprintf(name, sizeof name, "BASLUS-%05uBENCH", static_cast<unsigned>(shape.seed));
  return Save{kModePs2Directory,
              name,
              {{kModePs2File, "icon.sys", IconSys(shape.seed)},
               {kModePs2File, "list.ico", Pattern(shape.iconBytes, shape.seed * 3 + 1)},
               {kModePs2File, "data.bin", Pattern(rest, shape.seed * 3 + 2)}}};
}

// The blocks of a PS1 save: its title frame, then a pattern.
Buffer Ps1Blocks(std::uint32_t blocks, std::uint32_t seed) {
  Buffer b = Pattern(static_cast<std::size_t>(blocks) * kBlock, seed);
  for (std::uint32_t i = 0; i < kFrame; ++i) b[i] = 0;
  PutText(b, 0, "SC");
  b[2] = 0x11;
  b[3] = static_cast<std::uint8_t>(blocks);
  PutText(b, 4, "BENCHMARK PS1 SAVE " + std::to_string(seed));
  return b;
}

// An 80-byte directory or file record of the expanded card.
Buffer Record80(std::uint16_t mode, std::uint32_t countOrSize, const std::string& name) {
  Buffer r(80, 0);
  Put16(r, 0, mode);
  Put32(r, 4, countOrSize);
  PutTime(r, 8);
  PutText(r, 16, name);
  return r;
}

void Append(Buffer& b, const Buffer& more) {
  b.insert(b.end(), more.begin(), more.end());
}

// Each file of `save`: the record `record` makes of it, then its bytes padded
// to a multiple of `alignment`.
void AppendFiles(Buffer& b, const Save& save,
                 Buffer (*record)(std::uint16_t, std::uint32_t, const std::string&),
                 std::size_t alignment) {
  for (const SaveFile& f : save.files) {
    Append(b, record(f.mode, static_cast<std::uint32_t>(f.bytes.size()), f.name));
    std::size_t start = b.size();
    Append(b, f.bytes);
    PadFrom(b, start, alignment);
  }
}

Buffer XmcSave(const Save& save) {
  auto entries = static_cast<std::uint32_t>(save.files.size() + 2);
  Buffer b(16, 0);
  PutText(b, 0, "SVDT");
  Put32(b, 4, entries);
  PutText(b, 8, "PS2D");
  Append(b, Record80(save.mode, entries, save.name));
  AppendFiles(b, save, Record80, 512);
  return b;
}

Buffer PsuHeader(std::uint16_t mode, std::uint32_t countOrSize, const std::string& name) {
  Buffer h(512, 0);
  Put16(h, 0, mode);
  Put32(h, 4, countOrSize);
  PutTime(h, 8);
  PutTime(h, 24);
  PutText(h, 64, name);
  return h;
}

Buffer Psu(const Save& save) {
  Buffer b = PsuHeader(save.mode, static_cast<std::uint32_t>(save.files.size() + 2), save.name);
  for (const char* dots : {".", ".."}) Append(b, PsuHeader(kModePs2Directory, 0, dots));
  AppendFiles(b, save, PsuHeader, 1024);
  return b;
}

struct CloseFile {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, CloseFile>;

FilePtr Create(const std::string& path) {
  return FilePtr(std::fopen(path.c_str(), "wb"));
}

bool WriteBytes(const FilePtr& out, const Buffer& b) {
  return out && std::fwrite(b.data(), 1, b.size(), out.get()) == b.size();
}

bool Finish(FilePtr out) {
  return out && std::fclose(out.release()) == 0;
}

bool WriteFile(const std::string& path, const Buffer& b) {
  FilePtr out = Create(path);
  return WriteBytes(out, b) && Finish(std::move(out));
}

void PutDirectoryFrame(Buffer& card, std::uint32_t frame, std::uint32_t state, std::uint32_t size,
                       std::uint16_t link, const std::string& name) {
  std::size_t at = static_cast<std::size_t>(frame) * kFrame;
  Put32(card, at, state);
  Put32(card, at + 4, size);
  Put16(card, at + 8, link);
  PutText(card, at + 10, name);
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kFrame - 1; ++i) sum ^= card[at + i];
  card[at + kFrame - 1] = sum;
}

}  // namespace

bool WriteExpandedCardFile(const std::string& path, std::uint32_t saves, std::uint32_t bytesPerSave,
                           std::uint32_t iconBytes) {
  FilePtr out = Create(path);
  Buffer header(16, 0);
  PutText(header, 0, "EXMC");
  Put32(header, 4, saves);
  Put32(header, 8, 1);
  if (!WriteBytes(out, header)) return false;
  for (std::uint32_t i = 0; i < saves; ++i) {
    if (!WriteBytes(out, XmcSave(Ps2Save(Ps2SaveShape{bytesPerSave, i, iconBytes})))) return false;
  }
  return Finish(std::move(out));
}

bool WritePs2CardFile(const std::string& path, std::uint32_t saves, std::uint32_t bytesPerSave) {
  platform::Problem why;
  auto card = ps2::Ps2CardImage::Open(ps2::FormatCard({}), why);
  if (!card) return false;
  for (std::uint32_t i = 0; i < saves; ++i) {
    Save save = Ps2Save(Ps2SaveShape{bytesPerSave, i});
    ps2::NewSave add;
    add.name = save.name;
    for (const SaveFile& f : save.files) add.files.push_back({f.name, f.mode, {}, {}, f.bytes});
    if (card->AddSave(add).result != ps2::AddResult::Added) return false;
  }
  return WriteFile(path, card->Serialize());
}

bool WritePs2Psu(const std::string& path, const Ps2SaveShape& shape) {
  return WriteFile(path, Psu(Ps2Save(shape)));
}

bool WritePs1Psu(const std::string& path, std::uint32_t blocks) {
  const std::string name = "BESLES-00001BENCH";
  Save save{kModePs1Directory, name, {{kModePs1File, name, Ps1Blocks(blocks, 7)}}};
  return WriteFile(path, Psu(save));
}

bool WriteFullPs1Card(const std::string& path) {
  Buffer card(16 * kBlock, 0);
  PutDirectoryFrame(card, 0, 0x434D, 0, 0, "");  // "MC", then zeros; the checksum seals it
  for (std::uint32_t save = 0; save < 5; ++save) {
    std::uint32_t first = 1 + 3 * save;
    std::string name = "BESLES-0000" + std::to_string(save) + "BENCH";
    PutDirectoryFrame(card, first, 0x51, 3 * kBlock, static_cast<std::uint16_t>(first), name);
    PutDirectoryFrame(card, first + 1, 0x52, 0, static_cast<std::uint16_t>(first + 1), "");
    PutDirectoryFrame(card, first + 2, 0x53, 0, 0xFFFF, "");
    Buffer blocks = Ps1Blocks(3, save);
    std::copy(blocks.begin(), blocks.end(),
              card.begin() + static_cast<std::ptrdiff_t>(first) * kBlock);
  }
  return WriteFile(path, card);
}

}  // namespace slk::bench
