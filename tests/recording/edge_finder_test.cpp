// The edge finder against a plain model that does everything sample by
// sample: the same half-waves, to the last bit of their lengths and swings,
// however the samples come in blocks (one at a time, across the eight-sample
// words of the scan, across the filter's passes), on signals that make the
// edge and crossing searches go far back or not at all.
#include "sound/recording/edge_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>

#include "recording_builders.h"
#include "tape_builders.h"

namespace reelo {
namespace {

// The model: filters, envelope, threshold, crossings and swing in one loop
// over the samples, each sample's work finished before the next.
class PlainEdges {
 public:
  explicit PlainEdges(double rate)
      : highPass_(FilterSection::Make(250.0, rate, true)),
        lowPass_(FilterSection::Make(6000.0, rate, false)),
        lowPassOn_(rate * 0.45 > 7200.0),
        decay_(static_cast<float>(std::exp(-1.0 / (rate * 0.0015)))),
        swingWindow_(rate * 0.0006) {}

  void Process(const std::vector<float>& samples, std::vector<HalfWave>& out) {
    for (std::size_t i = 0; i < samples.size(); ++i) {
      float y = highPass_.Process(samples[i]);
      if (lowPassOn_) y = lowPass_.Process(y);
      const float a = std::fabs(y);
      envelope_ = std::max(a, envelope_ * decay_);
      const auto n = static_cast<double>(i);
      if ((previous_ <= 0) != (y <= 0)) {
        const double at = n - 1 + static_cast<double>(previous_ / (previous_ - y));
        if (y > 0) {
          up_ = at;
        } else {
          down_ = at;
        }
      }
      previous_ = y;
      const float threshold = std::max(0.3f * envelope_, 3e-4f);
      if (high_ ? y < -threshold : y > threshold) {
        high_ = !high_;
        const double edge = high_ ? up_ : down_;
        out.push_back({static_cast<float>(edge - lastEdge_), static_cast<std::int64_t>(edge), peak_});
        lastEdge_ = edge;
        peak_ = 0;
      }
      if (high_ == (y > 0) && n - lastEdge_ < swingWindow_) peak_ = std::max(peak_, a);
    }
  }
  float Peak() const { return peak_; }

