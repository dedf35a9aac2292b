// The fields of the TZX kinds a block can be, read from what the block keeps,
// and the texts that show them: one list line per kind, the turbo timings the
// properties dialog edits, and what a TAP file cannot hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "project/op_result.h"
#include "project/tape_project.h"

namespace reelo {

// The pause after a standard block that a TAP record stands for (ms).
inline constexpr int kStandardPauseMs = 1000;
// Sizes of the kept part before the data of the record-carrying kinds.
inline constexpr std::size_t kStandardHeadSize = 2;
inline constexpr std::size_t kTurboHeadSize = 15;
inline constexpr std::size_t kPureDataHeadSize = 7;

// The timings of a turbo block (T-states of the 3.5 MHz clock), the pilot
// pulse count, the used bits of the last byte and the pause after it (ms).
struct TurboTimings {
  int pilot = 2168;
  int sync1 = 667;
  int sync2 = 735;
  int zero = 855;
  int one = 1710;
  int pilotPulses = 3223;
  int usedBits = 8;
  int pause = 1000;
  bool operator==(const TurboTimings&) const = default;
};

// The turbo timings of a turbo block, nothing for any other kind.
std::optional<TurboTimings> TurboTimingsOf(const TapeBlock& block);
// The block with new turbo timings (its data kept). Refused, with the reason,
// when a value is out of its field's range (lengths 1..65535, used bits 1..8,
// pause 0..65535) or the block is not a turbo block.
OpResult WithTurboTimings(const TapeBlock& block, const TurboTimings& timings, TapeBlock& result);

// A turbo block's timings in one line ("" for any other block): "Турбо: пилот
// 3000 x 1500, синхро 400/450, бит 0 - 500, бит 1 - 1000 тактов, бит в
// последнем байте 8, пауза 500 мс".
std::string TurboTimingsText(const TapeBlock& block);

// The pause after the block in ms, for the kinds that have one.
std::optional<int> PauseOf(const TapeBlock& block);

// A plain record, or a standard block with the given pause.
TapeBlock StandardBlock(TapeBlock record, int pauseMs);

// The list line of a block of another kind than a plain TAP record; the
// record's own line for a plain record (given by recordLine).
std::string KindListLine(const TapeBlock& block, const std::string& recordLine);

// True for the kinds that hold a recorded signal (direct recording, CSW
// recording, generalised data): records are found in them only by decoding.
bool IsSignalRecording(const TapeBlock& block);

// What a TAP file cannot hold of the tape: the numbers (from 1) of the blocks
// that carry bytes but lose their timings (turbo, pure data, standard blocks
// with a pause of their own), of the signal recordings whose decoded records
// take their place, and of the blocks left out. Empty when the tape is TAP
// records only.
struct TapLosses {
  std::vector<int> converted;  // kept as records, their timings lost
  std::vector<int> decoded;    // decoded: the records found in them are saved
  std::vector<int> leftOut;    // not saved at all
  bool empty() const { return converted.empty() && decoded.empty() && leftOut.empty(); }
};
TapLosses TapLossesOf(const TapeProject& project);
// What such a save does, in the user's words (the window asks before it, the
// command line says it).
std::string TapLossesText(const TapLosses& losses);

// True for blocks whose sound stops the tape (a pause of 0 ms, stop in 48K mode).
bool StopsTape(const TapeBlock& block);

}  // namespace reelo
