// The functions behind reelo-cli's commands, one group per source file.
#pragma once

#include "cli/cli.h"

namespace reelo::cli {

// cli_blocks.cpp: a program from BASIC text, a CODE block from a binary.
int RunBas2Tap(const Args& args, Io& io);
int RunBin2Tap(const Args& args, Io& io);

}  // namespace reelo::cli
