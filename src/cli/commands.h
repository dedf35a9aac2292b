// The functions behind reelo-cli's commands, one group per source file.
#pragma once

#include "cli/cli.h"

namespace reelo::cli {

}  // namespace reelo::cli
