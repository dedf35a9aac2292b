// The period decoder on a tape's signal in memory (16-bit-like noise and a
// low-pass, 44.1 kHz mono), in samples per second of CPU time, for 5 and 45
// minutes; the 45-minute run is the length a whole cassette side takes. The
// source hands out one minute over and over, so memory stays that minute
// whatever the length; peak RSS is shown to check the decoder adds nothing.
// The decoder runs with its reading and filters on a second thread (second
// argument 1) and all in line (0); the wall time of the first is what a user
// waits. The edge finder alone, its two steps together and each on its own,
// shows where the time of a sample goes.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "sound/recording/edge_finder.h"
#include "sound/recording/signal_decoder.h"

namespace {

constexpr int kRate = 44100;

// One minute: records of 200 random bytes with 1.5 s pilots and 0.5 s pauses.
std::vector<float> OneMinute() {
  std::vector<float> out;
  std::mt19937 gen(3);
  std::normal_distribution<float> hiss(0.0f, 0.01f);
  const double samplesPerT = kRate / 3500000.0;
  double clock = 0;
  float level = 0.5f;
  auto emit = [&](double tstates) {
    clock += tstates * samplesPerT;
    while (static_cast<double>(out.size()) < clock) out.push_back(level + hiss(gen));
    level = -level;
  };
  while (out.size() < static_cast<std::size_t>(kRate * 60)) {
    for (int i = 0; i < 3000; ++i) emit(2168);
    emit(667);
    emit(735);
    for (int b = 0; b < 200 * 8; ++b) {
      const double half = gen() & 1 ? 1710 : 855;
      emit(half);
      emit(half);
    }
    clock += 0.5 * kRate;
  }
  out.resize(static_cast<std::size_t>(kRate * 60));
  float y = 0;
  for (float& v : out) v = y += 0.6f * (v - y);  // a gentle low-pass
  return out;
}

class RepeatingSource final : public reelo::SampleSource {
 public:
  RepeatingSource(const std::vector<float>& minute, std::int64_t total) : minute_(minute), total_(total) {}
  int rate() const override { return kRate; }
  std::int64_t length() const override { return total_; }
  std::size_t Read(float* out, std::size_t maxSamples) override {
    const std::size_t left = static_cast<std::size_t>(total_ - done_);
    const std::size_t n = std::min({maxSamples, left, minute_.size() - position_});
    std::copy_n(minute_.begin() + static_cast<std::ptrdiff_t>(position_), n, out);
    position_ = (position_ + n) % minute_.size();
    done_ += static_cast<std::int64_t>(n);
    return n;
  }

 private:
  const std::vector<float>& minute_;
  std::int64_t total_;
  std::int64_t done_ = 0;
  std::size_t position_ = 0;
};

class NoEvents final : public reelo::DecodeEvents {
 public:
  bool Progress(std::int64_t) override { return true; }
  void ReportLine(const std::string&) override {}
};

const std::vector<float>& Minute() {
  static const std::vector<float> minute = OneMinute();
  return minute;
}

void BM_DecodeSignal(benchmark::State& state) {
  const std::vector<float>& minute = Minute();
  const std::int64_t total = state.range(0) * 60 * kRate;
  std::size_t records = 0;
  for (auto _ : state) {
    RepeatingSource source(minute, total);
    NoEvents events;
    reelo::SignalDecodeOptions options;
    options.reportLines = false;
    options.maxRecords = 1 << 20;
    options.secondThread = state.range(1) != 0;
    records = DecodeSignal(source, events, options).records.size();
    benchmark::DoNotOptimize(records);
  }
  state.SetItemsProcessed(state.iterations() * total);
  state.counters["records"] = static_cast<double>(records);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

// The edge finder over one minute: 0 both steps in line, 1 the filters
// alone, 2 the scan alone (over what the filters left).
void BM_EdgeFinder(benchmark::State& state) {
  const std::vector<float>& minute = Minute();
  const std::size_t n = minute.size();
  std::vector<float> filtered(n);
  std::vector<std::uint8_t> flags(n);
  reelo::EdgeFilter prepared(kRate);
  prepared.Process(minute.data(), n, filtered.data(), flags.data());
  std::vector<reelo::HalfWave> halves;
  constexpr std::size_t kBlock = 16384;
  for (auto _ : state) {
    halves.clear();
    if (state.range(0) == 0) {
      reelo::EdgeFinder finder(kRate);
      for (std::size_t at = 0; at < n; at += kBlock) {
        finder.Process(minute.data() + at, std::min(kBlock, n - at), static_cast<std::int64_t>(at), halves);
      }
    } else if (state.range(0) == 1) {
      reelo::EdgeFilter filter(kRate);
      for (std::size_t at = 0; at < n; at += kBlock) {
        filter.Process(minute.data() + at, std::min(kBlock, n - at), filtered.data() + at, flags.data() + at);
      }
    } else {
      reelo::EdgeScanner scanner(kRate);
      for (std::size_t at = 0; at < n; at += kBlock) {
        scanner.Process(filtered.data() + at, flags.data() + at, std::min(kBlock, n - at),
                        static_cast<std::int64_t>(at), halves);
      }
    }
    benchmark::DoNotOptimize(halves.data());
    benchmark::DoNotOptimize(filtered.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

BENCHMARK(BM_DecodeSignal)
    ->Args({5, 1})
    ->Args({45, 1})
    ->Args({45, 0})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK(BM_DecodeSignal)->Args({45, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EdgeFinder)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
