#include "sound/export/sample_sink.h"

#include <algorithm>
#include <utility>

namespace reelo {

SampleSink::SampleSink(Consumer consumer, std::size_t chunkSize)
    : consumer_(std::move(consumer)), buffer_(std::max<std::size_t>(chunkSize, 1)) {}

bool SampleSink::Flush() {
  if (used_ > 0 && !failed_ && !consumer_(buffer_.data(), used_)) failed_ = true;
  // After a failure the samples are counted but dropped: the caller stops at
  // its next check and reports the failure, so nothing more needs to reach it.
  used_ = 0;
  return !failed_;
}

void SampleSink::FillAcrossChunks(std::uint8_t level, std::size_t count) {
  while (count > 0) {
    if (used_ == buffer_.size()) Flush();
    std::size_t part = std::min(count, buffer_.size() - used_);
    std::memset(buffer_.data() + used_, level, part);
    used_ += part;
    total_ += part;
    count -= part;
  }
}

void SampleSink::AppendAcrossChunks(const std::uint8_t* samples, std::size_t count) {
  while (count > 0) {
    if (used_ == buffer_.size()) Flush();
    std::size_t part = std::min(count, buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, samples, part);
    used_ += part;
    total_ += part;
    samples += part;
    count -= part;
  }
}

}  // namespace reelo
