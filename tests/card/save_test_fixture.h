#pragma once
// A workspace with a recording message sink and a scratch folder, and the
// small steps the save format and operation tests share.

#include <gtest/gtest.h>

#include <string>

#include "card/save_data_image.h"
#include "card/workspace.h"
#include "support/card_inputs.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace slk::testing {

class SaveTest : public ::testing::Test {
 protected:
  void OpenSlot(Slot s, CardKind kind) {
    ASSERT_EQ(ws.CreateSlotStore(s, 0), 1u);
    ws.At(s).kind = kind;
  }

  std::string Write(const std::string& name, const Buffer& bytes) {
    std::string path = dir.File(name);
    WriteFileBytes(path, bytes);
    return path;
  }

  std::uint32_t Import(Slot s, const std::string& name, const Buffer& bytes) {
    return AddSaveImage(ws, s, Write(name, bytes));
  }

  // The bytes of a listed save, from the slot's data file.
  Buffer SaveBytes(Slot s, std::uint32_t row) {
    const SaveEntry& e = ws.At(s).AtRow(row);
    Buffer bytes(e.size);
    EXPECT_TRUE(ws.ReadSlotBytes(s, e.offset, bytes.data(), bytes.size()));
    return bytes;
  }

  void ClearSink() {
    sink.shown.clear();
    sink.problems.clear();
    sink.asked.clear();
    sink.askedAbout.clear();
  }

  // `result` is a refusal that showed `message` alone and, unless `reason` is
  // None, that reason about `path` (unless empty) on its second line.
  void ExpectRefusal(std::uint32_t result, int message,
                     platform::Reason reason = platform::Reason::None,
                     const std::string& path = "") {
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(sink.shown, std::vector<int>{message});
    if (reason == platform::Reason::None) return;
    ASSERT_EQ(sink.problems.size(), 1u);
    EXPECT_EQ(sink.problems[0].reason, reason);
    if (!path.empty()) {
      EXPECT_EQ(sink.problems[0].path, path);
    }
  }

  static std::string Text(const Name64& field) {
    return std::string(reinterpret_cast<const char*>(field.data()),
                       strnlen(reinterpret_cast<const char*>(field.data()), field.size()));
  }

  // Declared first so that it outlives the workspace, whose slots may still
  // remove a lock file inside it.
  TempDir dir;
  RecordingSink sink;
  Settings settings;
  Workspace ws{sink, settings};
};

}  // namespace slk::testing
