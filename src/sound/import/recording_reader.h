// The tape recording as the import reads it: every byte of the file is one
// 8-bit sample, addressed by a position that counts from 1 (position p is the
// byte at offset p - 1). The WAV header is not interpreted; it is read as
// samples like everything else.
//
// The file is never loaded whole. Sequential scans look at a stretch of the
// file mapped into memory (kMappedSpan bytes, moved on as the scan goes), or,
// where mapping is refused or not wanted, at one buffer that is refilled
// forwards; either way memory stays constant for any length. Single samples
// for the bad-signal view outside that stretch are read directly from the file.
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

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "project/op_result.h"
#include "project/mapped_stretch.h"
#include "sound/recording/sample_source.h"

namespace reelo {

inline constexpr const char* kOpenSoundFailedText = "Не удалось открыть звуковой файл";
inline constexpr const char* kReadSoundFailedText = "Ошибка чтения звукового файла";

// The level delivered for any position outside 1..F: the rest level, which
// neither starts nor ends a half-wave.
inline constexpr std::uint8_t kOutsideSample = 127;

inline constexpr std::size_t kRecordingBufferSize = std::size_t{256} * 1024;
// The stretch of a file mapped at a time: large enough that moving it on costs
// nothing beside the scan, small enough that the pages it holds stay few.
inline constexpr std::int64_t kMappedSpan = std::int64_t{4} << 20;

// How a file's samples reach the scans: mapped (no copy; the default) or
// copied into the buffer by reads.
enum class FileReading { Mapped, Copied };

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

// The rate the exact import takes every file for: its default pulse bounds
// fit 22050 samples per second. The file's header is not read.
inline constexpr int kExactSampleRate = 22050;

// A file as the exact import reads it: every byte one 8-bit sample, the WAV
// header included, read forwards a block at a time or from any index, or lent
// from a stretch of the file mapped into memory (no copy; moved on as the
// reading goes, so the pages held stay few).
class RecordingFile final : public ByteSampleSource {
 public:
  // mappedSpan: the stretch mapped at a time, rounded up to whole pages; 0
  // lends nothing (every sample is copied by reads).
  explicit RecordingFile(std::int64_t mappedSpan = 0);
  ~RecordingFile() override { Close(); }
  RecordingFile(const RecordingFile&) = delete;
  RecordingFile& operator=(const RecordingFile&) = delete;

  // Opens a regular file; an Error "Не удалось открыть звуковой файл <path>"
  // with the system's reason when it is missing, unreadable or no regular file.
  OpResult Open(const std::string& path);
  void Close();
  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  int rate() const override { return kExactSampleRate; }
  // The file's length in bytes as it was when opened.
  std::int64_t length() const override { return length_; }
  std::size_t ReadBytes(std::uint8_t* dest, std::size_t size) override;
  bool Seek(std::int64_t index) override;
  // The mapped stretch holding index. None once mapping was refused (or the
  // file shrank since it was opened): the reads then find where it ends.
  Lent Lend(std::int64_t index) override;
  // The errno of the last read when it failed, 0 when it only ended early or
  // did not fail.
  int lastError() const { return lastError_; }
  // Whether a stretch is mapped just now.
  bool mapped() const { return mapping_.mapped(); }
  // The sample at index when the stretch mapped now holds it, else nullptr.
  const std::uint8_t* MappedAt(std::int64_t index) const;
  // Whether the mapped stretches saw the file shrink or lose a page (their
  // samples past the loss read as the rest level, or as 0 where the kernel
  // cut a page short).
  bool MappingFailed() const;

 private:
  std::int64_t mappedSpan_;
  MappedStretch mapping_;
  bool mapRefused_ = false;         // reads from now on
  bool mappingFailed_ = false;      // a stretch let go had lost pages
  std::int64_t mappedThrough_ = 0;  // the end (0-based offset) of the furthest stretch mapped
  int fd_ = -1;
  std::int64_t length_ = 0;
  std::int64_t next_ = 0;  // the offset the next read starts at
  int lastError_ = 0;
};

// A run of samples held in the buffer: data[0] is the sample at the position
// asked for, and count samples (at least 1) follow without a gap.
struct SampleWindow {
  const std::uint8_t* data;
  std::int64_t count;
};

class RecordingReader {
 public:
  // bufferSize: the most samples one window hands out (and the buffer's size
  // where the samples are copied). mappedSpan: the stretch mapped at a time,
  // rounded up to whole pages.
  explicit RecordingReader(std::size_t bufferSize = kRecordingBufferSize, FileReading reading = FileReading::Mapped,
                           std::int64_t mappedSpan = kMappedSpan);
  ~RecordingReader();
  RecordingReader(const RecordingReader&) = delete;
  RecordingReader& operator=(const RecordingReader&) = delete;

