// Blocks that hold a signal rather than records (direct and CSW recordings,
// generalised data, with the tones and pulse sequences beside them), read
// back with the program's own tape decoder: each block sounds with its own
// timings (kind_signal.h), the pulses become 8-bit 22050 Hz samples (levels
// 95 and 159, 127 at rest, as the export writes them) that stream into the
// decoder as it reads, with its default bounds, every doubtful pulse counted
// as noise.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "project/op_result.h"
#include "project/progress.h"
#include "project/tape_project.h"

namespace reelo {

// A level held longer than this is cut to it: the decoder takes any half-wave
// longer than its pilot bound for noise, so nothing is lost, and long pauses
// cost no time.
inline constexpr std::int64_t kMaxRenderedRun = 22050;
// The longest signal one run renders: 3 hours at 22050 Hz, longer than both
// sides of any cassette.
inline constexpr std::int64_t kMaxRenderedSamples = std::int64_t{3} * 3600 * 22050;

struct SignalDecode {
  std::vector<TapeBlock> records;  // in the order found
  bool storeFull = false;          // the decoder stopped at its store's limit
  bool signalCut = false;          // the signal was longer than kMaxRenderedSamples
};

// Decodes blocks first .. first + count - 1 of the tape as one recording.
// tick is called now and then so a window can repaint.
void DecodeSignalBlocks(const TapeProject& tape, int first, int count, SignalDecode& result,
                        const std::function<void()>& tick = {});

// A run of blocks decoded as one recording: blocks next to each other that are
// signal recordings, tones or pulse sequences, at least one a recording.
struct SignalRun {
  int first = 0;
  int count = 0;
};
std::vector<SignalRun> SignalRuns(const TapeProject& tape);

// Progress text of the decoding before a TAP save.
inline constexpr const char* kDecodeSignalLabel = "Расшифровка записей сигнала, подождите...";

// The records a TAP file holds of the tape: the records of every kind that
// carries them, and in place of each signal run the records decoded from it.
// A tape with signal runs shows kDecodeSignalLabel, maximum the blocks of the
// runs, the value the blocks done (repeated now and then inside a long run).
struct TapRecords {
  std::vector<TapeBlock> records;
  int signalBlocks = 0;       // blocks of the runs decoded
  int decodedRecords = 0;     // records found in them
  int signalWithoutData = 0;  // blocks of runs in which nothing was found
  bool storeFull = false;
  bool signalCut = false;
};
TapRecords TapRecordsWithSignals(const TapeProject& tape, Progress& progress);

// What the decoding found, in the user's words; "" when the tape has no
// signal runs.
std::string SignalDecodeText(const TapRecords& decoded);

}  // namespace reelo
