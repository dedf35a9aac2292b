// reelo-cli-play: the play command of reelo-cli, kept in a program of its own
// so that only playing loads Qt. reelo-cli hands a `play` call over to it with
// the command's arguments (argv[1] on); it can also be run directly.
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "cli/commands.h"

int main(int argc, char** argv) {
  std::signal(SIGXFSZ, SIG_IGN);
  const reelo::cli::Args args(argv + 1, argv + argc);
  reelo::cli::Io io{std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
  for (const std::string& arg : args) {
    if (arg == "--help") return reelo::cli::RunCli({"play", "--help"}, io);
  }
  return reelo::cli::RunPlay(args, io);
}
