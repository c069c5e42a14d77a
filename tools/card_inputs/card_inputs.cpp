#include "card_inputs.h"

#include <algorithm>
#include <bit>

#include "card/utility.h"

namespace slk::inputs {
namespace {

constexpr std::size_t kFrameBytes = 128;
constexpr std::size_t kBlockBytes = 8192;

// icon.sys, 964 bytes:
constexpr std::size_t kIconSysBytes = 964;
constexpr std::size_t kLineBreakAt = 0x006;
constexpr std::size_t kTransparencyAt = 0x00C;
constexpr std::size_t kCornersAt = 0x010;          // 4 x 16: r, g, b, a
constexpr std::size_t kLightDirectionsAt = 0x050;  // 3 x 16: float x, y, z, w
constexpr std::size_t kLightColoursAt = 0x080;     // 3 x 16: float r, g, b, a
constexpr std::size_t kAmbientAt = 0x0B0;          // 16: float r, g, b, a
constexpr std::size_t kTitleAt = 0x0C0;            // 68 bytes
constexpr std::size_t kTitleBytes = 68;
constexpr std::size_t kIconNamesAt = 0x104;  // 3 x 64: list, copy, delete
constexpr std::size_t kIconNameBytes = 64;

void PutFloats(Buffer& b, std::size_t at, const std::array<float, 4>& values) {
  for (std::size_t k = 0; k < 4; ++k) Put32(b, at + 4 * k, std::bit_cast<std::uint32_t>(values[k]));
}

std::string_view Cut(std::string_view text, std::size_t room) {
  return text.substr(0, std::min(text.size(), room));
}

bool WriteIntoSlot(Workspace& ws, Slot s, const SaveEntry& e, const Buffer& bytes) {
  return ws.At(s).dataFile.Seek(e.offset) &&
         ws.At(s).dataFile.WriteExact(bytes.data(), bytes.size());
}

}  // namespace

// ---- Bytes ----------------------------------------------------------------

void Put16(Buffer& b, std::size_t at, std::uint16_t v) {
  b.at(at) = static_cast<std::uint8_t>(v);
  b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}

void Put32(Buffer& b, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t Get16(const Buffer& b, std::size_t at) {
  return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

std::uint32_t Get32(const Buffer& b, std::size_t at) {
  return static_cast<std::uint32_t>(b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) |
                                    (static_cast<std::uint32_t>(b.at(at + 3)) << 24));
}

void PutText(Buffer& b, std::size_t at, std::string_view text) {
  for (std::size_t i = 0; i < text.size() && at + i < b.size(); ++i)
    b[at + i] = static_cast<std::uint8_t>(text[i]);
}

void Append(Buffer& b, const Buffer& more) {
  b.insert(b.end(), more.begin(), more.end());
}

void PadTo(Buffer& b, std::size_t start, std::size_t alignment) {
  std::size_t used = b.size() - start;
  b.resize(start + (used + alignment - 1) / alignment * alignment, 0);
}

std::uint32_t FillPattern(Buffer& b, std::size_t from, std::uint32_t state) {
  for (std::size_t i = from; i < b.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    b[i] = static_cast<std::uint8_t>(state >> 24);
  }
  return state;
}

Buffer Pattern(std::size_t size, std::uint32_t seed) {
  Buffer b(size);
  FillPattern(b, 0, seed);
  return b;
}

Buffer Time(std::uint8_t day, std::uint16_t year) {
  return Buffer{
      0, 30, 20, 10, day, 6, static_cast<std::uint8_t>(year), static_cast<std::uint8_t>(year >> 8)};
}

TimeStamp Day(std::uint8_t day) {
  TimeStamp t;
  Buffer bytes = Time(day);
  std::copy(bytes.begin(), bytes.end(), t.bytes.begin());
  return t;
}

Name64 NameOf(const std::string& text) {
  Name64 name{};
  std::copy_n(text.begin(), std::min(text.size(), name.size()), name.begin());
  return name;
}

// ---- PS1 saves --------------------------------------------------------------

void PutPS1TitleFrame(Buffer& save, const PS1TitleFrame& frame) {
  std::fill_n(save.begin(), std::min(save.size(), kFrameBytes), std::uint8_t{0});
  PutText(save, 0, "SC");
  save.at(2) = frame.iconFlag;
  save.at(3) = static_cast<std::uint8_t>(frame.blocks);
  PutText(save, 4, Cut(frame.title, 64));
  for (std::size_t i = 0; i < 16; ++i) Put16(save, 0x60 + 2 * i, frame.palette[i]);
}

void PutPS1IconFrames(Buffer& save, const std::vector<PS1IconFrame>& frames) {
  for (std::size_t f = 0; f < frames.size(); ++f)
    for (std::size_t y = 0; y < 16; ++y)
      for (std::size_t x = 0; x < 16; x += 2)
        save.at(0x80 + 128 * f + 8 * y + x / 2) =
            static_cast<std::uint8_t>(frames[f][y][x] | (frames[f][y][x + 1] << 4));
}

Buffer PS1Blocks(std::uint32_t blocks, const std::string& title, std::uint8_t seed) {
  Buffer b(blocks * kBlockBytes);
  for (std::size_t i = kFrameBytes; i < b.size(); ++i)
    b[i] = static_cast<std::uint8_t>(seed + i / kBlockBytes * 17 + i % 251);
  PutPS1TitleFrame(b, PS1TitleFrame{blocks, title});
  return b;
}

Buffer DirFrame(std::uint32_t state, std::uint32_t size, std::uint16_t link,
                const std::string& name) {
  Buffer f(kFrameBytes, 0);
  Put32(f, 0, state);
  Put32(f, 4, size);
  Put16(f, 8, link);
  PutText(f, 10, Cut(name, 22));
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kFrameBytes - 1; ++i) sum ^= f[i];
  f[kFrameBytes - 1] = sum;
  return f;
}

PS1CardBuilder::PS1CardBuilder() : bytes_(16 * kBlock, 0) {
  bytes_[0] = 'M';
  bytes_[1] = 'C';
  Seal(0);
  for (int i = 1; i <= 15; ++i) Directory(i, 0xA0, 0, 0xFFFF, "");
}

PS1CardBuilder& PS1CardBuilder::Directory(int frame, std::uint32_t state, std::uint32_t size,
                                          std::uint16_t link, const std::string& name) {
  Buffer f = DirFrame(state, size, link, name);
  std::copy(f.begin(), f.end(), bytes_.begin() + frame * static_cast<std::ptrdiff_t>(kFrame));
  return *this;
}

PS1CardBuilder& PS1CardBuilder::Block(int block, std::uint8_t fill, const std::string& title,
                                      std::uint8_t blockCount) {
  Buffer b(kBlock, fill);
  if (!title.empty()) PutPS1TitleFrame(b, PS1TitleFrame{blockCount, title});
  return Blocks(block, b);
}

PS1CardBuilder& PS1CardBuilder::Blocks(int first, const Buffer& bytes) {
  std::copy(bytes.begin(), bytes.end(),
            bytes_.begin() + first * static_cast<std::ptrdiff_t>(kBlock));
  return *this;
}

// DexDrive software's header: its signature, the bytes 1 at 0x12 and 0x14
// and 'M' at 0x15, then byte 0 (state) and byte 8 (link) of each directory
// frame, comments empty.
Buffer PS1CardBuilder::DexDriveHeader() const {
  Buffer header(3904, 0);
  PutText(header, 0, "123-456-STD");
  header[0x12] = 0x01;
  header[0x14] = 0x01;
  header[0x15] = 'M';
  for (std::size_t i = 0; i < 15; ++i) {
    header[0x16 + i] = bytes_[(i + 1) * kFrame];
    header[0x26 + i] = bytes_[(i + 1) * kFrame + 8];
  }
  return header;
}

Buffer PS1CardBuilder::BlockBytes(int block) const {
  auto at = bytes_.begin() + block * static_cast<std::ptrdiff_t>(kBlock);
  return Buffer(at, at + static_cast<std::ptrdiff_t>(kBlock));
}

void PS1CardBuilder::Seal(int frame) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kFrame - 1; ++i) sum ^= bytes_[frame * kFrame + i];
  bytes_[frame * kFrame + kFrame - 1] = sum;
}

