// A recording's half-waves, pulled in order: the samples of a source read,
// filtered and scanned for edges (EdgeFinder's two steps). With a second
// thread, the reading and the filters run on it while the caller's thread
// scans and decodes, so a long recording takes about the time of the slower
// half. The thread only ever touches the source and the filter; everything
// the caller sees (the half-waves, the events of a run) stays on the
// caller's thread. Memory: a few blocks of samples, whatever the length.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "sound/recording/edge_finder.h"
#include "sound/recording/sample_source.h"

namespace reelo {

class HalfWaveStream {
 public:
  // secondThread: read and filter on a thread of its own (when the machine
  // has more than one core and the thread can be started); otherwise all in
  // line. The source is used by that thread alone until the stream is gone.
  HalfWaveStream(SampleSource& source, bool secondThread);
  ~HalfWaveStream();
  HalfWaveStream(const HalfWaveStream&) = delete;
  HalfWaveStream& operator=(const HalfWaveStream&) = delete;

  // Appends to out the half-waves the next block of samples closes and
  // returns the block's length; 0 at the end of the recording. What the
  // source threw comes out of here.
  std::size_t Next(std::vector<HalfWave>& out);
  // The largest swing of the half-wave in progress (for the end).
  float Peak() const { return scanner_.Peak(); }
  bool threaded() const { return worker_.joinable(); }

 private:
  struct Block {
    std::vector<float> filtered;
    std::vector<std::uint8_t> flags;
    std::size_t count = 0;
  };
  // Reads and filters the next block into block; false at the end.
  bool Fill(Block& block);
  void Work();

  SampleSource& source_;
  EdgeFilter filter_;
  EdgeScanner scanner_;
  std::vector<float> samples_;
  std::int64_t done_ = 0;  // samples handed out

  // The blocks between the threads, a ring: the worker fills block
  // filled_ % size while fewer than size wait; the caller scans block
  // taken_ % size while taken_ < filled_. Both counts, the end and the stop
  // are guarded by mutex_, which orders each block's writing before its
  // reading, and its reading before it is written again.
  std::vector<Block> ring_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t filled_ = 0, taken_ = 0;
  bool ended_ = false, stop_ = false;
  std::exception_ptr failure_;
  std::thread worker_;
};

}  // namespace reelo
