#include "platform/problem.h"

#include <cerrno>
#include <utility>

namespace slk::platform {

Problem ProblemFromErrno(int error, std::string path, Reason fallback) {
  Problem problem;
  problem.path = std::move(path);
  problem.error = error;
  switch (error) {
    case ENOENT:
      problem.reason = Reason::NotFound;
      break;
    case EACCES:
    case EPERM:
      problem.reason = Reason::PermissionDenied;
      break;
    case ENOSPC:
    case EDQUOT:
      problem.reason = Reason::DiskFull;
      break;
    case ELOOP:
      problem.reason = Reason::LinkLoop;
      break;
    case ENAMETOOLONG:
      problem.reason = Reason::NameTooLong;
      break;
    case EROFS:
      problem.reason = Reason::ReadOnlyFolder;
      break;
    case EISDIR:
      problem.reason = Reason::NotRegularFile;
      break;
    default:
      problem.reason = fallback;
      break;
  }
  return problem;
}

}  // namespace slk::platform
