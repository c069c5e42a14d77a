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

namespace slk::platform {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "slk-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (fs::path(path_) / name).string(); }
  std::size_t EntryCount() const {
    return std::distance(fs::directory_iterator(path_), fs::directory_iterator());
  }

 private:
  std::string path_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

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
  std::string target = dir / "card.mcr";
  std::ofstream(target) << "old";
  {
    AtomicFile out(target);
    ASSERT_TRUE(out.IsOpen());
    ASSERT_TRUE(out.Stream().WriteExact("new!", 4));
    EXPECT_EQ(ReadAll(target), "old");
    ASSERT_TRUE(out.Commit());
  }
  EXPECT_EQ(ReadAll(target), "new!");
  EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(AtomicFile, AbandonedOrFailedWriteLeavesOldFileAndNoLeftovers) {
  TempDir dir;
  std::string target = dir / "card.mcr";
  std::ofstream(target) << "old";
  {
    AtomicFile out(target);
    ASSERT_TRUE(out.Stream().WriteExact("x", 1));
  }
  EXPECT_EQ(ReadAll(target), "old");
  EXPECT_EQ(dir.EntryCount(), 1u);

  for (IoStep step : {IoStep::Write, IoStep::Flush, IoStep::Rename}) {
    AtomicFile out(target);
    FailNthIo(step, 1);
    out.Stream().WriteExact("abc", 3);
    EXPECT_FALSE(out.Commit());
    DisarmIoFaults();
    EXPECT_EQ(ReadAll(target), "old");
    EXPECT_EQ(dir.EntryCount(), 1u);
  }
}

TEST(AtomicFile, RefusesAFolderAsTarget) {
  TempDir dir;
  fs::create_directory(dir / "sub");
  AtomicFile out(dir / "sub");
  EXPECT_FALSE(out.IsOpen());
}

}  // namespace
}  // namespace slk::platform
