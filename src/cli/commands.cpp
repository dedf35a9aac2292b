// The table of reelo-cli's commands. Each group of rows runs functions of its
// own source file.
#include "cli/cli.h"
#include "cli/commands.h"

namespace reelo::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
  };
  return commands;
}

}  // namespace reelo::cli
