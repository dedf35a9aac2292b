// TZX, PZX and CSW files read through libspectrum: every block sorted into
// records taken as they are, records converted, signal blocks decoded by the
// program's own decoder, and blocks left out, as tape_file.h describes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/load_progress.h"
#include "formats/load_summary.h"
#include "formats/tape_file.h"
#include "project/op_result.h"
#include "project/tape_project.h"

namespace reelo {

// Appends the records of the file's bytes (a whole TZX, PZX or CSW file) to
// records, at most `room` of them, and returns the load's result; nothing is
// added on failure. counts receives the tally.
OpResult LoadThroughLibrary(std::vector<TapeBlock>& records, int room, const std::string& path, TapeFormat format,
                            const std::uint8_t* data, std::size_t size, LoadProgress& progress,
                            TapeLoadCounts& counts);

}  // namespace reelo
