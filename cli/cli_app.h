#pragma once
// The command line of slotkeeper-cli: parses the arguments and runs one
// command. Returns the process's exit code: 0 success, 1 a refusal (the
// program's message on stderr), 2 a usage error.

#include "cli/console.h"

namespace slk {

int RunCli(int argc, const char* const* argv, Console& console);

// "slotkeeper-cli 2.00"
const char* VersionText();

}  // namespace slk
