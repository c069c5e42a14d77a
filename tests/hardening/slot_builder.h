#pragma once
// Puts synthetic saves straight into a slot, as a reader would leave them
// (through tools/card_inputs), and takes snapshots of a slot so that a test
// can tell that a failed operation changed nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "card/workspace.h"
#include "support/card_inputs.h"

namespace slk::testing {

// The gtest face of the shared slot adders: a failure fails the test.
inline void AddPS1Save(Workspace& ws, Slot s, const std::string& name, const Buffer& bytes) {
  ASSERT_TRUE(inputs::AddPS1Save(ws, s, name, bytes, inputs::Day(3)));
}

// A PS2 save of the given files; no icon.sys is looked for (the standard icon).
inline void AddPS2Save(Workspace& ws, Slot s, const std::string& name,
                       const std::vector<NamedFile>& files) {
  ASSERT_TRUE(inputs::AddPS2Save(ws, s, {name, files}, inputs::IconSysUse::Ignore));
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
