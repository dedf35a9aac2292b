// Reading a signal made by the program back with its own tape decoder: the
// signal is written to a temporary file (the decoder reads from a file, and a
// tape's signal can be far larger than memory should hold), then decoded with
// no window, every doubtful pulse counted as noise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "project/op_result.h"
#include "project/tape_project.h"
#include "sound/import/pulse_classifier.h"

namespace reelo {

// A temporary file, removed when the object goes.

class TempRecording {
 public:
  // Creates the file in the system's temporary folder; error() says whether it worked.
  TempRecording();
  ~TempRecording();
  TempRecording(const TempRecording&) = delete;
  TempRecording& operator=(const TempRecording&) = delete;

  // Appends count samples of one level / a run of bytes (buffered).
  void Put(std::uint8_t level, std::int64_t count);
  void Put(const std::uint8_t* bytes, std::size_t size);
  // Hands the buffer to the file; false once any write failed.
  bool Flush();

  int error() const { return error_; }  // errno of the first failure, 0 when none
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  int error_ = 0;
  std::string path_;
  std::vector<std::uint8_t> buffer_;
};

struct QuietDecode {
  std::vector<TapeBlock> records;  // whole records, in the order found
  bool storeFull = false;          // the decoder stopped at its store's limit
};

// Decodes the 8-bit recording at path with the given bounds. progress, when
// set, gets the read position and the file length now and then. An Error when
// the file cannot be opened.
OpResult DecodeQuietly(const std::string& path, const PulseBounds& bounds, QuietDecode& result,
                       const std::function<void(std::int64_t position, std::int64_t length)>& progress = {});

}  // namespace reelo
