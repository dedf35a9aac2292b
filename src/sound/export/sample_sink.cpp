#include "sound/export/sample_sink.h"

#include <algorithm>
#include <utility>

namespace reelo {

SampleSink::SampleSink(Consumer consumer, std::size_t chunkSize)
    : consumer_(std::move(consumer)),
      chunkSize_(std::max<std::size_t>(chunkSize, 1)),
      buffer_(new std::uint8_t[chunkSize_ + kSpill]) {}

bool SampleSink::Flush() {
  if (used_ > 0 && !failed_ && !consumer_(buffer_.get(), used_)) failed_ = true;
  // After a failure the samples are counted but dropped: the caller stops at
  // its next check and reports the failure, so nothing more needs to reach it.
  used_ = 0;
  return !failed_;
}

// What spilled past the chunk may be longer than a small chunk: every full
// chunk is handed on, and the rest moves to the buffer's start.
void SampleSink::PassFullChunk() {
  std::size_t passed = 0;
  for (; used_ - passed >= chunkSize_; passed += chunkSize_) {
    if (!failed_ && !consumer_(buffer_.get() + passed, chunkSize_)) failed_ = true;
  }
  used_ -= passed;
  std::memmove(buffer_.get(), buffer_.get() + passed, used_);
}

void SampleSink::FillAcrossChunks(std::uint8_t level, std::size_t count) {
  while (count > 0) {
    const std::size_t part = std::min(count, room());
    std::memset(end(), level, part);
    Commit(part);
    count -= part;
  }
}

void SampleSink::AppendAcrossChunks(const std::uint8_t* samples, std::size_t count) {
  while (count > 0) {
    const std::size_t part = std::min(count, room());
    std::memcpy(end(), samples, part);
    Commit(part);
    samples += part;
    count -= part;
  }
}

}  // namespace reelo
