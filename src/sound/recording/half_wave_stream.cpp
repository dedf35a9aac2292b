#include "sound/recording/half_wave_stream.h"

#include <system_error>

namespace reelo {
namespace {

// Samples per block, and blocks between the threads: a hand-over costs a
// wake-up of the other thread at most once a block, and the ring holds more
// than a time slice of the filters' work, so on a busy machine neither
// thread waits on the other's turn at the processor for long (2.6 MB).
constexpr std::size_t kBlockSamples = 65536;
constexpr std::size_t kRingBlocks = 8;

}  // namespace

HalfWaveStream::HalfWaveStream(SampleSource& source, bool secondThread)
    : source_(source), filter_(source.rate()), scanner_(source.rate()), samples_(kBlockSamples) {
  const bool threaded = secondThread && std::thread::hardware_concurrency() >= 2;
  ring_.resize(threaded ? kRingBlocks : 1);
  for (Block& block : ring_) {
    block.filtered.resize(kBlockSamples);
    block.flags.resize(kBlockSamples);
  }
  if (!threaded) return;
  try {
    worker_ = std::thread([this] { Work(); });
  } catch (const std::system_error&) {
    // No thread to be had: everything in line (the first block of the ring).
  }
}

HalfWaveStream::~HalfWaveStream() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

bool HalfWaveStream::Fill(Block& block) {
  // Whole blocks (a source may hand out less at a time), but never a read
  // past the end.
  block.count = 0;
  while (block.count < samples_.size()) {
    const std::size_t got = source_.Read(samples_.data() + block.count, samples_.size() - block.count);
    if (got == 0) break;
    block.count += got;
  }
  if (block.count == 0) return false;
  filter_.Process(samples_.data(), block.count, block.filtered.data(), block.flags.data());
  return true;
}

void HalfWaveStream::Work() {
  for (;;) {
    std::size_t slot = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stop_ || filled_ - taken_ < ring_.size(); });
      if (stop_) return;
      slot = filled_ % ring_.size();
    }
    bool more = false;
    std::exception_ptr failure;
    try {
      more = Fill(ring_[slot]);
    } catch (...) {
      failure = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (more) {
        ++filled_;
      } else {
        ended_ = true;
        failure_ = failure;
      }
    }
    changed_.notify_all();
    if (!more) return;
  }
}

std::size_t HalfWaveStream::Next(std::vector<HalfWave>& out) {
  Block* block = &ring_.front();
  if (!worker_.joinable()) {
    if (!Fill(*block)) return 0;
  } else {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return taken_ < filled_ || ended_; });
      if (taken_ == filled_) {
        if (failure_) std::rethrow_exception(failure_);
        return 0;
      }
    }
    block = &ring_[taken_ % ring_.size()];
  }
  const std::size_t count = block->count;
  scanner_.Process(block->filtered.data(), block->flags.data(), count, done_, out);
  done_ += static_cast<std::int64_t>(count);
  if (worker_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++taken_;
    }
    changed_.notify_all();
  }
  return count;
}

}  // namespace reelo
