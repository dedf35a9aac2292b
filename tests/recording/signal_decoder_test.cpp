// The prepared path's decoder on signals made in code: the ROM's signal at
// several rates and speeds, with drift and wow inside a block, noise, and
// sounds that are not a tape at all.
#include "sound/recording/signal_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "recording_builders.h"

namespace reelo {
namespace {

using testing::RomSignal;

class MemorySource final : public SampleSource {
 public:
  MemorySource(std::vector<float> samples, int rate) : samples_(std::move(samples)), rate_(rate) {}
  int rate() const override { return rate_; }
  std::int64_t length() const override { return static_cast<std::int64_t>(samples_.size()); }
  std::size_t Read(float* out, std::size_t maxSamples) override {
    const std::size_t n = std::min(maxSamples, samples_.size() - position_);
    std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position_), n, out);
    position_ += n;
    return n;
  }

 private:
  std::vector<float> samples_;
  int rate_;
  std::size_t position_ = 0;
};

class Events final : public DecodeEvents {
 public:
  bool Progress(std::int64_t) override { return ++calls_ <= stopAfter_; }
  void ReportLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
  int stopAfter_ = 1 << 30;

 private:
  int calls_ = 0;
};

// A TAP record (with its length field) of flag and data, checksum computed.
TapeBlock MakeRecord(std::uint8_t flag, const std::vector<std::uint8_t>& data) {
  TapeBlock block;
  const std::size_t length = data.size() + 2;
  block.push_back(static_cast<std::uint8_t>(length & 0xFF));
  block.push_back(static_cast<std::uint8_t>(length >> 8));
  block.push_back(flag);
  std::uint8_t x = flag;
  for (std::uint8_t b : data) {
    block.push_back(b);
    x ^= b;
  }
  block.push_back(x);
  return block;
}

std::vector<std::uint8_t> Body(const TapeBlock& block) { return {block.begin() + 2, block.end()}; }

std::vector<std::uint8_t> Bytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::uint8_t> out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(gen());
  return out;
}

const TapeBlock kHeader = MakeRecord(0x00, {0x03, 'r', 'e', 'e', 'l', 'o', ' ', ' ', ' ', ' ', ' ', 0x2C, 0x01,
                                            0x00, 0x80, 0x00, 0x80});
const TapeBlock kData = MakeRecord(0xFF, Bytes(300, 5));

// Plays a signal with a speed that changes over time (1 = as made).
std::vector<float> Warped(const std::vector<float>& x, const std::function<double(double)>& speedAt, int rate) {
  std::vector<float> out;
  double position = 0;
  while (position + 1 < static_cast<double>(x.size())) {
    const auto i = static_cast<std::size_t>(position);
    const double f = position - static_cast<double>(i);
    out.push_back(static_cast<float>(x[i] * (1 - f) + x[i + 1] * f));
    position += speedAt(static_cast<double>(out.size()) / rate);
  }
  return out;
}

struct SignalRow {
  const char* name;
  int rate;
  double speed;            // of the whole recording
  double driftPerSecond;   // speed change inside the recording
  double wowDepth;         // share, at 0.7 Hz
  double lowPassHz;        // 0: none
  double snrDb;            // 0: no noise
  float gain;
  float offset;
};

class DecodeSignalTable : public ::testing::TestWithParam<SignalRow> {};

TEST_P(DecodeSignalTable, GivesTheRecordsExactly) {
  const SignalRow& row = GetParam();
  std::vector<float> x = RomSignal({kHeader, kData}, row.rate, row.speed, 1200, 0.3);
  if (row.driftPerSecond != 0 || row.wowDepth != 0) {
    x = Warped(x, [&](double t) { return 1 + row.driftPerSecond * t + row.wowDepth * std::sin(2 * 3.14159 * 0.7 * t); },
               row.rate);
  }
  if (row.lowPassHz > 0) x = testing::LowPassed(x, row.lowPassHz, row.rate);
  x = testing::Scaled(x, row.gain, row.offset);
  if (row.snrDb > 0) x = testing::Noisy(x, row.snrDb);
  MemorySource source(x, row.rate);
  Events events;
  const SignalDecodeResult result = DecodeSignal(source, events);
  ASSERT_EQ(result.records.size(), 2u);
  EXPECT_EQ(result.records[0].bytes, Body(kHeader));
  EXPECT_EQ(result.records[1].bytes, Body(kData));
  EXPECT_TRUE(result.records[0].checksumOk);
  EXPECT_TRUE(result.records[1].checksumOk);
  EXPECT_EQ(result.records[1].confidence.size(), 302u * 8);
  EXPECT_FALSE(result.stopped);
  EXPECT_FALSE(result.storeFull);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, DecodeSignalTable,
    ::testing::Values(SignalRow{"clean_44100", 44100, 1.0, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"clean_22050", 22050, 1.0, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"clean_11025", 11025, 1.0, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"clean_8000", 8000, 1.0, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"clean_96000", 96000, 1.0, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"slow_8_percent", 44100, 0.92, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"fast_8_percent", 44100, 1.08, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"drift_6_percent_in_block", 44100, 1.0, 0.02, 0, 0, 0, 0.5f, 0},
                      SignalRow{"wow_3_percent", 44100, 1.0, 0, 0.03, 0, 0, 0.5f, 0},
                      SignalRow{"lowpass_3k_22050", 22050, 1.0, 0, 0, 3000, 0, 0.5f, 0},
                      SignalRow{"quiet_36db_offset", 22050, 1.0, 0, 0, 0, 0, 0.016f, 0.2f},
                      SignalRow{"noise_12db_lowpass", 44100, 1.0, 0, 0, 4000, 12, 0.5f, 0},
                      SignalRow{"inverted", 44100, 1.0, 0, 0, 0, 0, -0.5f, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo
