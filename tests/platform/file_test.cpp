#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/bytes.h"
#include "platform/file.h"
#include "platform/io_faults.h"
#include "support/temp_dir.h"

namespace slk::platform {
namespace {

namespace fs = std::filesystem;

using testing::ReadFileText;
using testing::TempDir;

TEST(Bytes, ReadsLittleEndianAndRefusesOutOfBounds) {
  const std::uint8_t data[] = {0x34, 0x12, 0x78, 0x56};
  ByteSpan span(data);
  EXPECT_EQ(ReadU16LE(span, 0), 0x1234);
  EXPECT_EQ(ReadU32LE(span, 0), 0x56781234u);
  EXPECT_FALSE(ReadU16LE(span, 3).has_value());
  EXPECT_FALSE(ReadU32LE(span, 1).has_value());
  EXPECT_FALSE(ReadU8(span, static_cast<std::size_t>(-1)).has_value());
}

TEST(SlotTempFile, IsUnlinkedReadWriteStorage) {
  File f = CreateSlotTempFile();
  ASSERT_TRUE(f.IsOpen());
  struct stat st {};
  ASSERT_EQ(::fstat(f.Descriptor(), &st), 0);
  EXPECT_EQ(st.st_nlink, 0u) << "the temporary file must vanish when closed";
  const char text[] = "hello";
  ASSERT_TRUE(f.WriteExact(text, 5));
  ASSERT_TRUE(f.Seek(1));
  char back[4] = {};
  ASSERT_TRUE(f.ReadExact(back, 4));
  EXPECT_EQ(std::string(back, 4), "ello");
  EXPECT_FALSE(f.ReadExact(back, 1)) << "reading past the end is a failure";
}

TEST(AtomicFile, ReplacesTargetOnlyOnCommit) {
  TempDir dir;
  std::string target = dir.File("card.mcr");
  std::ofstream(target) << "old";
  {
    AtomicFile out(target);
    ASSERT_TRUE(out.IsOpen());
    ASSERT_TRUE(out.Stream().WriteExact("new!", 4));
    EXPECT_EQ(ReadFileText(target), "old");
    ASSERT_TRUE(out.Commit());
  }
  EXPECT_EQ(ReadFileText(target), "new!");
  EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(AtomicFile, AbandonedOrFailedWriteLeavesOldFileAndNoLeftovers) {
  TempDir dir;
  std::string target = dir.File("card.mcr");
  std::ofstream(target) << "old";
  {
    AtomicFile out(target);
    ASSERT_TRUE(out.Stream().WriteExact("x", 1));
  }
  EXPECT_EQ(ReadFileText(target), "old");
  EXPECT_EQ(dir.EntryCount(), 1u);

  for (IoStep step : {IoStep::Write, IoStep::Flush, IoStep::Rename}) {
    AtomicFile out(target);
    FailNthIo(step, 1);
    out.Stream().WriteExact("abc", 3);
    EXPECT_FALSE(out.Commit());
    DisarmIoFaults();
    EXPECT_EQ(ReadFileText(target), "old");
    EXPECT_EQ(dir.EntryCount(), 1u);
  }
}

TEST(AtomicFile, RefusesAFolderAsTarget) {
  TempDir dir;
  fs::create_directory(dir.File("sub"));
  AtomicFile out(dir.File("sub"));
  EXPECT_FALSE(out.IsOpen());
}

}  // namespace
}  // namespace slk::platform
