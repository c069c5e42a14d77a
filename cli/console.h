#pragma once
// The streams a command talks through, so that the commands can run on the
// process's own terminal or on string streams alike.

#include <iosfwd>

namespace slk {

struct Console {
  std::ostream& out;
  std::ostream& err;
  std::istream& in;
  bool inIsTerminal = false;
};

// Exit codes of every command.
namespace ExitCode {
constexpr int Success = 0;
constexpr int Refused = 1;  // the program refused, with its own message on stderr
constexpr int Usage = 2;    // the command line itself was wrong
}  // namespace ExitCode

}  // namespace slk
