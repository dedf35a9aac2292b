// Where the tape signal goes: a buffer of 8-bit samples that is handed on in
// large chunks, so that making the signal costs a few fills per cycle and
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
  // Takes a filled chunk and gives the one to fill next (of the same size),
  // or nullptr when the samples could not be taken, which stops the sink. The
  // chunk handed over is not touched again until it comes back from here.
  using Exchange = std::function<std::uint8_t*(std::uint8_t* filled, std::size_t count)>;

  static constexpr std::size_t kDefaultChunkSize = std::size_t{1} << 20;

  explicit SampleSink(Consumer consumer, std::size_t chunkSize = kDefaultChunkSize);
  // Fills first (chunkSize bytes), then the chunks exchange gives back.
  SampleSink(Exchange exchange, std::uint8_t* first, std::size_t chunkSize);
  SampleSink(const SampleSink&) = delete;
  SampleSink& operator=(const SampleSink&) = delete;

  // Appends count samples of the given level.
  void Fill(std::uint8_t level, std::size_t count) {
    if (count <= size_ - used_) {
      std::memset(chunk_ + used_, level, count);
      used_ += count;
      total_ += count;
    } else {
      FillAcrossChunks(level, count);
    }
  }

  // Appends a run of prepared samples.
  void Append(const std::uint8_t* samples, std::size_t count) {
    if (count <= size_ - used_) {
      std::memcpy(chunk_ + used_, samples, count);
      used_ += count;
      total_ += count;
    } else {
      AppendAcrossChunks(samples, count);
    }
  }

  // Hands the buffered samples on. False once they could not be taken.
  bool Flush();

  // Samples appended so far, whether or not they have been handed on yet.
  std::uint64_t count() const { return total_; }
  bool failed() const { return failed_; }

 private:
  void FillAcrossChunks(std::uint8_t level, std::size_t count);
  void AppendAcrossChunks(const std::uint8_t* samples, std::size_t count);

  Exchange exchange_;
  std::vector<std::uint8_t> own_;  // the one chunk of a sink with a plain consumer
  std::vector<std::uint8_t> spare_;  // where samples go after a failure, to be dropped
  std::uint8_t* chunk_ = nullptr;
  std::size_t size_ = 0;
  std::size_t used_ = 0;
  std::uint64_t total_ = 0;
  bool failed_ = false;
};

}  // namespace reelo