Buffer FramedSingle(const std::string& name, std::uint32_t declaredSize, const Buffer& blocks) {
  Buffer b = DirFrame(0x51, declaredSize, 0xFFFF, name);
  Append(b, blocks);
  return b;
}

Buffer ShortHeaderSingle(const std::string& name, const Buffer& blocks) {
  Buffer b(54, 0);
  PutText(b, 0, Cut(name, 22));
  Append(b, blocks);
  return b;
}

Buffer FramedBlocks(const std::string& name, std::uint32_t declaredSize, const Buffer& blocks) {
  Buffer b;
  std::uint32_t n = static_cast<std::uint32_t>(blocks.size() / kBlockBytes);
  for (std::uint32_t i = 0; i < n; ++i) {
    bool last = i + 1 == n;
    Append(b, DirFrame(i == 0 ? 0x51 : (last ? 0x53 : 0x52), i == 0 ? declaredSize : 0,
                       last ? 0xFFFF : static_cast<std::uint16_t>(i + 1), i == 0 ? name : ""));
    b.insert(b.end(), blocks.begin() + i * kBlockBytes, blocks.begin() + (i + 1) * kBlockBytes);
  }
  return b;
}

// ---- PS2 saves --------------------------------------------------------------

Buffer BuildIconSys(const IconSysFields& sys) {
  Buffer b(kIconSysBytes, 0);
  PutText(b, 0, "PS2D");
  Put16(b, kLineBreakAt, sys.lineBreak);
  Put32(b, kTransparencyAt, sys.transparency);
  for (std::size_t k = 0; k < 4; ++k)
    for (std::size_t c = 0; c < 4; ++c) Put32(b, kCornersAt + 16 * k + 4 * c, sys.corners[k][c]);
  for (std::size_t k = 0; k < 3; ++k) {
    PutFloats(b, kLightDirectionsAt + 16 * k, sys.lightDirections[k]);
    PutFloats(b, kLightColoursAt + 16 * k, sys.lightColours[k]);
  }
  PutFloats(b, kAmbientAt, sys.ambient);
  PutText(b, kTitleAt, Cut(sys.title, kTitleBytes));
  for (std::size_t k = 0; k < 3; ++k)
    PutText(b, kIconNamesAt + kIconNameBytes * k, Cut(sys.icons[k], kIconNameBytes));
  return b;
}

