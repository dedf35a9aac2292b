#include "sound/recording/signal_stages.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace reelo {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Below the hum of the mains (50/60 Hz and its first harmonics) and far below
// the pilot tone (about 807 Hz): two sections of a Butterworth high-pass.
constexpr double kHighPassHz = 120.0;
// Above the 0 bit's harmonics that shape its edges; hiss above goes.
constexpr double kLowPassHz = 7000.0;

// Slicer settings, all relative: the tape's longest half-wave is a pilot
// half-wave of a slow tape, about 0.7 ms.
constexpr double kGapSeconds = 0.0018;      // no edge for this long: the signal is gone
constexpr double kLevelSeconds = 0.001;     // smoothing of the level
constexpr float kOpenOverNoise = 3.5f;      // the gate opens this far above the noise's level
constexpr float kCloseOverNoise = 2.0f;     // and closes below this
constexpr float kNoiseMeanOverRms = 0.8f;   // mean absolute value of Gaussian noise / its RMS
constexpr float kHysteresisNoise = 2.5f;    // least hysteresis, in noise RMS
constexpr float kHysteresisShare = 0.3f;    // hysteresis as a share of the envelope
constexpr float kHysteresisMaxShare = 0.6f; // the noise never pushes it above this share
constexpr float kEnvelopeGain = 0.3f;       // how fast the envelope follows each half-wave's peak
constexpr float kPeakOverLevel = 1.4f;      // a new signal's envelope from its level
constexpr float kDigitalSilence = 1e-4f;    // -80 dBFS: a floor for recordings without noise
// Samples kept open to an edge: the rise from zero to the threshold takes a
// few samples at most; an edge further back is placed at this distance.
constexpr std::size_t kHold = 24;
// A stretch after the last edge whose peak stays below this share of the
// envelope, ended by silence, is the step into a pause (the filters ringing
// as the level drops to rest), not a half-wave.
constexpr float kStepIntoPauseShare = 0.6f;

}  // namespace

Biquad Biquad::HighPass(double hz, double rate) {
  const double k = std::tan(kPi * hz / rate);
  const double q = std::sqrt(0.5);
  const double norm = 1 / (1 + k / q + k * k);
  Biquad f;
  f.b0_ = norm;
  f.b1_ = -2 * norm;
  f.b2_ = norm;
  f.a1_ = 2 * (k * k - 1) * norm;
  f.a2_ = (1 - k / q + k * k) * norm;
  return f;
}

Biquad Biquad::LowPass(double hz, double rate) {
  const double k = std::tan(kPi * std::min(hz, rate * 0.45) / rate);
  const double q = std::sqrt(0.5);
  const double norm = 1 / (1 + k / q + k * k);
  Biquad f;
  f.b0_ = k * k * norm;
  f.b1_ = 2 * f.b0_;
  f.b2_ = f.b0_;
  f.a1_ = 2 * (k * k - 1) * norm;
  f.a2_ = (1 - k / q + k * k) * norm;
  return f;
}

Resampler::~Resampler() {
  if (soxr_) soxr_delete(soxr_);
}

bool Resampler::Init(double inRate, double outRate, std::string& error) {
  passThrough_ = inRate == outRate;
  ratio_ = outRate / inRate;
  if (passThrough_) return true;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_MQ, 0);
  soxr_error_t err = nullptr;
  soxr_ = soxr_create(inRate, outRate, 1, &err, &io, &quality, nullptr);
  if (err || !soxr_) {
    error = soxr_strerror(err);
    soxr_ = nullptr;
    return false;
  }
  return true;
}

void Resampler::Process(const float* in, std::size_t count, std::vector<float>& out) {
  if (passThrough_) {
    out.insert(out.end(), in, in + count);
    return;
  }
  std::size_t used = 0;
  while (used < count) {
    const std::size_t start = out.size();
    const std::size_t room = static_cast<std::size_t>(std::ceil((count - used) * ratio_)) + 64;
    out.resize(start + room);
    std::size_t idone = 0, odone = 0;
    soxr_process(soxr_, in + used, count - used, &idone, out.data() + start, room, &odone);
    out.resize(start + odone);
    used += idone;
    if (idone == 0 && odone == 0) break;
  }
}

void Resampler::Flush(std::vector<float>& out) {
  if (passThrough_) return;
  for (;;) {
    const std::size_t start = out.size();
    constexpr std::size_t kRoom = 4096;
    out.resize(start + kRoom);
    std::size_t odone = 0;
    soxr_process(soxr_, nullptr, 0, nullptr, out.data() + start, kRoom, &odone);
    out.resize(start + odone);
    if (odone == 0) break;
  }
}

Conditioner::Conditioner(double rate)
    : highPass1_(Biquad::HighPass(kHighPassHz, rate)),
      highPass2_(Biquad::HighPass(kHighPassHz, rate)),
      lowPass_(Biquad::LowPass(kLowPassHz, rate)) {}

void Conditioner::Process(float* samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    samples[i] = lowPass_.Process(highPass2_.Process(highPass1_.Process(samples[i])));
  }
}

