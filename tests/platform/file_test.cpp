#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/bytes.h"
#include "platform/file.h"
#include "platform/file_lock.h"
#include "platform/io_faults.h"
#include "platform/links.h"
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

// Gathered writes land as if written one by one: in order, overwritten where
// written again, readable before they are written out; one that cannot be
// written out fails then and leaves the file Failed(). A piece view of it
// reads its pieces as one file.
TEST(SlotTempFile, UnlinkedStorageWhoseGatheredWritesLandAsIfWrittenOneByOne) {
  File f = CreateSlotTempFile();
  ASSERT_TRUE(f.IsOpen());
  struct stat st {};
  ASSERT_EQ(::fstat(f.Descriptor(), &st), 0);
  EXPECT_EQ(st.st_nlink, 0u) << "the temporary file must vanish when closed";
  f.GatherWrites();
  std::vector<std::uint8_t> expected;
  auto write = [&](std::uint64_t at, std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> piece(n);
    for (std::size_t i = 0; i < n; ++i) piece[i] = static_cast<std::uint8_t>(seed + i * 7);
    if (expected.size() < at + n) expected.resize(at + n, 0);
    std::copy(piece.begin(), piece.end(), expected.begin() + static_cast<std::ptrdiff_t>(at));
    return f.Seek(at) && f.WriteExact(piece.data(), n);
  };
  std::uint64_t end = 0;
  for (std::size_t n : {80u, 964u, 8192u, 300000u, 100u, 200000u, 70000u}) {
    ASSERT_TRUE(write(end, n, static_cast<std::uint8_t>(n)));
    end += n;
  }
  ASSERT_TRUE(write(50, 100, 3));  // back over bytes gathered or written out
  ASSERT_TRUE(write(end - 10, 20, 9));
  ASSERT_TRUE(write(end + 10, 30, 11));
  // Small reads come from the read-ahead, around and into what is gathered.
  for (std::uint64_t at : {end - 16, end + 4, end + 12, std::uint64_t{60}}) {
    std::uint8_t small[8] = {};
    ASSERT_TRUE(f.Seek(at) && f.ReadExact(small, sizeof small));
    EXPECT_TRUE(std::equal(small, small + 8, expected.begin() + static_cast<std::ptrdiff_t>(at)))
        << "at " << at;
  }
  std::vector<std::uint8_t> back(expected.size() - 40);
  ASSERT_TRUE(f.Seek(40) && f.ReadExact(back.data(), back.size()));
  EXPECT_TRUE(std::equal(back.begin(), back.end(), expected.begin() + 40));
  ASSERT_TRUE(f.StopGathering());
  std::vector<std::uint8_t> onDisk(expected.size() + 1);
  ASSERT_EQ(::pread(f.Descriptor(), onDisk.data(), onDisk.size(), 0),
            static_cast<ssize_t>(expected.size()));
  onDisk.pop_back();
  EXPECT_EQ(onDisk, expected);
  std::uint8_t past = 0;
  EXPECT_FALSE(f.Seek(expected.size()) && f.ReadExact(&past, 1)) << "reading past the end fails";

  // A piece view reads pieces of the file back to back, across their borders,
  // small reads from its read-ahead, and is never written.
  File view = f.PieceView();
  std::vector<std::uint8_t> pieces;
  for (auto [at, n] : {std::pair<std::size_t, std::size_t>{70, 900}, {300000, 20000}, {60, 30}}) {
    ASSERT_TRUE(view.AppendPiece(at, n));
    pieces.insert(pieces.end(), expected.begin() + at, expected.begin() + at + n);
  }
  std::vector<std::uint8_t> viewed(pieces.size() - 5);
  ASSERT_TRUE(view.Seek(5) && view.ReadExact(viewed.data(), 8) &&
              view.ReadExact(viewed.data() + 8, viewed.size() - 8));
  EXPECT_EQ(viewed, std::vector<std::uint8_t>(pieces.begin() + 5, pieces.end()));
  EXPECT_FALSE(view.ReadExact(&past, 1) || view.WriteExact("x", 1));

  TempDir dir;
  std::ofstream(dir.File("read-only")) << "old";
  File readOnly(::open(dir.File("read-only").c_str(), O_RDONLY | O_CLOEXEC));
  readOnly.GatherWrites();
  EXPECT_TRUE(readOnly.WriteExact("new", 3));
  EXPECT_FALSE(readOnly.Flush());
  EXPECT_TRUE(readOnly.Failed());
}