 private:
  FilterSection highPass_, lowPass_;
  bool lowPassOn_;
  float decay_;
  double swingWindow_;
  float envelope_ = 0, previous_ = 0, peak_ = 0;
  bool high_ = false;
  double up_ = 0, down_ = 0, lastEdge_ = 0;
};

std::uint32_t Bits(float v) {
  std::uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// The first half-wave that differs, as text; "" when all agree.
std::string FirstDifference(const std::vector<HalfWave>& want, const std::vector<HalfWave>& got) {
  for (std::size_t i = 0; i < std::min(want.size(), got.size()); ++i) {
    if (Bits(want[i].length) != Bits(got[i].length) || want[i].end != got[i].end ||
        Bits(want[i].peak) != Bits(got[i].peak)) {
      return "half-wave " + std::to_string(i) + ": length " + std::to_string(want[i].length) + " / " +
             std::to_string(got[i].length) + ", end " + std::to_string(want[i].end) + " / " +
             std::to_string(got[i].end) + ", peak " + std::to_string(want[i].peak) + " / " +
             std::to_string(got[i].peak);
    }
  }
  if (want.size() != got.size()) {
    return "counts " + std::to_string(want.size()) + " / " + std::to_string(got.size());
  }
  return "";
}

const TapeBlock kRecord = testing::MakeDataBlock(testing::RandomBytes(40, 3));

std::vector<float> Tape(int rate) { return testing::RomSignal({kRecord}, rate, 1.0, 300, 0.05); }

std::vector<float> Sine(int rate, double seconds, double hz, float level) {
  std::vector<float> x(static_cast<std::size_t>(rate * seconds));
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = level * static_cast<float>(std::sin(2 * 3.14159265358979 * hz * static_cast<double>(i) / rate));
  }
  return x;
}

std::vector<float> Joined(std::vector<float> a, const std::vector<float>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct EdgeRow {
  const char* name;
  int rate;
  std::function<std::vector<float>(int rate)> signal;
};

class EdgeTable : public ::testing::TestWithParam<EdgeRow> {};

TEST_P(EdgeTable, GivesThePlainModelsHalfWavesInAnyBlocks) {
  const EdgeRow& row = GetParam();
  const std::vector<float> x = row.signal(row.rate);
  PlainEdges model(row.rate);
  std::vector<HalfWave> want;
  model.Process(x, want);
  // Blocks about the scan's words (8) and the filter's passes (4096), and
  // sizes that move every boundary along.
  for (std::size_t block : {std::size_t{1}, std::size_t{7}, std::size_t{8}, std::size_t{9}, std::size_t{4095},
                            std::size_t{4096}, std::size_t{4097}, std::size_t{12289}, x.size()}) {
    EdgeFinder finder(row.rate);
    std::vector<HalfWave> got;
    for (std::size_t at = 0; at < x.size(); at += block) {
      finder.Process(x.data() + at, std::min(block, x.size() - at), static_cast<std::int64_t>(at), got);
    }
    EXPECT_EQ(FirstDifference(want, got), "") << "blocks of " << block;
    EXPECT_EQ(Bits(finder.Peak()), Bits(model.Peak())) << "blocks of " << block;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, EdgeTable,
    ::testing::Values(
        EdgeRow{"tape_44100_noisy", 44100,
                [](int rate) { return testing::Noisy(testing::LowPassed(Tape(rate), 5000, rate), 12); }},
        // No low-pass at this rate: the other filter loop.
        EdgeRow{"tape_8000", 8000, [](int rate) { return Tape(rate); }},
        EdgeRow{"tape_96000_quiet", 96000, [](int rate) { return testing::Scaled(Tape(rate), 0.01f); }},
        // Hiss about the silence floor: thresholds go from the floor to the
        // envelope's share and back, edges come and go.
        EdgeRow{"hiss_at_the_floor", 22050,
                [](int rate) { return testing::Noisy(Sine(rate, 1.0, 1000, 4e-4f), 0, 5); }},
        // A half-wave every sample: an edge in every sample, none skipped.
        EdgeRow{"nyquist_square", 11025,
                [](int rate) {
                  std::vector<float> x(static_cast<std::size_t>(rate / 2));
                  for (std::size_t i = 0; i < x.size(); ++i) x[i] = i % 2 ? -0.9f : 0.9f;
                  return x;
                }},
        // Exact zeros for a long time, then a tone: the last crossing lies
        // thousands of samples back when the first edge comes.
        EdgeRow{"silence_then_tone", 44100,
                [](int rate) { return Joined(std::vector<float>(20000, 0.0f), Sine(rate, 0.2, 700, 0.5f)); }},
        // A slow swell under a small ripple: long stretches on one side, so
        // the crossing of an edge is found several passes back.
        EdgeRow{"ripple_on_a_swell", 22050,
                [](int rate) {
                  std::vector<float> x = Sine(rate, 2.0, 3, 0.8f);
                  const std::vector<float> ripple = Sine(rate, 2.0, 1500, 0.02f);
                  for (std::size_t i = 0; i < x.size(); ++i) x[i] += ripple[i];
                  return x;
                }},
        EdgeRow{"clipped_full_scale", 48000,
                [](int rate) { return testing::Scaled(Tape(rate), 4.0f); }},
        // A sample that is no number, or infinite, poisons the filters: from
        // then on no edge, in the model as here.
        EdgeRow{"not_a_number", 44100,
                [](int rate) {
                  std::vector<float> x = Tape(rate);
                  x[x.size() / 2] = std::numeric_limits<float>::quiet_NaN();
                  return x;
                }},
        EdgeRow{"infinite", 44100,
                [](int rate) {
                  std::vector<float> x = Tape(rate);
                  x[x.size() / 3] = std::numeric_limits<float>::infinity();
                  return x;
                }},
        EdgeRow{"empty", 44100, [](int) { return std::vector<float>(); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo
