// The state of one run: created once in main and handed to the windows by
// reference, so every window reads and changes the same project.
#pragma once

#include <string>

#include "project/edits.h"
#include "project/tape_project.h"
#include "sound/import/import_state.h"

namespace reelo {

struct AppState {
  TapeProject project;
  // Every edit of the project's blocks, for Undo and Redo.
  EditHistory history;
  // The WAV file last chosen for export or import.
  std::string WavFileName;
  // The import's state that outlives the load-from-WAV window.
  ImportState importState;
};

}  // namespace reelo
