// The functions behind reelo-cli's commands, one group per source file.
#pragma once

#include "cli/cli.h"

namespace reelo::cli {

#if REELO_CLI_PLAY
// play TAPE [--from N] [--pause-after-block]: the tape through the sound card (cli_play.cpp).
int RunPlay(const Args& args, Io& io);
#endif

}  // namespace reelo::cli
