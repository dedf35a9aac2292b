// reelo-cli: runs one command of the table in cli/commands.cpp.
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
  // A write past the file size limit should fail with EFBIG and a message, not kill the program.
  std::signal(SIGXFSZ, SIG_IGN);
  reelo::cli::Args args(argv + 1, argv + argc);
  reelo::cli::Io io{std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
  return reelo::cli::RunCli(args, io);
}
