#include "platform/links.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace slk::platform {
namespace {

constexpr int kMaxLinks = 40;

std::nullopt_t Refuse(Problem* why, Problem problem) {
  if (why != nullptr) *why = std::move(problem);
  return std::nullopt;
}

}  // namespace

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> FollowLinks(const std::string& path, Problem* why) {
  std::string current = path;
  bool throughLink = false;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0) {
      int error = errno;
      if (error == ENOENT && throughLink)
        return Refuse(why, FileProblem(Reason::DanglingLink, path));
      if (error == ENOENT) return current;
      return Refuse(why, ProblemFromErrno(error, path));
    }
    if (!S_ISLNK(st.st_mode)) return current;
    std::array<char, 4096> target{};
    ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size())
      return Refuse(why, ProblemFromErrno(n < 0 ? errno : ENAMETOOLONG, path));
    std::string link(target.data(), static_cast<std::size_t>(n));
    current = link.front() == '/' ? link : FolderOf(current) + "/" + link;
    throughLink = true;
  }
  return Refuse(why, FileProblem(Reason::LinkLoop, path, ELOOP));
}

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileStamp{
      static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
      static_cast<std::uint64_t>(st.st_size),
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

}  // namespace slk::platform
