// Taking the decoded records into the project.
#pragma once

#include "project/op_result.h"
#include "project/tape_project.h"
#include "sound/import/import_state.h"

namespace reelo {

// Appends the records of the last decoding run after the project's blocks, in
// the order they were decoded, each unchanged (length field, flag, data and
// checksum as decoded; nothing is checked or repaired). The store is kept, so
// doing it again appends the same records again.
//
// Records that do not fit the project's free slots are left out and a Warning
// says how many. The project counts as changed once a record was added, so its
// new blocks are not lost without the save question. The block selection is
// cleared, since the window rebuilds the list.
OpResult AddLoadedBlocks(TapeProject& project, const ImportState& state);

// The same records as a value, for a document to take in as one step: the
// first `room` of them (the project's free slots), and the Warning above when
// others were left out.
TapeRead LoadedBlocksToAdd(const ImportState& state, int room);

}  // namespace reelo
