// One progress display for a whole tape load.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "project/progress.h"

namespace reelo {

// One progress display for the whole load, its maximum the file size + 1 as
// for TAP files: the standard-block reader shows the read position, the
// libspectrum path the share of its blocks done, scaled to the same bar. A TZX
// first walked by the standard-block reader and then handed to libspectrum
// would start the bar over: it never goes back, it waits at the furthest
// point shown until the second reading passes it.
class LoadProgress {
 public:
  LoadProgress(Progress& progress, const char* label, std::uint64_t size)
      : scope_(progress, label, static_cast<long long>(size) + 1), maximum_(size + 1) {}
  void Position(std::uint64_t position) { Show(std::min(position + 1, maximum_)); }
  void SetBlockCount(std::size_t blocks) { blocks_ = blocks; }
  void Blocks(std::size_t done) {
    Show(blocks_ > 0 ? done * maximum_ / blocks_ : maximum_);
  }

 private:
  void Show(std::uint64_t value) {
    shown_ = std::max(shown_, value);
    scope_.Step(static_cast<long long>(shown_));
  }

  ProgressScope scope_;
  std::uint64_t maximum_;
  std::size_t blocks_ = 0;
  std::uint64_t shown_ = 0;
};

}  // namespace reelo
