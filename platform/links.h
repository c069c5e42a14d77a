#pragma once
// Where a path really leads, and what file it names right now. Saving through
// a symbolic link must replace the file the link points to, not the link;
// noticing that another program replaced a card needs the file's identity.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/problem.h"

namespace slk::platform {

// Follows symbolic links in the last part of `path` (at most 40, as the
// kernel does) to the name of the file they end at. A path that names nothing
// yet is returned as it stands; a link to nothing is refused as DanglingLink,
// endless links as LinkLoop. Folders on the way stay as they are: a rename
// inside them works through their links.
std::optional<std::string> FollowLinks(const std::string& path, Problem* why = nullptr);

// The folder part of a path ("." for a bare name) and the name part.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// Which file a path names and how it looked: equal stamps mean nobody
// replaced or rewrote it in between (as far as size and time can tell).
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the file `path` leads to (through links); nothing when it does
// not exist or is not a regular file.
std::optional<FileStamp> StampOf(const std::string& path);

}  // namespace slk::platform
