// The table of reelo-cli's commands. Each group of rows runs functions of its
// own source file.
#include "cli/cli.h"
#include "cli/commands.h"

namespace reelo::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
#if REELO_CLI_PLAY
      {"play", "ЛЕНТА.tap [--from N] [--pause-after-block]", "проиграть ленту через звуковую карту",
       "  --from N              начать с блока N (с 1)\n"
       "  --pause-after-block   останавливаться после каждого блока; Enter — дальше\n"
       "  Ctrl+C останавливает воспроизведение (код выхода 130)",
       RunPlay},
#endif
  };
  return commands;
}

}  // namespace reelo::cli
