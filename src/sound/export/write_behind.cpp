#include "sound/export/write_behind.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace reelo {
namespace {

// One chunk being filled, one being written, one ready for the writer when
// it comes back: the maker waits only when the disk is the slower side.
constexpr std::size_t kBackgroundChunks = 3;

}  // namespace

bool WriteBehind::OnTwoCores() { return std::thread::hardware_concurrency() > 1; }

WriteBehind::WriteBehind(Write write, std::size_t chunkSize, bool background)
    : write_(std::move(write)), chunkSize_(std::max<std::size_t>(chunkSize, 1)) {
  chunks_.resize(background ? kBackgroundChunks : 1);
  for (auto& chunk : chunks_) {
    chunk.resize(chunkSize_);
    empty_.push_back(chunk.data());
  }
  if (!background) return;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No thread to be had (a limit of the system): every chunk is written at once.
  }
}

WriteBehind::~WriteBehind() { Finish(); }

std::uint8_t* WriteBehind::Take() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return failed_ || !empty_.empty(); });
  if (failed_) return nullptr;
  std::uint8_t* chunk = empty_.back();
  empty_.pop_back();
  return chunk;
}

void WriteBehind::Hand(std::uint8_t* chunk, std::size_t size) {
  if (!thread_.joinable()) {
    // Written at once, on this thread.
    if (!failed_ && size > 0 && !write_(chunk, size)) failed_ = true;
    empty_.push_back(chunk);
    return;
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    filled_.push_back({chunk, size});
  }
  changed_.notify_all();
}

void WriteBehind::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return finishing_ || !filled_.empty(); });
    if (filled_.empty()) return;  // finishing, and everything is written
    const Filled next = filled_.front();
    filled_.pop_front();
    const bool skip = failed_ || next.size == 0;
    lock.unlock();
    const bool ok = skip || write_(next.data, next.size);
    lock.lock();
    if (!ok) failed_ = true;
    empty_.push_back(next.data);
    changed_.notify_all();
  }
}

bool WriteBehind::Finish() {
  if (thread_.joinable()) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      finishing_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  return !failed_;
}

}  // namespace reelo