void LevelHistogram::Add(double rms) {
  const double db = rms > 0 ? 20 * std::log10(rms) : -1000.0;
  const int bin = std::clamp(static_cast<int>((db + kBins * kStepDb) / kStepDb), 0, kBins - 1);
  ++counts_[static_cast<std::size_t>(bin)];
  ++total_;
}

double LevelHistogram::Percentile(double share) const {
  if (total_ == 0) return 0;
  const auto wanted = static_cast<std::int64_t>(share * static_cast<double>(total_));
  std::int64_t seen = 0;
  for (int bin = 0; bin < kBins; ++bin) {
    seen += counts_[static_cast<std::size_t>(bin)];
    if (seen > wanted) return bin == 0 ? 0.0 : std::pow(10.0, ((bin + 0.5) * kStepDb - kBins * kStepDb) / 20);
  }
  return 1.0;
}

void BlockLevels::Close() {
  const double rms = std::sqrt(sum_ / count_);
  if (rms >= ignoreBelow_) histogram_.Add(rms);
  sum_ = 0;
  count_ = 0;
}

Slicer::Slicer(double rate, double noiseRms)
    : gapLimit_(static_cast<int>(kGapSeconds * rate)),
      levelAlpha_(static_cast<float>(1.0 / (kLevelSeconds * rate))),
      openLevel_(std::max(kOpenOverNoise * kNoiseMeanOverRms * static_cast<float>(noiseRms), kDigitalSilence)),
      closeLevel_(std::max(kCloseOverNoise * kNoiseMeanOverRms * static_cast<float>(noiseRms), kDigitalSilence / 2)),
      noiseThreshold_(kHysteresisNoise * static_cast<float>(noiseRms)) {}

std::uint8_t Slicer::LevelOf(State s) const {
  switch (s) {
    case State::Low: return kSliceLow;
    case State::High: return kSliceHigh;
    default: return kSliceRest;
  }
}

void Slicer::Open(float level) {
  state_ = State::Undecided;
  envelope_ = level * kPeakOverLevel;
  peak_ = 0;
  sinceEdge_ = 0;
}

// Switches at the current sample; the samples since the signal crossed zero
// towards the new state take its level too, so the edge sits at the crossing.
void Slicer::Switch(State to) {
  const int sinceZero = to == State::High ? sinceUp_ : sinceDown_;
  const std::size_t back = std::min<std::size_t>({static_cast<std::size_t>(sinceZero) + 1, kHold, levels_.size()});
  std::fill(levels_.end() - static_cast<std::ptrdiff_t>(back), levels_.end(), LevelOf(to));
  if (state_ == State::Low || state_ == State::High) envelope_ += (peak_ - envelope_) * kEnvelopeGain;
  state_ = to;
  peak_ = 0;
  sinceEdge_ = 0;
}

void Slicer::Process(const float* samples, std::size_t count, std::vector<std::uint8_t>& finished) {
  for (std::size_t i = 0; i < count; ++i) {
    const float y = samples[i];
    const float magnitude = std::fabs(y);
    level_ += (magnitude - level_) * levelAlpha_;
    sinceUp_ = previous_ < 0 && y >= 0 ? 0 : sinceUp_ + 1;
    sinceDown_ = previous_ >= 0 && y < 0 ? 0 : sinceDown_ + 1;
    previous_ = y;
    levels_.push_back(LevelOf(state_));

    if (state_ == State::Silent) {
      if (level_ > openLevel_) Open(level_);
      continue;
    }
    ++sinceEdge_;
    peak_ = std::max(peak_, magnitude);
    if (sinceEdge_ > gapLimit_ || level_ < closeLevel_) {
      if (state_ == State::Low && peak_ < kStepIntoPauseShare * envelope_) {
        // The last high half-wave runs on into the pause, as in a clean signal.
        for (auto it = levels_.rbegin(); it != levels_.rend() && *it == kSliceLow; ++it) *it = kSliceRest;
      }
      state_ = State::Silent;
      levels_.back() = kSliceRest;
      continue;
    }
    const float threshold =
        std::max(kHysteresisShare * envelope_, std::min(noiseThreshold_, kHysteresisMaxShare * envelope_));
    if (state_ != State::High && y > threshold) {
      Switch(State::High);
    } else if (state_ != State::Low && y < -threshold) {
      Switch(State::Low);
    }
  }
  const std::size_t held = kHold + static_cast<std::size_t>(gapLimit_) + 2;
  const std::size_t settled = levels_.size() - std::min(held, levels_.size());
  finished.assign(levels_.begin(), levels_.begin() + static_cast<std::ptrdiff_t>(settled));
  levels_.erase(levels_.begin(), levels_.begin() + static_cast<std::ptrdiff_t>(settled));
}

void Slicer::Finish(std::vector<std::uint8_t>& finished) {
  finished.assign(levels_.begin(), levels_.end());
  levels_.clear();
}

}  // namespace reelo
