#include "sound/recording/channel_scan.h"

#include <algorithm>
#include <cmath>

namespace reelo {
namespace {

constexpr double kPilotHalfSeconds = 2168.0 / 3500000.0;
constexpr double kPilotShortest = 0.75;       // of the nominal half-wave
constexpr double kPilotLongest = 1.30;
constexpr double kRunTolerance = 0.12;        // a half-wave within 12% of its run's mean continues it
constexpr std::int64_t kShortestRun = 200;    // a ROM pilot has 3223 or 8063 half-waves
constexpr double kMeanSeconds = 0.008;        // DC tracking (about 20 Hz)
constexpr double kEdgeHighPassHz = 120.0;     // as the preparation's high-pass
constexpr double kReleaseSeconds = 0.010;     // envelope of the edge detector
constexpr float kEdgeShare = 0.3f;            // edge threshold, share of the envelope
constexpr double kBlockSeconds = 0.010;       // stretches for the noise floor
constexpr double kNoiseShare = 0.10;          // the quietest tenth is the floor
constexpr double kMinimumDb = -120.0;

double Db(double value) { return value > 0 ? std::max(20 * std::log10(value), kMinimumDb) : kMinimumDb; }

// Samples at full scale: the largest value the encoding holds, less a step.
float ClipLevel(int bits) {
  if (bits <= 0 || bits > 24) return 0.999f;
  return static_cast<float>(1.0 - 1.5 / std::ldexp(1.0, bits - 1));
}

}  // namespace

PilotRuns::PilotRuns(double rate)
    : rate_(rate), shortest_(kPilotShortest * kPilotHalfSeconds * rate), longest_(kPilotLongest * kPilotHalfSeconds * rate) {}

void PilotRuns::Add(double length) {
  const bool pilotLike = length >= shortest_ && length <= longest_;
  if (count_ > 0) {
    const double mean = sum_ / static_cast<double>(count_);
    if (pilotLike && std::fabs(length - mean) <= kRunTolerance * mean) {
      ++count_;
      sum_ += length;
      sumSquares_ += length * length;
      return;
    }
    EndRun();
  }
  if (pilotLike) {
    count_ = 1;
    sum_ = length;
    sumSquares_ = length * length;
  }
}

void PilotRuns::Finish() { EndRun(); }

void PilotRuns::EndRun() {
  if (count_ >= kShortestRun) {
    const double n = static_cast<double>(count_);
    const double mean = sum_ / n;
    const double variance = std::max(sumSquares_ / n - mean * mean, 0.0);
    ++runs_;
    halfWaves_ += count_;
    totalLength_ += sum_;
    spreadSum_ += std::sqrt(variance) / mean * n;
  }
  count_ = 0;
  sum_ = sumSquares_ = 0;
}

double PilotRuns::frequency() const {
  return halfWaves_ > 0 ? rate_ * static_cast<double>(halfWaves_) / (2 * totalLength_) : 0.0;
}

double PilotRuns::jitter() const { return halfWaves_ > 0 ? spreadSum_ / static_cast<double>(halfWaves_) : 1.0; }

ChannelScanner::ChannelScanner(double rate, int bitsPerSample)
    : clipLevel_(ClipLevel(bitsPerSample)),
      meanAlpha_(static_cast<float>(1.0 / (kMeanSeconds * rate))),
      highPass1_(Biquad::HighPass(kEdgeHighPassHz, rate)),
      highPass2_(Biquad::HighPass(kEdgeHighPassHz, rate)),
      releaseFactor_(static_cast<float>(std::exp(-1.0 / (kReleaseSeconds * rate)))),
      levels_(std::max(1, static_cast<int>(kBlockSeconds * rate))),
      pilots_(rate) {}

// An edge detector with hysteresis on the signal without its DC; the length
// between edges (interpolated where the signal passed the threshold) is one
// half-wave.
void ChannelScanner::Track(float withHum) {
  levels_.Add(withHum);
  const float d = highPass2_.Process(highPass1_.Process(withHum));
  const float magnitude = d < 0 ? -d : d;
  envelope_ = std::max(magnitude, envelope_ * releaseFactor_);
  const float threshold = kEdgeShare * envelope_;
  ++sinceEdge_;
  const bool rising = !high_ && d > threshold;
  const bool falling = high_ && d < -threshold;
  if (rising || falling) {
    const float target = rising ? threshold : -threshold;
    const float step = d - previous_;
    const double fraction = step != 0 ? std::clamp(static_cast<double>((d - target) / step), 0.0, 1.0) : 0.0;
    pilots_.Add(static_cast<double>(sinceEdge_) - fraction + edgeFraction_);
    edgeFraction_ = fraction;
    sinceEdge_ = 0;
    high_ = rising;
  }
  previous_ = d;
}

ChannelQuality ChannelScanner::Result() const {
  ChannelQuality q;
  q.peakDbfs = Db(peak_);
  q.clippedShare = count_ > 0 ? static_cast<double>(clipped_) / static_cast<double>(count_) : 0.0;
  q.dcOffset = count_ > 0 ? sum_ / static_cast<double>(count_) : 0.0;
  q.noiseFloorDbfs = levels_.histogram().empty() ? kMinimumDb : Db(levels_.histogram().Percentile(kNoiseShare));
  q.pilotHz = pilots_.frequency();
  q.pilotRuns = pilots_.runs();
  q.pilotJitter = pilots_.jitter();
  return q;
}

int BetterChannel(const std::vector<ChannelScanner>& channels) {
  int best = 0;
  for (int i = 1; i < static_cast<int>(channels.size()); ++i) {
    const ChannelScanner& a = channels[static_cast<std::size_t>(best)];
    const ChannelScanner& b = channels[static_cast<std::size_t>(i)];
    const double most = std::max(a.pilotHalfWaves(), b.pilotHalfWaves());
    if (b.pilotHalfWaves() < 0.5 * most) continue;
    if (a.pilotHalfWaves() < 0.5 * most || b.pilotJitter() < a.pilotJitter()) best = i;
  }
  return best;
}

}  // namespace reelo
