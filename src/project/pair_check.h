// The checksum tool's second walk: headers and data blocks that do not pair up.
#pragma once

#include <string>
#include <vector>

#include "project/edits.h"
#include "project/tape_project.h"

namespace reelo {

enum class PairProblemKind {
  LengthDiffers,   // a header whose data length differs from the data block after it
  NoData,          // a header not followed by a data block (another header, or the end)
  NoHeader,        // a data block not preceded by a header
};

struct PairProblem {
  PairProblemKind kind;
  int block;             // 0-based index of the header (LengthDiffers, NoData) or data block (NoHeader)
  int headerLength = 0;  // LengthDiffers: the header's data length
  int dataLength = 0;    // LengthDiffers: the data block's length (L - 2)
};

// Every problem in block order. A header followed by a data block of its
// length pairs up; each header and data block is looked at once.
std::vector<PairProblem> CheckPairs(const TapeProject& project);

// One line per problem, block numbers counted from 1 (Russian), e.g.
// "Блок № 3: в заголовке длина 100, а в блоке данных после него 98".
std::string PairProblemLine(const PairProblem& problem);
// The whole message after the checksum walk: a heading and every line; empty
// when there is no problem.
std::string PairProblemsText(const std::vector<PairProblem>& problems);
inline constexpr const char* kPairProblemsTitle = "Проверка пар заголовок - данные";
// The question that offers the one repair the tool can make.
inline constexpr const char* kFixLengthsQuestion =
    "Исправить длину в заголовках, чтобы она совпадала с блоками данных после них?";

// Sets the data length of every LengthDiffers header to its data block's
// length (checksum recomputed), as one undoable step. The other problems need
// the user's own decision and are left alone.
EditResult FixHeaderLengths(TapeProject& project, EditHistory& history, const std::vector<PairProblem>& problems);
// The headers FixHeaderLengths writes, changing nothing.
std::vector<BlockReplacement> HeaderLengthFixes(const TapeProject& project, const std::vector<PairProblem>& problems);

}  // namespace reelo
