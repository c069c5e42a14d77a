#pragma once
// Why a file was refused or could not be written: the second line under the
// program's own message ("The File wasn't opened."). Readers and writers fill
// one in where they find the fault; the window and slotkeeper-cli show it
// through res::DescribeProblem in the user's language.

#include <cstdint>
#include <string>
#include <utility>

namespace slk::platform {

enum class Reason {
  None,
  // The file system.
  NotFound,          // the file does not exist
  PermissionDenied,  // open or read refused; `error` holds errno
  NotRegularFile,    // a folder, FIFO, device or socket
  ReadFailed,        // a read failed or fell short; `error` holds errno when known
  WriteFailed,       // a write failed; `error` holds errno
  DiskFull,          // ENOSPC/EDQUOT in the target's folder
  TempSpaceFull,     // ENOSPC/EDQUOT in the temporary folder ($TMPDIR)
  ReadOnlyFile,      // the file's own permissions forbid writing it
  ReadOnlyFolder,    // the folder does not allow a new file
  DanglingLink,      // a symbolic link whose target does not exist
  LinkLoop,          // symbolic links that never end (ELOOP)
  NameTooLong,       // ENAMETOOLONG
  Busy,              // another program holds the card's lock
  ChangedOnDisk,     // the file changed since it was read
  // The bytes of a format.
  TooShort,        // `have` bytes, the format needs `need`
  TooLarge,        // `have` bytes, at most `need`
  BadMagic,        // `field` does not hold the format's signature
  BadField,        // `field` holds a value the format does not allow
  SizeMismatch,    // `field` says `need` bytes, the file holds `have`
  BrokenChain,     // a save's block chain breaks; `field` names the save
  NotASave,        // a file of another kind (a whole card where a save was expected)
  WrongKind,       // a PS2 save where only PS1 saves go, or the reverse
  NoStandardIcon,  // `field` lists the folders searched
  // What a PS1 card allows.
  PS2Save,       // `field` names a PS2 save, which a PS1 card cannot take
  SameName,      // the card already lists a save named `field`
  OverCapacity,  // the card would hold `have` blocks, at most `need`
  // What a PS2 card image allows.
  PS1Save,      // `field` names a PS1 save, which a PS2 card cannot take
  NoCardSpace,  // the save needs `need` KB, the card has `have` KB free
  CardDamaged,  // `field` says what the card's check found
  // A new name for a save.
  EmptyName,       // no name at all
  NameWithSlash,   // `field` holds '/'
  LongName,        // `field` has `have` bytes, the card keeps at most `need`
  ReservedName,    // `field` is "." or "..", which every PS2 folder holds
  NameCharacters,  // `field` holds a byte outside printable ASCII
  // A save as a folder of files.
  AlreadyExists,  // a file or folder of that name is in the way
  FolderInSave,   // `field` names a folder inside a save's folder
  LinkInSave,     // `field` names a symbolic link inside a save's folder
  BadFileName,    // `field` (a name from a card) cannot name a file
  TooManyFiles,   // `have` files, at most `need`
  // What the system lacks.
  LibraryMissing,  // `field` names the library or its function and the loader's reason
};

struct Problem {
  Reason reason = Reason::None;
  std::string path;        // the file concerned, as the user named it
  std::string field;       // the field or save concerned, when there is one
  std::uint64_t have = 0;  // what the file has (bytes, blocks)
  std::uint64_t need = 0;  // what was needed
  int error = 0;           // errno of a failed system call, 0 when none

  explicit operator bool() const { return reason != Reason::None; }
};

// A problem from a failed system call on `path`: ENOENT, EACCES/EPERM,
// ENOSPC/EDQUOT, ELOOP, ENAMETOOLONG, EROFS map to their reasons, anything
// else to `fallback` with the errno kept.
Problem ProblemFromErrno(int error, std::string path, Reason fallback = Reason::ReadFailed);

// A problem of the file system about `path`, with the errno when there is one.
inline Problem FileProblem(Reason reason, std::string path, int error = 0) {
  Problem problem;
  problem.reason = reason;
  problem.path = std::move(path);
  problem.error = error;
  return problem;
}

}  // namespace slk::platform