Buffer IconSys(const std::string& title, std::uint16_t lineBreak, const std::string& listIcon,
               std::uint8_t red) {
  IconSysFields sys;
  sys.title = title;
  sys.lineBreak = lineBreak;
  sys.corners.fill({red, 0x20, 0x10, 0x80});
  sys.icons = {listIcon, listIcon, listIcon};
  return BuildIconSys(sys);
}

std::uint32_t SaveSpec::EntryCount() const {
  return entryCountOverride >= 0 ? static_cast<std::uint32_t>(entryCountOverride)
                                 : static_cast<std::uint32_t>(files.size() + 2);
}

SaveSpec PS1Save(const std::string& name, std::uint32_t blocks, const std::string& title) {
  SaveSpec save;
  save.mode = kModePS1Directory;
  save.name = name;
  save.files.push_back(FileSpec{kModePS1File, name, PS1Blocks(blocks, title), Time(3)});
  return save;
}

Buffer Record80(std::uint16_t mode, std::uint32_t countOrSize, const Buffer& time,
                const std::string& name) {
  Buffer r(80, 0);
  Put16(r, 0, mode);
  Put32(r, 4, countOrSize);
  std::copy_n(time.begin(), 8, r.begin() + 8);
  PutText(r, 16, name);
  return r;
}

Buffer XmcHeader(std::uint32_t saves, std::uint32_t version, const std::string& magic) {
  Buffer b(16, 0);
  PutText(b, 0, magic);
  Put32(b, 4, saves);
  Put32(b, 8, version);
  return b;
}

