// Where the load-from-WAV window keeps the prepared copy of its recording:
// the program's cache folder.
#pragma once

#include <string>

#include "sound/recording/prepared_copy.h"

namespace reelo {

// The cache folder of the program (QStandardPaths::CacheLocation).
std::string ProgramCacheFolder();

}  // namespace reelo
