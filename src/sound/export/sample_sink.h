// Where the tape signal goes: a fixed buffer of 8-bit samples that is handed
// on in chunks of exactly the chunk size (the last one shorter), so that
// making the signal costs a few fills per cycle and writing it costs one call
// per chunk, each at a multiple of the chunk size into the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>

namespace reelo {

class SampleSink {
 public:
  // Receives each full chunk (and the rest at Flush); returns false when the
  // samples could not be taken, which stops the sink.
  using Consumer = std::function<bool(const std::uint8_t* samples, std::size_t count)>;

  static constexpr std::size_t kDefaultChunkSize = std::size_t{1} << 20;
  // Room past the chunk's end: a writer may put up to this many samples at
  // end() whenever room() is not 0, so short runs are copied whole with one
  // fixed-size copy and no check of the chunk's end.
  static constexpr std::size_t kSpill = 256;

  explicit SampleSink(Consumer consumer, std::size_t chunkSize = kDefaultChunkSize);
  SampleSink(const SampleSink&) = delete;
  SampleSink& operator=(const SampleSink&) = delete;

  // Appends count samples of the given level.
  void Fill(std::uint8_t level, std::size_t count) {
    if (count <= room()) {
      std::memset(end(), level, count);
      Commit(count);
    } else {
      FillAcrossChunks(level, count);
    }
  }

  // Appends a run of prepared samples.
  void Append(const std::uint8_t* samples, std::size_t count) {
    if (count <= room()) {
      std::memcpy(end(), samples, count);
      Commit(count);
    } else {
      AppendAcrossChunks(samples, count);
    }
  }

  // Writing in place: samples put at end() (up to room() + kSpill of them,
  // while room() is not 0) are kept by Commit(n), which hands the chunk on
  // once it is full and carries what spilled past it into the next.
  std::uint8_t* end() { return buffer_.get() + used_; }
  std::size_t room() const { return chunkSize_ - used_; }
  void Commit(std::size_t count) {
    used_ += count;
    total_ += count;
    if (used_ >= chunkSize_) PassFullChunk();
  }

  // Hands the buffered samples to the consumer. False once the consumer failed.
  bool Flush();

  // Samples appended so far, whether or not they have been handed on yet.
  std::uint64_t count() const { return total_; }
  bool failed() const { return failed_; }

 private:
  void PassFullChunk();
  void FillAcrossChunks(std::uint8_t level, std::size_t count);
  void AppendAcrossChunks(const std::uint8_t* samples, std::size_t count);

  Consumer consumer_;
  std::size_t chunkSize_;
  // Not zero-filled: every sample is written before it is handed on.
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t used_ = 0;  // below chunkSize_ between calls
  std::uint64_t total_ = 0;
  bool failed_ = false;
};

}  // namespace reelo