Buffer XmcSave(const SaveSpec& save, const std::string& tag) {
  Buffer b(16, 0);
  PutText(b, 0, "SVDT");
  Put32(b, 4, save.EntryCount());
  PutText(b, 8, tag.empty() ? ((save.mode & kModePS1) ? "PS1D" : "PS2D") : tag);
  Append(b, Record80(save.mode, save.EntryCount(), save.time, save.name));
  for (const FileSpec& f : save.files) {
    Append(b, Record80(f.mode, static_cast<std::uint32_t>(f.bytes.size()), f.time, f.name));
    std::size_t start = b.size();
    Append(b, f.bytes);
    PadTo(b, start, 512);
  }
  return b;
}

Buffer Xmc(const std::vector<SaveSpec>& saves, std::uint32_t version) {
  Buffer b = XmcHeader(static_cast<std::uint32_t>(saves.size()), version);
  for (const SaveSpec& s : saves) Append(b, XmcSave(s));
  return b;
}

Buffer PsuHeader(std::uint16_t mode, std::uint32_t countOrSize, const Buffer& created,
                 const Buffer& modified, const std::string& name) {
  Buffer h(512, 0);
  Put16(h, 0, mode);
  Put32(h, 4, countOrSize);
  std::copy_n(created.begin(), 8, h.begin() + 8);
  std::copy_n(modified.begin(), 8, h.begin() + 24);
  PutText(h, 64, name);
  return h;
}

Buffer Psu(const SaveSpec& save, const Buffer& created) {
  Buffer b = PsuHeader(save.mode, save.EntryCount(), created, save.time, save.name);
  Append(b, PsuHeader(kModeDotEntry, 0, created, created, "."));
  Append(b, PsuHeader(kModeDotEntry, 0, created, created, ".."));
  for (const FileSpec& f : save.files) {
    Append(b,
           PsuHeader(f.mode, static_cast<std::uint32_t>(f.bytes.size()), created, f.time, f.name));
    std::size_t start = b.size();
    Append(b, f.bytes);
    PadTo(b, start, 1024);
  }
  return b;
}

// ---- Saves straight into a workspace slot -----------------------------------

bool AddPS1Save(Workspace& ws, Slot s, const std::string& name, const Buffer& bytes,
                const TimeStamp& time) {
  if (!ws.AddEntry(s, bytes.size())) return false;
  SaveEntry& e = ws.At(s).entries.back();
  e.mode = kModePS1Directory;
  e.entryCount = 3;
  e.time = time;
  e.name = CardFileName(AsBytes(name));
  e.size = static_cast<std::uint32_t>(bytes.size());
  e.files = {SaveFileEntry{kModePS1File, e.size, e.time, e.name}};
  if (!WriteIntoSlot(ws, s, e, bytes)) return false;
  ws.ReadPS1Title(s, e.offset, e);
  ws.ResolveIcons(s, e);
  ws.ListLastEntry(s);
  return true;
}

bool AddPS2Save(Workspace& ws, Slot s, const PS2SaveInput& save, IconSysUse iconSys) {
  Buffer bytes;
  for (const NamedFile& file : save.files) Append(bytes, file.second);
  if (!ws.AddEntry(s, bytes.size())) return false;
  SaveEntry& e = ws.At(s).entries.back();
  e.mode = 0x8427;
  e.entryCount = static_cast<std::uint32_t>(save.files.size() + 2);
  e.time = save.time;
  e.name = NameOf(save.name);
  e.size = static_cast<std::uint32_t>(bytes.size());
  std::uint32_t at = e.offset, iconSysAt = 0, iconSysSize = 0;
  for (const NamedFile& file : save.files) {
    auto size = static_cast<std::uint32_t>(file.second.size());
    e.files.push_back(SaveFileEntry{save.fileMode, size, save.fileTime, NameOf(file.first)});
    if (file.first == "icon.sys") iconSysAt = at, iconSysSize = size;
    at += size;
  }
  if (!WriteIntoSlot(ws, s, e, bytes)) return false;
  if (iconSys == IconSysUse::ReadWhenPresent && iconSysSize > 0) {
    if (!ws.ReadIconSys(s, iconSysAt, iconSysSize, e)) return false;
    ws.ResolveIcons(s, e);
  } else {
    Workspace::ApplyMissingIconSys(e);
    e.useStandardIcon = 1;
  }
  ws.ListLastEntry(s);
  return true;
}

}  // namespace slk::inputs
