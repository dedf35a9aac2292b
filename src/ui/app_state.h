// The state of one run: created once in main and handed to the windows by
// reference, so every window reads and changes the same document.
#pragma once

#include <string>

#include "project/tape_document.h"
#include "project/tape_project.h"
#include "sound/import/import_state.h"

namespace reelo {

struct AppState {
  // The tape and its undo history; every change of the tape goes through it.
  TapeDocument document;
  // The document's project, for reading.
  const TapeProject& project = document.project();
  // The WAV file last chosen for export or import.
  std::string WavFileName;
  // The import's state that outlives the load-from-WAV window.
  ImportState importState;
};

}  // namespace reelo
