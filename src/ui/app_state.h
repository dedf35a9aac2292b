// The state of one run: created once in main and handed to the windows by
// reference, so every window reads and changes the same project.
#pragma once

#include <string>

#include "project/tape_project.h"

namespace reelo {

struct AppState {
  TapeProject project;
  // The WAV file last chosen for export or import.
  std::string WavFileName;
};

}  // namespace reelo
