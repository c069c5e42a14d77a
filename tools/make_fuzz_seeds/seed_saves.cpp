#include "seed_saves.h"

#include <cstdio>
#include <cstdlib>

#include "card/utility.h"

namespace slk::tools {
namespace {

TimeStamp FixedTime(std::uint8_t day) {
  TimeStamp t;
  t.bytes = {0, 30, 20, 10, day, 6, 0xD3, 0x07};  // 10:20:30 on day/6/2003
  return t;
}

void PutText(Bytes& b, std::size_t at, const std::string& text) {
  for (std::size_t i = 0; i < text.size() && at + i < b.size(); ++i)
    b[at + i] = static_cast<std::uint8_t>(text[i]);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

Name64 NameOf(const std::string& text) {
  Name64 name{};
  for (std::size_t i = 0; i < text.size() && i < name.size(); ++i)
    name[i] = static_cast<std::uint8_t>(text[i]);
  return name;
}

bool WriteIntoSlot(Workspace& ws, Slot s, const SaveEntry& e, const Bytes& bytes) {
  return ws.At(s).dataFile.Seek(e.offset) &&
         ws.At(s).dataFile.WriteExact(bytes.data(), bytes.size());
}

}  // namespace

void SeedSink::ShowMessage(int id) {
  std::fprintf(stderr, "make_fuzz_seeds: unexpected message %d\n", id);
  std::exit(1);
}

Bytes PS1SaveBytes(int blocks, const std::string& title, std::uint8_t seed) {
  Bytes b(static_cast<std::size_t>(blocks) * 8192, 0);
  b[0] = 'S';
  b[1] = 'C';
  b[2] = 0x11;  // static icon, one frame
  b[3] = static_cast<std::uint8_t>(blocks);
  PutText(b, 4, title);
  for (int i = 0; i < 16; ++i) {  // a ramp of greys
    std::uint16_t grey = static_cast<std::uint16_t>(i * 2 * (1 + 32 + 1024));
    b[0x60 + 2 * i] = static_cast<std::uint8_t>(grey);
    b[0x61 + 2 * i] = static_cast<std::uint8_t>(grey >> 8);
  }
  for (std::size_t i = 0x80; i < 0x100; ++i) b[i] = static_cast<std::uint8_t>((i * 0x11) ^ seed);
  std::uint32_t state = seed;
  for (std::size_t i = 0x100; i < b.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    b[i] = static_cast<std::uint8_t>(state >> 24);
  }
  return b;
}

Bytes IconSysBytes(const std::string& title, std::uint16_t lineBreak, const std::string& icon) {
  Bytes b(964, 0);
  PutText(b, 0, "PS2D");
  b[6] = static_cast<std::uint8_t>(lineBreak);
  b[7] = static_cast<std::uint8_t>(lineBreak >> 8);
  for (int k = 0; k < 4; ++k) {
    Put32(b, 0x10 + 16 * k, 0x40 + 16 * k);
    Put32(b, 0x14 + 16 * k, 0x20);
    Put32(b, 0x18 + 16 * k, 0x80 - 16 * k);
  }
  PutText(b, 0xC0, title);
  for (std::size_t at : {0x104u, 0x144u, 0x184u}) PutText(b, at, icon);
  return b;
}

bool AddPS1Save(Workspace& ws, Slot s, const std::string& name, int blocks,
                const std::string& title, std::uint8_t seed) {
  Bytes bytes = PS1SaveBytes(blocks, title, seed);
  if (!ws.AddEntry(s, bytes.size())) return false;
  SaveEntry& e = ws.At(s).entries.back();
  e.mode = kModePS1Directory;
  e.entryCount = 3;
  e.time = FixedTime(seed);
  e.name = CardFileName(AsBytes(name));
  e.size = static_cast<std::uint32_t>(bytes.size());
  e.files = {SaveFileEntry{kModePS1File, e.size, e.time, e.name}};
  if (!WriteIntoSlot(ws, s, e, bytes)) return false;
  ws.ReadPS1Title(s, e.offset, e);
  ws.ResolveIcons(s, e);
  ws.ListLastEntry(s);
  return true;
}

bool AddPS2Save(Workspace& ws, Slot s, const std::string& name,
                const std::vector<NamedFile>& files) {
  Bytes bytes;
  for (const NamedFile& file : files)
    bytes.insert(bytes.end(), file.second.begin(), file.second.end());
  if (!ws.AddEntry(s, bytes.size())) return false;
  SaveEntry& e = ws.At(s).entries.back();
  e.mode = 0x8427;
  e.entryCount = static_cast<std::uint32_t>(files.size() + 2);
  e.time = FixedTime(1);
  e.name = NameOf(name);
  e.size = static_cast<std::uint32_t>(bytes.size());
  std::uint32_t at = e.offset;
  std::uint32_t iconSysAt = 0, iconSysSize = 0;
  for (const NamedFile& file : files) {
    auto size = static_cast<std::uint32_t>(file.second.size());
    e.files.push_back(SaveFileEntry{0x8497, size, FixedTime(2), NameOf(file.first)});
    if (file.first == "icon.sys") iconSysAt = at, iconSysSize = size;
    at += size;
  }
  if (!WriteIntoSlot(ws, s, e, bytes)) return false;
  if (iconSysSize > 0) {
    ws.ReadIconSys(s, iconSysAt, iconSysSize, e);
    ws.ResolveIcons(s, e);
  } else {
    Workspace::ApplyMissingIconSys(e);
    e.useStandardIcon = 1;
  }
  ws.ListLastEntry(s);
  return true;
}

std::vector<NamedFile> SmallPS2Files(const std::string& title) {
  Bytes model(600);
  Put32(model, 0, 0x010000);  // an icon model header: version, then counts
  Put32(model, 4, 1);         // shapes
  Put32(model, 8, 0x07);      // attributes
  Put32(model, 16, 3);        // vertices
  for (std::size_t i = 20; i < model.size(); ++i) model[i] = static_cast<std::uint8_t>(i * 5);
  Bytes data(1500);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i ^ 0x5A);
  return {{"icon.sys", IconSysBytes(title, 8, "list.ico")}, {"list.ico", model}, {"DATA", data}};
}

}  // namespace slk::tools
