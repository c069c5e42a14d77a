// A save that is killed at any moment leaves either the complete old image or
// the complete new one, never a torn file. A child process saves a large
// expanded card over an existing one and is killed with SIGKILL after a
// random delay; the parent then looks at what is on disk.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "card/card_image.h"
#include "sanitizers.h"
#include "slot_builder.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace slk {
namespace {

using Clock = std::chrono::steady_clock;
using testing::Buffer;

// Large enough that a save takes a while (many writes, an fsync of tens of
// megabytes), small enough for 100 trials in well under a minute; half that
// under the sanitizers, which slow every copy and fork.
constexpr std::size_t kBigFileBytes = SLK_SANITIZED ? 4 << 20 : 8 << 20;
constexpr int kBigFiles = 4;
constexpr int kTrials = 100;

struct Digest {
  std::uint64_t size = 0;
  std::size_t hash = 0;
  bool operator==(const Digest&) const = default;
};

Digest DigestOf(const std::string& path) {
  std::string bytes = testing::ReadFileText(path);
  return Digest{bytes.size(), std::hash<std::string>{}(bytes)};
}

// Runs SaveCardImage in a child; kills it after `delay` unless it is done by
// then. True when the child finished the save by itself.
bool SaveInChild(Workspace& ws, const std::string& target, Clock::duration delay) {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(SaveCardImage(ws, kLeft, target) == 1 ? 0 : 1);
  EXPECT_GT(pid, 0);
  Clock::time_point end = Clock::now() + delay;
  int status = 0;
  while (Clock::now() < end) {
    if (::waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Hidden files beside the target: temporary files of interrupted saves.
std::vector<std::string> StrayFiles(const std::string& folder) {
  std::vector<std::string> stray;
  for (const std::string& name : testing::Listing(folder))
    if (name.front() == '.') stray.push_back(name);
  return stray;
}

class CrashSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ws.CreateSlotStore(kLeft, 0), 1u);
    ASSERT_EQ(ws.CreateSlotStore(kRight, 0), 1u);
    std::vector<testing::NamedFile> files;
    for (int i = 0; i < kBigFiles; ++i)
      files.push_back({"DATA" + std::to_string(i), testing::Pattern(kBigFileBytes + i, i + 1)});
    testing::AddPS2Save(ws, kLeft, "BASLUS-90020BIGGAME", files);
    testing::AddPS1Save(ws, kLeft, "BASLUS-90001STARVOY", testing::PS1Blocks(3, "STAR", 1));
    // The old card: another save, a different length.
    testing::AddPS2Save(ws, kRight, "BESLES-90021OLDGAME",
                        {{"DATA", testing::Pattern(kBigFileBytes / 4, 9)}});
  }

  testing::TempDir dir;
  testing::RecordingSink sink;
  Settings settings;
  Workspace ws{sink, settings};
};

TEST_F(CrashSafetyTest, KilledSaveLeavesTheOldOrTheNewImage) {
  std::string target = dir.File("card.xmc");
  std::string reference = dir.File("reference.xmc");
  ASSERT_EQ(SaveCardImage(ws, kRight, target), 1u);
  Buffer oldBytes = testing::ReadFileBytes(target);
  Digest oldDigest = DigestOf(target);
  // How long an uninterrupted save takes, and what it writes.
  Clock::time_point start = Clock::now();
  ASSERT_TRUE(SaveInChild(ws, reference, std::chrono::minutes(1)));
  Clock::duration full = Clock::now() - start;
  Digest newDigest = DigestOf(reference);
  std::filesystem::remove(reference);
  ASSERT_NE(oldDigest, newDigest);

  std::mt19937 random(20240611);
  std::uniform_int_distribution<std::int64_t> delayUs(
      0, std::chrono::duration_cast<std::chrono::microseconds>(full).count() * 5 / 4);
  for (int trial = 0; trial < kTrials; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    if (DigestOf(target) != oldDigest) testing::WriteFileBytes(target, oldBytes);
    SaveInChild(ws, target, std::chrono::microseconds(delayUs(random)));

    Digest now = DigestOf(target);
    ASSERT_TRUE(now == oldDigest || now == newDigest) << "the card is torn";
    // A killed save can leave its own temporary file, never more than that.
    std::vector<std::string> stray = StrayFiles(dir.Path());
    ASSERT_LE(stray.size(), 1u);
    for (const std::string& name : stray) {
      EXPECT_EQ(name.rfind(".card.xmc.", 0), 0u) << name;
      std::filesystem::remove(dir.File(name));
    }
    ASSERT_EQ(testing::Listing(dir.Path()), std::vector<std::string>{"card.xmc"});
  }
}

}  // namespace
}  // namespace slk
