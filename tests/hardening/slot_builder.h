#pragma once
// Puts synthetic saves straight into a slot, as a reader would leave them, and
// takes snapshots of a slot so that a test can tell that a failed operation
// changed nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "card/utility.h"
#include "card/workspace.h"

namespace slk::testing {

using Buffer = std::vector<std::uint8_t>;
using NamedFile = std::pair<std::string, Buffer>;

inline Name64 NameOf(const std::string& text) {
  Name64 name{};
  std::copy_n(text.begin(), std::min(text.size(), name.size()), name.begin());
  return name;
}

inline TimeStamp Day(std::uint8_t day) {
  TimeStamp t;
  t.bytes = {0, 30, 20, 10, day, 6, 0xD3, 0x07};
  return t;
}

// A PS1 save's blocks: title frame ("SC", block count, title), then a pattern
// that differs per block and per seed.
inline Buffer PS1Blocks(std::uint32_t blocks, const std::string& title, std::uint8_t seed) {
  Buffer b(blocks * 8192u);
  for (std::size_t i = 128; i < b.size(); ++i)
    b[i] = static_cast<std::uint8_t>(seed * 31 + i / 8192 * 17 + i % 251);
  b[0] = 'S';
  b[1] = 'C';
  b[2] = 0x11;
  b[3] = static_cast<std::uint8_t>(blocks);
  std::copy_n(title.begin(), std::min<std::size_t>(title.size(), 64), b.begin() + 4);
  return b;
}

// Bytes that differ per seed, for PS2 files of any size.
inline Buffer Pattern(std::size_t size, std::uint8_t seed) {
  Buffer b(size);
  std::uint32_t state = seed;
  for (auto& byte : b) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return b;
}

inline void WriteSaveBytes(Workspace& ws, Slot s, const SaveEntry& e, const Buffer& bytes) {
  ASSERT_TRUE(ws.At(s).dataFile.Seek(e.offset));
  ASSERT_TRUE(ws.At(s).dataFile.WriteExact(bytes.data(), bytes.size()));
}

inline void AddPS1Save(Workspace& ws, Slot s, const std::string& name, const Buffer& bytes) {
  ASSERT_TRUE(ws.AddEntry(s, bytes.size()));
  SaveEntry& e = ws.At(s).entries.back();
  e.mode = kModePS1Directory;
  e.entryCount = 3;
  e.time = Day(3);
  e.name = CardFileName(AsBytes(name));
  e.size = static_cast<std::uint32_t>(bytes.size());
  e.files = {SaveFileEntry{kModePS1File, e.size, e.time, e.name}};
  WriteSaveBytes(ws, s, e, bytes);
  ws.ReadPS1Title(s, e.offset, e);
  ws.ResolveIcons(s, e);
  ws.ListLastEntry(s);
}

// A PS2 save of the given files; no icon.sys is looked for (the standard icon).
inline void AddPS2Save(Workspace& ws, Slot s, const std::string& name,
                       const std::vector<NamedFile>& files) {
  Buffer bytes;
  for (const NamedFile& file : files)
    bytes.insert(bytes.end(), file.second.begin(), file.second.end());
  ASSERT_TRUE(ws.AddEntry(s, bytes.size()));
  SaveEntry& e = ws.At(s).entries.back();
  e.mode = 0x8427;
  e.entryCount = static_cast<std::uint32_t>(files.size() + 2);
  e.time = Day(1);
  e.name = NameOf(name);
  e.size = static_cast<std::uint32_t>(bytes.size());
  for (const NamedFile& file : files)
    e.files.push_back(SaveFileEntry{0x8497, static_cast<std::uint32_t>(file.second.size()), Day(2),
                                    NameOf(file.first)});
  WriteSaveBytes(ws, s, e, bytes);
  Workspace::ApplyMissingIconSys(e);
  e.useStandardIcon = 1;
  ws.ListLastEntry(s);
}

inline bool SameRecords(const SaveEntry& a, const SaveEntry& b) {
  auto fields = [](const SaveEntry& e) {
    return std::tie(e.size, e.offset, e.iconOffsets, e.iconSizes, e.useStandardIcon,
                    e.backgroundColours, e.titleLine1Length, e.titleLine2Length, e.title, e.mode,
                    e.entryCount, e.time, e.name);
  };
  auto fileFields = [](const SaveFileEntry& f) { return std::tie(f.mode, f.size, f.time, f.name); };
  return fields(a) == fields(b) &&
         std::equal(a.files.begin(), a.files.end(), b.files.begin(), b.files.end(),
                    [&](const SaveFileEntry& x, const SaveFileEntry& y) {
                      return fileFields(x) == fileFields(y);
                    });
}

// What a slot holds: kind, rows, every entry's records and listed bytes.
struct SlotSnapshot {
  bool open = false;
  CardKind kind = CardKind::PS2;
  std::vector<std::uint32_t> rows;
  std::vector<SaveEntry> entries;
  std::vector<Buffer> bytes;  // each listed save's bytes

  bool operator==(const SlotSnapshot& o) const {
    return open == o.open && kind == o.kind && rows == o.rows && bytes == o.bytes &&
           std::equal(entries.begin(), entries.end(), o.entries.begin(), o.entries.end(),
                      SameRecords);
  }
};

inline SlotSnapshot Snapshot(Workspace& ws, Slot s) {
  SlotSnapshot snap;
  SlotData& slot = ws.At(s);
  snap.open = slot.open;
  snap.kind = slot.kind;
  snap.rows = slot.rows;
  snap.entries = slot.entries;
  for (std::uint32_t row = 0; row < slot.RowCount(); ++row) {
    const SaveEntry& e = slot.AtRow(row);
    Buffer b(e.size);
    EXPECT_TRUE(ws.ReadSlotBytes(s, e.offset, b.data(), b.size()));
    snap.bytes.push_back(std::move(b));
  }
  return snap;
}

// The names in a folder, sorted, hidden ones included.
inline std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace slk::testing
