#include "scratch.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>

#include "fuzz_check.h"
#include "platform/file.h"

namespace slk::fuzz {
namespace {

std::string BaseFolder() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp != nullptr && tmp[0] != '\0') return tmp;
  struct stat st {};
  if (::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode)) return "/dev/shm";
  return "/tmp";
}

std::string MakeFolder() {
  std::string pattern = BaseFolder() + "/slk-fuzz-XXXXXX";
  FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
  ::setenv("TMPDIR", pattern.c_str(), 1);
  return pattern;
}

void RemoveFolder();

// Made on first use; removed when the process ends normally (registered after
// the name exists, so that it runs before the name is destroyed). A crashing
// input leaves it for the run script, which cleans its whole TMPDIR.
const std::string& Folder() {
  static const std::string folder = MakeFolder();
  [[maybe_unused]] static const int cleanup = std::atexit(RemoveFolder);
  return folder;
}

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(Folder(), ignored);
}

}  // namespace

std::string ScratchPath(std::string_view name) {
  return Folder() + "/" + std::string(name);
}

std::string WriteScratchFile(std::string_view name, std::span<const std::uint8_t> bytes) {
  std::string path = ScratchPath(name);
  platform::File file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  FUZZ_CHECK(file.IsOpen());
  FUZZ_CHECK(file.WriteExact(bytes.data(), bytes.size()));
  return path;
}

bool SameFileBytes(const std::string& a, const std::string& b) {
  platform::File fa = platform::File::OpenForReading(a);
  platform::File fb = platform::File::OpenForReading(b);
  if (!fa.IsOpen() || !fb.IsOpen() || fa.Size() != fb.Size()) return false;
  static std::array<std::uint8_t, 16384> bufferA, bufferB;
  for (std::uint64_t left = fa.Size(); left > 0;) {
    std::uint64_t chunk = std::min<std::uint64_t>(left, bufferA.size());
    if (!fa.ReadExact(bufferA.data(), chunk) || !fb.ReadExact(bufferB.data(), chunk) ||
        !std::equal(bufferA.begin(), bufferA.begin() + chunk, bufferB.begin()))
      return false;
    left -= chunk;
  }
  return true;
}

void CheckNoTemporaryFiles() {
  for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
    std::string name = entry.path().filename().string();
    FUZZ_CHECK(name.empty() || name.front() != '.');
  }
}

}  // namespace slk::fuzz
