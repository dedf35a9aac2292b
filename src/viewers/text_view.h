// A block's data shown as plain text: printable bytes as characters, byte 13 as
// a line break, every other byte as an underscore.
#pragma once

#include <string>

#include "project/progress.h"
#include "project/tape_project.h"
#include "viewers/view_progress.h"

namespace reelo {

// One piece per data byte (bytes 3..L): 13 gives CR LF, 32..126 the ASCII
// character, any other byte "_". Nothing else is added: no line end after the
// last byte. Progress: Begin(kPrepareLabel, L), Step(i) whenever the block byte
// index i is a multiple of 256, End. Never fails.
std::string BuildTextView(const TapeBlock& block, Progress& progress);

}  // namespace reelo
