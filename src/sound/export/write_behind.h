// Writing behind the making: the export fills one chunk of samples while a
// thread of its own writes the chunk filled before it, so the signal's making
// and the system's copying of it into the file overlap on two cores. Chunks
// are written in the order they are handed over, each whole, by one write
// function; after the first failed write nothing more is written and the
// maker is told at its next Take.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace reelo {

class WriteBehind {
 public:
  using Write = std::function<bool(const std::uint8_t* data, std::size_t size)>;

  // Chunks of chunkSize bytes. With background false (or on a machine of one
  // core, or when no thread can be started) every chunk is written at once on
  // the caller's thread.
  WriteBehind(Write write, std::size_t chunkSize, bool background = OnTwoCores());
  ~WriteBehind();  // waits for the chunks handed over (Finish)
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // An empty chunk to fill (chunkSize bytes), waiting for one to come back
  // from the writer if need be; nullptr once a write has failed.
  std::uint8_t* Take();
  // Hands over a chunk from Take with its first size bytes filled.
  void Hand(std::uint8_t* chunk, std::size_t size);
  // Waits until every chunk handed over is written and stops the thread;
  // false if any write failed. Nothing may be taken or handed afterwards.
  bool Finish();

  std::size_t chunkSize() const { return chunkSize_; }
  static bool OnTwoCores();

 private:
  struct Filled {
    std::uint8_t* data;
    std::size_t size;
  };
  void Run();

  Write write_;
  std::size_t chunkSize_;
  std::vector<std::vector<std::uint8_t>> chunks_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::uint8_t*> empty_;  // chunks free to fill
  std::deque<Filled> filled_;         // chunks waiting to be written, in order
  bool failed_ = false;
  bool finishing_ = false;
  std::thread thread_;
};

}  // namespace reelo
