// The period decoder's first stage: samples in, half-waves out. It filters the
// signal (a high-pass for hum and DC, a low-pass for hiss), follows its
// envelope, and places an edge at the zero crossing before the signal passes
// a threshold (a share of the envelope) on the other side, between samples.
//
// Two steps, each over a block of samples at a time: the filter runs the
// filters and the envelope over the whole block (a loop with no branch, its
// state in registers) and notes of each sample whether it passes the
// threshold and whether the signal crossed zero there; the scanner then finds
// the edges from those notes eight samples at a time, so the work of an edge
// stays out of the loop over the samples. The steps may run on two threads.
// The half-waves are those of doing everything sample by sample, to the last
// bit, however the samples are split into blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace reelo {

// One half-wave: its length in samples (between interpolated edges), the
// sample its closing edge lies in, and its largest swing from the zero line
// in its first few hundred microseconds.
struct HalfWave {
  float length;
  std::int64_t end;
  float peak;
};

// What the filter notes of each sample, one bit each: it is past the
// threshold above or below zero; the signal crossed zero upwards or
// downwards into it from the sample before.
inline constexpr std::uint8_t kPastAbove = 1, kPastBelow = 2, kCrossedUp = 4, kCrossedDown = 8;

// A second-order section in float, cheap enough to run on every sample.
class FilterSection {
 public:
  static FilterSection Make(double hz, double rate, bool high);
  float Process(float x) {
    const float y = b0_ * x + z1_;
    z1_ = b1_ * x - a1_ * y + z2_;
    z2_ = b2_ * x - a2_ * y;
    return y;
  }

 private:
  float b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0, z1_ = 0, z2_ = 0;
};

// The first step: the filters and the envelope.
class EdgeFilter {
 public:
  explicit EdgeFilter(double rate);
  // The filtered samples and their notes (each count long) for the next
  // count samples.
  void Process(const float* samples, std::size_t count, float* filtered, std::uint8_t* flags);

 private:
  FilterSection highPass_, lowPass_;
  bool lowPassOn_;
  float decay_;
  float envelope_ = 0;
  float previous_ = 0;  // the last filtered sample
  std::vector<float> share_;  // the thresholds of a pass
};

// The second step: the edges in the filter's output.
class EdgeScanner {
 public:
  explicit EdgeScanner(double rate);
  // Appends to out the half-waves these filtered samples close; first is the
  // number of filtered[0] in the recording.
  void Process(const float* filtered, const std::uint8_t* flags, std::size_t count, std::int64_t first,
               std::vector<HalfWave>& out);
  // The largest swing of the half-wave in progress (for the end of the
  // recording).
  float Peak() const { return peak_; }

 private:
  struct Block {
    const float* filtered;
    const std::uint8_t* flags;
    std::int64_t first;
  };
  // The swing of the half-wave in progress over samples [from, to).
  void Swing(const Block& block, std::size_t from, std::size_t to);
  // The first sample in [from, to) past the swing's window.
  std::size_t SwingEnd(const Block& block, std::size_t from, std::size_t to) const;
  // Where the signal last crossed zero upwards (up) or downwards at or before
  // sample at of the block; false when it did not in this block.
  bool LastCrossing(const Block& block, std::size_t at, bool up, double& where) const;

  double swingWindow_;
  float previous_ = 0;  // the filtered sample before the block
  bool high_ = false;
  float peak_ = 0;
  double up_ = 0, down_ = 0, lastEdge_ = 0;
};

// Both steps in line.
class EdgeFinder {
 public:
  explicit EdgeFinder(double rate);
  // Appends to out the half-waves these samples close; first is the number of
  // samples[0] in the recording. Any count; the blocks follow each other.
  void Process(const float* samples, std::size_t count, std::int64_t first, std::vector<HalfWave>& out);
  float Peak() const { return scanner_.Peak(); }

 private:
  EdgeFilter filter_;
  EdgeScanner scanner_;
  std::vector<float> filtered_;
  std::vector<std::uint8_t> flags_;
};

}  // namespace reelo
