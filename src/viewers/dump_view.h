// A block's data shown as a table of decimal byte values, 20 to a row, each row
// headed by the offset of its first byte.
#pragma once

#include <string>

#include "project/progress.h"
#include "project/tape_project.h"
#include "viewers/view_progress.h"

namespace reelo {

// The two heading lines (88 characters each; "Адрес" is the one non-ASCII word).
inline constexpr const char* kDumpHeading =
    " Адрес |   1   2   3   4   5   6   7   8   9  10  11  12  13  14  15  16  17  18  19  20";
inline constexpr const char* kDumpRule =
    "-------+--------------------------------------------------------------------------------";

inline constexpr int kDumpValuesPerRow = 20;
inline constexpr int kDumpOffsetWidth = 6;
inline constexpr int kDumpValueWidth = 4;

// The heading, the rule, then one row per 20 data bytes (bytes 3..L): the
// offset of its first byte (counted from 0) right-aligned in 6 characters,
// " |", and each value right-aligned in 4 characters. Lines are separated by
// CR LF; the last row has no line end (a block without data ends with the
// rule's CR LF). Progress: Begin(kPrepareLabel, L), Step(i) whenever the block
// byte index i is a multiple of 256, End. Never fails.
std::string BuildDumpView(const TapeBlock& block, Progress& progress);

}  // namespace reelo
