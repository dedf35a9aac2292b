// The tape recording as the import reads it: every byte of the file is one
// 8-bit sample, addressed by a position that counts from 1 (position p is the
// byte at offset p - 1). The WAV header is not interpreted; it is read as
// samples like everything else.
//
// The file is never loaded whole. Sequential scans go through one buffer that
// is refilled forwards, so memory stays constant for any length; single
// samples for the bad-signal view are read directly from the file.
//
// The reader can stand over a stream of 8-bit samples instead of a file (a
// preparation's output, a rendered signal): the stream is read forwards into
// the same buffer, after a lead-in of kStreamLeadIn rest samples standing for
// the header a prepared file would have, so a run reads it exactly as it would
// read the same samples written to a WAV file. The stream's length F is known
// only once it has ended; until then length() is kUnknownLength and the reader
// always holds two samples beyond the window it hands out (a half-wave cannot
// be ended by the last two samples, so a run must know whether they are the last).
#pragma once

#include <climits>
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

// The rest samples before a stream's first sample: a prepared file's header.
inline constexpr std::int64_t kStreamLeadIn = 44;
// The length of a stream that has not ended yet.
inline constexpr std::int64_t kUnknownLength = INT64_MAX / 4;

// 8-bit samples read forwards (a preparation's output, a rendered signal).
class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Reads up to size samples into dest; 0 only at the end.
  virtual std::size_t Read(std::uint8_t* dest, std::size_t size) = 0;
};

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
  // Reads the stream from here on (closing any file). The stream must outlive
  // the reading; positions are read forwards only.
  // expectedLength: about how many samples it will give (for progress only).
  void Attach(ByteStream& stream, std::int64_t expectedLength);
  void Close();
  bool isOpen() const { return fd_ >= 0 || stream_ != nullptr; }

  // F: the file length in bytes, as taken when the file was opened; for a
  // stream, the lead-in and every sample once it has ended, kUnknownLength before.
  std::int64_t length() const { return length_; }
  // F when it is known, else what the stream is expected to give; for progress.
  std::int64_t expectedLength() const { return length_ != kUnknownLength ? length_ : expectedLength_; }

  // The samples from position on, for a position in 1..F. The window never
  // reaches past F. Refills the buffer when the position lies outside it.
  SampleWindow Window(std::int64_t position) {
    const std::int64_t offset = position - bufferStart_;
    if (offset >= 0 && offset < usable_) {
      return {buffer_.data() + offset, usable_ - offset};
    }
    return Refill(position);
  }

  // One sample at any position; kOutsideSample outside 1..F. Does not disturb
  // the sequential buffer (a stream is read on as far as the position, and
  // keeps the samples just behind the run's position).
  std::uint8_t SampleAt(std::int64_t position);

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
  SampleWindow RefillStream(std::int64_t position);
  // Reads the stream on into the buffer until it holds position + ahead or
  // the stream ends.
  void ReadStreamTo(std::int64_t last);
  // Reads up to size bytes from the file offset; returns how many arrived and
  // the errno of a failed read (0 when the read only ended early).
  std::size_t ReadInto(std::uint8_t* dest, std::size_t size, std::int64_t offset, int& err) const;

  int fd_ = -1;
  std::int64_t length_ = 0;
  std::vector<std::uint8_t> buffer_;
  std::int64_t bufferStart_ = 0;  // position of buffer_[0]
  std::int64_t bufferCount_ = 0;  // valid samples in buffer_
  std::int64_t usable_ = 0;       // of those, what a window may hand out
  ByteStream* stream_ = nullptr;
  std::int64_t expectedLength_ = 0;
  std::int64_t refillSize_;       // the buffer's size as asked for: a stream's samples per refill
  bool readFailed_ = false;
  std::string readError_;
};

}  // namespace reelo
