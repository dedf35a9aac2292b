// Where the tape signal goes: a fixed buffer of 8-bit samples that is handed
// on in large chunks, so that making the signal costs a few fills per cycle and
// writing it costs one call per chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace reelo {

class SampleSink {
 public:
  // Receives each full chunk (and the rest at Flush); returns false when the
  // samples could not be taken, which stops the sink.
  using Consumer = std::function<bool(const std::uint8_t* samples, std::size_t count)>;

  static constexpr std::size_t kDefaultChunkSize = std::size_t{1} << 20;

  explicit SampleSink(Consumer consumer, std::size_t chunkSize = kDefaultChunkSize);
  SampleSink(const SampleSink&) = delete;
  SampleSink& operator=(const SampleSink&) = delete;

  // Appends count samples of the given level.
  void Fill(std::uint8_t level, std::size_t count) {
    if (count <= buffer_.size() - used_) {
      std::memset(buffer_.data() + used_, level, count);
      used_ += count;
      total_ += count;
    } else {
      FillAcrossChunks(level, count);
    }
  }

  // Appends a run of prepared samples.
  void Append(const std::uint8_t* samples, std::size_t count) {
    if (count <= buffer_.size() - used_) {
      std::memcpy(buffer_.data() + used_, samples, count);
      used_ += count;
      total_ += count;
    } else {
      AppendAcrossChunks(samples, count);
    }
  }

  // Hands the buffered samples to the consumer. False once the consumer failed.
  bool Flush();

  // Samples appended so far, whether or not they have been handed on yet.
  std::uint64_t count() const { return total_; }
  bool failed() const { return failed_; }

 private:
  void FillAcrossChunks(std::uint8_t level, std::size_t count);
  void AppendAcrossChunks(const std::uint8_t* samples, std::size_t count);

  Consumer consumer_;
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;
  std::uint64_t total_ = 0;
  bool failed_ = false;
};

}  // namespace reelo
