#include "sound/export/sample_sink.h"

#include <algorithm>
#include <utility>

namespace reelo {

SampleSink::SampleSink(Consumer consumer, std::size_t chunkSize)
    : own_(std::max<std::size_t>(chunkSize, 1)), chunk_(own_.data()), size_(own_.size()) {
  exchange_ = [consumer = std::move(consumer)](std::uint8_t* filled, std::size_t count) {
    return consumer(filled, count) ? filled : nullptr;
  };
}

SampleSink::SampleSink(Exchange exchange, std::uint8_t* first, std::size_t chunkSize)
    : exchange_(std::move(exchange)), chunk_(first), size_(chunkSize) {
  if (chunk_ == nullptr || size_ == 0) {
    failed_ = true;
    spare_.resize(std::max<std::size_t>(chunkSize, 1));
    chunk_ = spare_.data();
    size_ = spare_.size();
  }
}

bool SampleSink::Flush() {
  if (used_ > 0 && !failed_) {
    std::uint8_t* next = exchange_(chunk_, used_);
    if (next == nullptr) {
      // After a failure the samples are counted but dropped: the caller stops
      // at its next check and reports the failure, so nothing more needs to
      // reach the consumer. The chunk just handed over is no longer ours.
      failed_ = true;
      spare_.resize(size_);
      next = spare_.data();
    }
    chunk_ = next;
  }
  used_ = 0;
  return !failed_;
}

void SampleSink::FillAcrossChunks(std::uint8_t level, std::size_t count) {
  while (count > 0) {
    if (used_ == size_) Flush();
    std::size_t part = std::min(count, size_ - used_);
    std::memset(chunk_ + used_, level, part);
    used_ += part;
    total_ += part;
    count -= part;
  }
}

void SampleSink::AppendAcrossChunks(const std::uint8_t* samples, std::size_t count) {
  while (count > 0) {
    if (used_ == size_) Flush();
    std::size_t part = std::min(count, size_ - used_);
    std::memcpy(chunk_ + used_, samples, part);
    used_ += part;
    total_ += part;
    samples += part;
    count -= part;
  }
}

}  // namespace reelo
