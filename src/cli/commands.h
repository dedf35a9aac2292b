// The functions behind reelo-cli's commands, one group per source file.
#pragma once

#include "cli/cli.h"

namespace reelo::cli {

// cli_formats.cpp: tapes in every format.
int RunList(const Args& args, Io& io);
int RunConvert(const Args& args, Io& io);
int RunView(const Args& args, Io& io);

}  // namespace reelo::cli