  // Opens the file and takes its length F. A missing, unreadable or
  // non-regular file gives an Error: "Не удалось открыть звуковой файл <path>"
  // with the system's reason as the detail. The file is mapped, or read
  // through its RecordingFile where it is copied.
  OpResult Open(const std::string& path);
  // Reads the samples of a source that knows its length (F) and can seek
  // (samples in memory, a file of another kind), a block per call into the
  // buffer; the source must outlive the reading. A source that cannot seek
  // reads forwards only: a position behind what it gave reads as the rest
  // level. A source of unknown length gives an Error and is not read.
  OpResult Open(ByteSampleSource& source);
  // Reads the stream from here on (closing any file). The stream must outlive
  // the reading; positions are read forwards only.
  // expectedLength: about how many samples it will give (for progress only).
  void Attach(ByteStream& stream, std::int64_t expectedLength);
  void Close();
  bool isOpen() const { return source_ != nullptr || stream_ != nullptr; }
  // Whether the file's samples are being read from a mapping just now (a
  // refused mapping falls back to reads for the rest of the file).
  bool readsMapped() const { return file_.mapped(); }

  // F: the file length in bytes, as taken when the file was opened; for a
  // stream, the lead-in and every sample once it has ended, kUnknownLength before.
  std::int64_t length() const { return length_; }
  // F when it is known, else what the stream is expected to give; for progress.
  std::int64_t expectedLength() const { return length_ != kUnknownLength ? length_ : expectedLength_; }

  // The samples from position on, for a position in 1..F. The window never
  // reaches past F. Refills the buffer when the position lies outside it.
  SampleWindow Window(std::int64_t position) {
    const std::int64_t offset = position - windowStart_;
    if (offset >= 0 && offset < windowCount_) {
      return {window_ + offset, std::min(windowCount_ - offset, windowLimit_)};
    }
    return Refill(position);
  }

  // One sample at any position; kOutsideSample outside 1..F. Does not disturb
  // the sequential buffer (a stream is read on as far as the position, and
  // keeps the samples just behind the run's position).
  std::uint8_t SampleAt(std::int64_t position);

  // True once a read inside 1..F failed or came up short (the file shrank or
  // the device failed); the missing samples were delivered as kOutsideSample.
  // For a mapped file: a page that vanished or could not be read, or a file
  // now shorter than the stretches that were looked at (the samples past its
  // new end may have read as 0 where the kernel cut a page short).
  bool readFailed() const;
  // The system's reason for the first failed read.
  const std::string& readError() const { return readError_; }
  // What a run tells the window about its reading: Ok, or a Warning
  // "Ошибка чтения звукового файла <path>" with the reason. A failed read does
  // not fail the run: whatever was read before it has been used.
  OpResult ReadOutcome(const std::string& path) const;

 private:
  SampleWindow Refill(std::int64_t position);
  // Reads the source from its start on: what it lends as it is, the rest a
  // block at a time into the buffer.
  void StartReading(ByteSampleSource& source);
  // Hands out what the source lends around position as the window; false
  // when it lends nothing there (it is read into the buffer from now on).
  bool LendAround(std::int64_t position);
  void SetReadError(int err);
  // Hands out the buffer's usable samples as the window.
  void ShowBuffer();
  SampleWindow RefillStream(std::int64_t position);
  // Reads the stream on into the buffer until it holds position + ahead or
  // the stream ends.
  void ReadStreamTo(std::int64_t last);
  // Reads up to size samples from the source's index offset; returns how
  // many arrived and the errno of a failed read (0 when the read only ended
  // early).
  std::size_t ReadInto(std::uint8_t* dest, std::size_t size, std::int64_t offset, int& err);

  RecordingFile file_;
  ByteSampleSource* source_ = nullptr;  // file_ or a source given to Open
  std::int64_t sourceAt_ = 0;          // the index the source's next read gives
  std::int64_t length_ = 0;
  // The window the inline Window hands out from: window_[0] is the sample at
  // windowStart_, windowCount_ samples follow, at most windowLimit_ at a time.
  const std::uint8_t* window_ = nullptr;
  std::int64_t windowStart_ = 0;
  std::int64_t windowCount_ = 0;
  std::int64_t windowLimit_;
  bool lendRefused_ = false;  // the source lends nothing: read into the buffer from now on
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
