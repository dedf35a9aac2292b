// The tape recording as the import reads it: every byte of the file is one
// 8-bit sample, addressed by a position that counts from 1 (position p is the
// byte at offset p - 1). The WAV header is not interpreted; it is read as
// samples like everything else.
//
// The file is never loaded whole. Sequential scans go through one buffer that
// is refilled forwards, so memory stays constant for any length; single
// samples for the bad-signal view are read directly from the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "project/op_result.h"

namespace reelo {

inline constexpr const char* kOpenSoundFailedText = "Не удалось открыть звуковой файл";
inline constexpr const char* kReadSoundFailedText = "Ошибка чтения звукового файла";

// The level delivered for any position outside 1..F: the rest level, which
// neither starts nor ends a half-wave.
inline constexpr std::uint8_t kOutsideSample = 127;

inline constexpr std::size_t kRecordingBufferSize = std::size_t{256} * 1024;

// A run of samples held in the buffer: data[0] is the sample at the position
// asked for, and count samples (at least 1) follow without a gap.
struct SampleWindow {
  const std::uint8_t* data;
  std::int64_t count;
};

class RecordingReader {
 public:
  explicit RecordingReader(std::size_t bufferSize = kRecordingBufferSize);
  ~RecordingReader();
  RecordingReader(const RecordingReader&) = delete;
  RecordingReader& operator=(const RecordingReader&) = delete;

  // Opens the file and takes its length F. A missing, unreadable or
  // non-regular file gives an Error: "Не удалось открыть звуковой файл <path>"
  // with the system's reason as the detail.
  OpResult Open(const std::string& path);
  void Close();
  bool isOpen() const { return fd_ >= 0; }

  // F: the file length in bytes, as taken when the file was opened.
  std::int64_t length() const { return length_; }

  // The samples from position on, for a position in 1..F. The window never
  // reaches past F. Refills the buffer when the position lies outside it.
  SampleWindow Window(std::int64_t position) {
    const std::int64_t offset = position - bufferStart_;
    if (offset >= 0 && offset < bufferCount_) {
      return {buffer_.data() + offset, bufferCount_ - offset};
    }
    return Refill(position);
  }

  // One sample at any position; kOutsideSample outside 1..F. Does not disturb
  // the sequential buffer.
  std::uint8_t SampleAt(std::int64_t position) const;

  // True once a read inside 1..F failed or came up short (the file shrank or
  // the device failed); the missing samples were delivered as kOutsideSample.
  bool readFailed() const { return readFailed_; }
  // The system's reason for the first failed read.
  const std::string& readError() const { return readError_; }
  // What a run tells the window about its reading: Ok, or a Warning
  // "Ошибка чтения звукового файла <path>" with the reason. A failed read does
  // not fail the run: whatever was read before it has been used.
  OpResult ReadOutcome(const std::string& path) const;

 private:
  SampleWindow Refill(std::int64_t position);
  // Reads up to size bytes from the file offset; returns how many arrived and
  // the errno of a failed read (0 when the read only ended early).
  std::size_t ReadInto(std::uint8_t* dest, std::size_t size, std::int64_t offset, int& err) const;

  int fd_ = -1;
  std::int64_t length_ = 0;
  std::vector<std::uint8_t> buffer_;
  std::int64_t bufferStart_ = 0;  // position of buffer_[0]
  std::int64_t bufferCount_ = 0;  // valid samples in buffer_
  bool readFailed_ = false;
  std::string readError_;
};

}  // namespace reelo
