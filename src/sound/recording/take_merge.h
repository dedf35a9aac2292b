// Several takes of one tape merged into one list of records. The records of
// the takes are matched by their order on the tape and their contents (length,
// flag, the first bytes: a header's name); for each record the take whose
// checksum matches is used; where none matches, the takes' bits are combined,
// by majority over three or more takes and by confidence over two, and the
// checksum is checked (and the repair tried) again. A checksum matches by
// chance one time in 256, so a reading is given as good only when it has the
// length its header (or most takes) give and the takes do not contradict it;
// otherwise the record is kept and marked bad.
#pragma once

#include <string>
#include <vector>

#include "sound/recording/bit_repair.h"
#include "sound/recording/signal_decoder.h"

namespace reelo {

struct MergedRecord {
  SignalRecord record;
  std::vector<int> takes;  // the takes (from 0) it came from: one, or those combined
  bool combined = false;   // its bits were combined from the takes listed
  std::vector<int> present;  // every take that holds this record, good or bad
};

// The takes (from 0) that hold records but share none of them with another
// take that holds records: most likely a recording of another tape.
std::vector<int> UnmatchedTakes(const std::vector<MergedRecord>& merged, int takeCount);

// The takes' records in tape order. A take that holds none of the others'
// records adds its records as they are; identical takes give that take.
// sameClock: the takes are channels of one recording, so a record is the same
// record in each where their places in the recording overlap, whatever was
// read (a bad channel's record may be cut short or longer).
std::vector<MergedRecord> MergeTakes(const std::vector<std::vector<SignalRecord>>& takes,
                                     const RepairLimits& limits = {}, bool sameClock = false);

// "из записи 2", "собран из записей 1, 2, 3" (takes counted from 1).
std::string TakeSourceText(const MergedRecord& merged);

}  // namespace reelo
