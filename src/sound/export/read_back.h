// Reading a signal back with the program's own tape decoder, with no window:
// no report, every doubtful pulse counted as noise. The signal comes from a
// file, or streams in from whatever renders it (a preparation, the edges of
// TZX signal blocks) without a file between.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "project/op_result.h"
#include "project/tape_project.h"
#include "sound/import/pulse_classifier.h"
#include "sound/import/recording_reader.h"

namespace reelo {

struct QuietDecode {
  std::vector<TapeBlock> records;  // whole records, in the order found
  bool storeFull = false;          // the decoder stopped at its store's limit
};

// Decodes the recording the reader stands over with the given bounds.
// progress, when set, gets the read position and the expected length now and then.
void DecodeQuietly(RecordingReader& recording, const PulseBounds& bounds, QuietDecode& result,
                   const std::function<void(std::int64_t position, std::int64_t length)>& progress = {});

// The same over an 8-bit recording file. An Error when it cannot be opened.
OpResult DecodeQuietly(const std::string& path, const PulseBounds& bounds, QuietDecode& result,
                       const std::function<void(std::int64_t position, std::int64_t length)>& progress = {});

}  // namespace reelo
