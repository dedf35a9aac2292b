#include "sound/recording/fitted_bounds.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace reelo {
namespace {

// The ROM's half-waves in T-states: pilot 2168, 1 bit 1710, 0 bit 855. The
// measured lengths keep these ratios at any tape speed and sample rate.
constexpr double kOneRatio = 1710.0 / 2168.0;
constexpr double kZeroRatio = 855.0 / 2168.0;
// Pilot lengths tried: from a very fast tape at 22050 Hz to a slow one at 44100 Hz.
constexpr double kShortestPilot = 7.0;
constexpr double kLongestPilot = 32.0;
constexpr double kPilotStep = 0.02;
// Fewer pulses than this under the weakest of the three peaks: no tape signal.
constexpr double kLeastPeak = 20.0;
// The pilot's upper bound and the 0 bit's lower one, relative to their peaks;
// the sync pulse (667 and 735 T-states) lies between the 0 bit's lower bound
// and the 0 bit.
constexpr double kPilotUpper = 1.3;
constexpr double kZeroLower = 0.45;

double Mass(const PulseHistogram& histogram, double length);

// The pulses of the weakest of the three peaks for a pilot of this length.
double Score(const PulseHistogram& histogram, double pilot) {
  return std::min({Mass(histogram, pilot), Mass(histogram, pilot * kOneRatio), Mass(histogram, pilot * kZeroRatio)});
}

// The histogram's pulses near length, weighted by closeness (within one sample).
double Mass(const PulseHistogram& histogram, double length) {
  double mass = 0;
  const int from = std::max(1, static_cast<int>(std::floor(length)));
  for (int bin = from; bin <= from + 1 && bin < kHistogramBins; ++bin) {
    const double weight = 1.0 - std::fabs(bin - length);
    if (weight > 0) mass += weight * histogram[static_cast<std::size_t>(bin)];
  }
  return mass;
}

// The mean length of the pulses within a sample and a half of length.
double Centroid(const PulseHistogram& histogram, double length) {
  double sum = 0, weight = 0;
  for (int bin = std::max(1, static_cast<int>(std::ceil(length - 1.5))); bin <= length + 1.5 && bin < kHistogramBins; ++bin) {
    sum += bin * static_cast<double>(histogram[static_cast<std::size_t>(bin)]);
    weight += histogram[static_cast<std::size_t>(bin)];
  }
  return weight > 0 ? sum / weight : length;
}

// The length with the fewest pulses strictly between two peaks (the longest
// of equals); the lower peak's own length when none lies between.
int Valley(const PulseHistogram& histogram, double lower, double upper) {
  int best = static_cast<int>(std::floor(lower));
  int fewest = std::numeric_limits<int>::max();
  for (int bin = static_cast<int>(std::floor(lower)) + 1; bin < upper && bin < kHistogramBins; ++bin) {
    if (histogram[static_cast<std::size_t>(bin)] <= fewest) {
      fewest = histogram[static_cast<std::size_t>(bin)];
      best = bin;
    }
  }
  return best;
}

struct PilotFit {
  double score = 0;  // the pulses of the weakest of the three peaks
  double pilot = 0;
};

// The pilot length from..to whose three peaks explain the histogram best.
PilotFit BestPilot(const PulseHistogram& histogram, double from, double to) {
  PilotFit best;
  for (double pilot = from; pilot <= to; pilot += kPilotStep) {
    const double weakest = Score(histogram, pilot);
    if (weakest > best.score) best = {weakest, pilot};
  }
  if (best.score == 0) return best;
  // The best score often holds over a stretch of lengths: take its middle.
  double last = best.pilot;
  while (last + kPilotStep <= to && Score(histogram, last + kPilotStep) >= best.score * 0.999) last += kPilotStep;
  best.pilot = (best.pilot + last) / 2;
  return best;
}

}  // namespace

std::optional<FittedBounds> FitBounds(const PulseHistogram& histogram) {
  const PilotFit first = BestPilot(histogram, kShortestPilot, kLongestPilot);
  if (first.score < kLeastPeak) return std::nullopt;
  // The counters stop at a cap, so on a tape of long blocks the bits' peaks
  // stand level and broad while the pilot's stays low: the 1-bit peak, the
  // gap below it and the 0-bit peak's edge can then outscore the true three.
  // A pilot is the tape's longest regular pulse: when the peak taken for the
  // pilot can be the 1 bit of a longer peak that explains the tape too, that
  // longer one is the pilot.
  double bestPilot = first.pilot;
  while (true) {
    const double above = bestPilot / kOneRatio;
    const PilotFit longer = BestPilot(histogram, above * 0.9, std::min(kLongestPilot, above * 1.1));
    if (longer.score < kLeastPeak || longer.score < first.score / 4) break;
    bestPilot = longer.pilot;
  }

  FittedBounds fit;
  fit.pilotLength = Centroid(histogram, bestPilot);
  fit.oneLength = Centroid(histogram, bestPilot * kOneRatio);
  fit.zeroLength = Centroid(histogram, bestPilot * kZeroRatio);
  auto clampBound = [](double value) {
    return std::clamp(static_cast<int>(std::floor(value)), PulseBounds::kMinimum, PulseBounds::kMaximum);
  };
  const int zeroLow = std::max(1, clampBound(fit.zeroLength * kZeroLower));
  const int zeroHigh = clampBound((fit.zeroLength + fit.oneLength) / 2);
  // A 1 bit that measures long (a dull, noisy or slow stretch) must stay a 1
  // bit in the data part, while the pilot search needs only one pulse in the
  // pilot's range. So the 1 bit takes the quietest length between the two
  // peaks and every length below the pilot's own (rounded) length.
  const int oneHigh = std::clamp(std::max(Valley(histogram, fit.oneLength, fit.pilotLength),
                                          static_cast<int>(std::lround(fit.pilotLength)) - 1),
                                 zeroHigh + 1, PulseBounds::kMaximum - 1);
  const int pilotHigh = clampBound(fit.pilotLength * kPilotUpper);
  fit.bounds.value = {zeroLow, zeroHigh, zeroHigh + 1, oneHigh, oneHigh + 1, std::max(pilotHigh, oneHigh + 1)};
  return fit;
}

}  // namespace reelo
