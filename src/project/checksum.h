// Checking and repairing the checksum byte of every block.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "project/tape_project.h"

namespace reelo {

// XOR of bytes 2..L (flag and data).
std::uint8_t ComputedChecksum(const TapeBlock& block);
// The byte at L + 1.
std::uint8_t StoredChecksum(const TapeBlock& block);
// True when the stored checksum equals the computed one. A record of length 0
// has no checksum byte and always matches; so does the record of a pure data
// block, whose last byte is data of its own loader.
bool ChecksumMatches(const TapeBlock& block);

enum class ChecksumOutcome { AllMatched, AllRepaired, SomeLeft };

// One mismatch, offered to the user. blockNumber counts from 1.
struct ChecksumMismatch {
  int blockNumber;
  int stored;
  int computed;
};

// The question text for a mismatch, exactly as the user sees it.
std::string ChecksumQuestionText(const ChecksumMismatch& mismatch);
inline constexpr const char* kChecksumQuestionTitle = "Исправление контрольной суммы";
inline constexpr const char* kChecksumClosingTitle = "Исправление контрольных сумм";
// The closing message for an outcome.
std::string ChecksumClosingText(ChecksumOutcome outcome);

// Walks every block in order; for each mismatch asks `repair` and, on true,
// writes the computed checksum. Any repair sets project.modified.
ChecksumOutcome CheckAndRepairChecksums(TapeProject& project,
                                        const std::function<bool(const ChecksumMismatch&)>& repair);

}  // namespace reelo
