// slotkeeper-cli: the card operations of Slotkeeper 2 from the command line.

#include <unistd.h>

#include <iostream>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
  slk::Console console{std::cout, std::cerr, std::cin, ::isatty(STDIN_FILENO) == 1};
  return slk::RunCli(argc, argv, console);
}