TEST(AtomicFile, ReplacesTargetOnlyOnCommit) {
  TempDir dir;
  std::string target = dir.File("card.mcr");
  std::ofstream(target) << "old";
  {
    AtomicFile abandoned(target);
    ASSERT_TRUE(abandoned.Stream().WriteExact("x", 1));
  }
  EXPECT_EQ(ReadFileText(target), "old");
  EXPECT_EQ(dir.EntryCount(), 1u);
  // Failed writes, flushes and renames: FaultInjectionTest walks them for every writer.

  AtomicFile out(target);
  ASSERT_TRUE(out.IsOpen());
  ASSERT_TRUE(out.Stream().WriteExact("new!", 4));
  EXPECT_EQ(ReadFileText(target), "old");
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(ReadFileText(target), "new!");
  EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(AtomicFile, RefusesWhatItMustNotReplace) {
  TempDir dir;
  fs::create_directory(dir.File("sub"));
  std::ofstream(dir.File("readonly.mcr")) << "old";
  fs::permissions(dir.File("readonly.mcr"), fs::perms(0444));
  fs::create_symlink("nowhere.mcr", dir.File("dangling.mcr"));
  fs::create_symlink("loop-b.mcr", dir.File("loop-a.mcr"));
  fs::create_symlink("loop-a.mcr", dir.File("loop-b.mcr"));
  const struct {
    const char* name;
    Reason reason;
  } cases[] = {
      {"sub", Reason::NotRegularFile},
      {"readonly.mcr", Reason::ReadOnlyFile},
      {"dangling.mcr", Reason::DanglingLink},
      {"loop-a.mcr", Reason::LinkLoop},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AtomicFile out(dir.File(c.name));
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(out.Why().reason, c.reason);
  }
  EXPECT_EQ(ReadFileText(dir.File("readonly.mcr")), "old");
  EXPECT_TRUE(fs::is_symlink(dir.File("dangling.mcr")));
  EXPECT_EQ(dir.EntryCount(), 5u);
}

TEST(AtomicFile, WritesThroughSymbolicLinksKeepingLinkAndMode) {
  TempDir dir;
  fs::create_directory(dir.File("emu"));
  std::string real = dir.File("emu/card.mcr");
  std::ofstream(real) << "old";
  ::chmod(real.c_str(), 0640);
  fs::create_symlink("../emu/card.mcr", dir.File("emu/up.mcr"));
  fs::create_symlink("emu/up.mcr", dir.File("card.mcr"));  // a chain of two
  AtomicFile out(dir.File("card.mcr"));
  ASSERT_TRUE(out.IsOpen());
  ASSERT_TRUE(out.Stream().WriteExact("new!", 4));
  ASSERT_TRUE(out.Commit());
  EXPECT_TRUE(fs::is_symlink(dir.File("card.mcr")));
  EXPECT_TRUE(fs::is_symlink(dir.File("emu/up.mcr")));
  EXPECT_EQ(ReadFileText(real), "new!");
  struct stat st {};
  ASSERT_EQ(::lstat(real.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(dir.EntryCount(), 2u);
}

// An unfinished save has no name to leave behind after a kill, and names up
// to the file system's limit still save.
TEST(AtomicFile, AnUnfinishedSaveHasNoNameEvenForTheLongestNames) {
  TempDir dir;
  int probe = ::open(dir.Path().c_str(), O_TMPFILE | O_RDWR, 0600);
  const bool unnamed = probe >= 0;
  if (unnamed) ::close(probe);
  for (std::size_t length : {12u, 248u, 255u}) {
    std::string target = dir.File(std::string(length - 4, 'n') + ".mcr");
    std::ofstream(target) << "old";
    AtomicFile out(target);
    ASSERT_TRUE(out.IsOpen()) << length;
    ASSERT_TRUE(out.Stream().WriteExact("new!", 4));
    if (unnamed) {
      EXPECT_EQ(dir.EntryCount(), 1u) << length;
    }
    ASSERT_TRUE(out.Commit()) << length;
    EXPECT_EQ(ReadFileText(target), "new!");
    EXPECT_EQ(dir.EntryCount(), 1u);
    std::filesystem::remove(target);
  }
}

// A save that is not flushed, or whose rename is not flushed into the folder,
// can be lost on a power failure although it reported success.
TEST(AtomicFile, FlushesTheFileRenamesAndFlushesTheFolder) {
  TempDir dir;
  std::string target = dir.File("card.mcr");
  for (IoStep step : {IoStep::Flush, IoStep::Rename, IoStep::SyncFolder}) FailNthIo(step, 0);
  {
    AtomicFile out(target);
    ASSERT_TRUE(out.Stream().WriteExact("new!", 4));
    ASSERT_TRUE(out.Commit());
  }
  EXPECT_EQ(IoStepsSeen(IoStep::Flush), 1u);
  EXPECT_EQ(IoStepsSeen(IoStep::Rename), 1u);
  EXPECT_EQ(IoStepsSeen(IoStep::SyncFolder), 1u);

  FailNthIo(IoStep::SyncFolder, 1);
  AtomicFile out(target);
  ASSERT_TRUE(out.Stream().WriteExact("two!", 4));
  EXPECT_FALSE(out.Commit()) << "a save whose folder was not flushed reported success";
  EXPECT_EQ(out.Why().reason, Reason::WriteFailed);
  DisarmIoFaults();
}

TEST(File, RefusesAFifoWithoutWaitingForAWriter) {
  TempDir dir;
  std::string fifo = dir.File("f.mcr");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Problem why;
  File file = File::OpenForReading(fifo, &why);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(why.reason, Reason::NotRegularFile);
  File::OpenForReading(dir.File("missing.mcr"), &why);
  EXPECT_EQ(why.reason, Reason::NotFound);
}

TEST(FileLock, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
  TempDir dir;
  std::string target = dir.File("card.mcr");
  std::ofstream(target) << "card";
  fs::create_symlink("card.mcr", dir.File("link.mcr"));
  FileLock first;
  ASSERT_TRUE(first.Acquire(target, std::chrono::milliseconds(0)));
  EXPECT_TRUE(first.Held());
  FileLock second;
  Problem why;
  EXPECT_FALSE(second.Acquire(dir.File("link.mcr"), std::chrono::milliseconds(0), &why))
      << "the link leads to the locked card";
  EXPECT_EQ(why.reason, Reason::Busy);
  first.Release();
  EXPECT_TRUE(second.Acquire(dir.File("link.mcr"), std::chrono::milliseconds(0)));

  FileLock none;
  EXPECT_TRUE(none.Acquire(dir.File("new.mcr"), std::chrono::milliseconds(0)));
  EXPECT_FALSE(none.Held()) << "nothing to lock before the first save";
}

TEST(FileStamp, ChangesWhenTheFileIsReplaced) {
  TempDir dir;
  std::string target = dir.File("card.mcr");
  std::ofstream(target) << "old";
  std::optional<FileStamp> before = StampOf(target);
  ASSERT_TRUE(before);
  EXPECT_EQ(StampOf(target), before);
  {
    AtomicFile out(target);
    ASSERT_TRUE(out.Stream().WriteExact("old", 3));
    ASSERT_TRUE(out.Commit());
  }
  EXPECT_NE(StampOf(target), before) << "same size and bytes, but another file";
  EXPECT_FALSE(StampOf(dir.File("missing.mcr")));
}

}  // namespace
}  // namespace slk::platform
