// The stages of the preparation, each a streaming function over blocks of
// samples with a few values of state: resampling (libsoxr), the filters that
// remove DC, hum and hiss, and the slicer that turns the filtered signal into
// the decoder's clean levels. Nothing here holds more than one block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct soxr;

namespace reelo {

// The levels the slicer writes: those of the program's own WAV export.
inline constexpr std::uint8_t kSliceLow = 95;
inline constexpr std::uint8_t kSliceHigh = 159;
inline constexpr std::uint8_t kSliceRest = 127;

// A second-order IIR section (direct form II transposed).
class Biquad {
 public:
  static Biquad HighPass(double hz, double rate);
  static Biquad LowPass(double hz, double rate);
  float Process(float x) {
    const double y = b0_ * x + z1_;
    z1_ = b1_ * x - a1_ * y + z2_;
    z2_ = b2_ * x - a2_ * y;
    return static_cast<float>(y);
  }

 private:
  double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  double z1_ = 0, z2_ = 0;
};

// One channel from rate in to rate out through libsoxr; equal rates pass
// samples through untouched.
class Resampler {
 public:
  Resampler() = default;
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  // False (with libsoxr's reason in error) when the resampler cannot be made.
  bool Init(double inRate, double outRate, std::string& error);
  // Appends the output for these input samples to out.
  void Process(const float* in, std::size_t count, std::vector<float>& out);
  // Appends what the filter still holds at the end of the input.
  void Flush(std::vector<float>& out);

 private:
  soxr* soxr_ = nullptr;
  bool passThrough_ = true;
  double ratio_ = 1;
};

// Removes DC, hum and rumble (high-pass) and the hiss above the tape signal's
// band (low-pass), in place, at the decoder's rate.
class Conditioner {
 public:
  explicit Conditioner(double rate);
  void Process(float* samples, std::size_t count);

 private:
  Biquad highPass1_, highPass2_, lowPass_;
};

// The levels of short stretches (blocks of a few milliseconds), kept as a
// histogram in steps of half a decibel, so a percentile of any length of
// recording needs constant memory.
class LevelHistogram {
 public:
  static constexpr int kBins = 280;            // -140 .. 0 dBFS
  static constexpr double kStepDb = 0.5;
  void Add(double rms);
  bool empty() const { return total_ == 0; }
  std::int64_t total() const { return total_; }
  // The level (RMS, linear) below which share of the stretches lie.
  double Percentile(double share) const;

 private:
  std::array<std::int64_t, kBins> counts_{};
  std::int64_t total_ = 0;
};

// Cuts a signal into blocks and adds each block's RMS to a histogram; blocks
// quieter than ignoreBelow (RMS) are left out.
class BlockLevels {
 public:
  explicit BlockLevels(int blockLength, double ignoreBelow = 0) : blockLength_(blockLength), ignoreBelow_(ignoreBelow) {}
  void Add(float x) {
    sum_ += static_cast<double>(x) * x;
    if (++count_ == blockLength_) Close();
  }
  const LevelHistogram& histogram() const { return histogram_; }

 private:
  void Close();
  int blockLength_;
  double ignoreBelow_;
  int count_ = 0;
  double sum_ = 0;
  LevelHistogram histogram_;
};

// The slicer: follows the signal's envelope (the peaks of its half-waves) and
// switches between low and high when the signal passes a threshold relative to
// that envelope (hysteresis), placing each edge where the signal crossed zero,
// so high and low half-waves keep their true lengths. Where the recording is
// silent (the level near the noise floor, or no edge for longer than any tape
// half-wave) it writes the rest level, so hiss in the pauses makes no pulses.
class Slicer {
 public:
  // noiseRms: the RMS of the filtered signal where the recording is silent.
  Slicer(double rate, double noiseRms);
  // Slices these samples. finished receives the levels that are settled: all
  // but the last few, which are held back until the next call (an edge may
  // still move into them).
  void Process(const float* samples, std::size_t count, std::vector<std::uint8_t>& finished);
  // The samples held back, at the end of the recording.
  void Finish(std::vector<std::uint8_t>& finished);

 private:
  enum class State { Silent, Undecided, Low, High };
  void Open(float level);
  void Switch(State to);
  std::uint8_t LevelOf(State s) const;

  // Settings derived from the rate.
  int gapLimit_;       // samples without an edge after which the signal counts as gone
  float levelAlpha_;   // smoothing of the level (mean absolute value)
  float openLevel_;    // level that opens the gate
  float closeLevel_;   // level below which the gate closes
  float noiseThreshold_;  // least hysteresis: well above the noise

  State state_ = State::Silent;
  float level_ = 0;    // smoothed mean absolute value
  float envelope_ = 0; // mean peak of recent half-waves
  float peak_ = 0;     // peak of the current half-wave
  int sinceEdge_ = 0;  // samples since the last edge
  int sinceUp_ = 0;    // samples since the signal last crossed zero upwards
  int sinceDown_ = 0;  // and downwards
  float previous_ = 0;
  std::vector<std::uint8_t> levels_;  // the held-back levels, then this call's
};

// The plain conversion without cleaning: -1..1 to 8-bit unsigned, 0 at 128.
inline std::uint8_t PlainSample(float x) {
  const float v = 128.0f + x * 128.0f;
  if (v <= 0.0f) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<std::uint8_t>(v + 0.5f);
}

}  // namespace reelo
