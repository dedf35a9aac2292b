// What making the tape's sound costs while the deck plays it: the generator
// read the way a sound card asks for it (a 20 ms period at a time), as a share
// of one core against the time the sound lasts. Goal: under 1 % at 22050 Hz.
//   core_% = CPU time spent / length of the sound made, in percent.
// Also through the deck's own source, as a sound output pulls it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <ctime>
#include <random>
#include <vector>

#include "project/tape_project.h"
#include "sound/export/signal_stream.h"

#if REELO_BENCH_DECK
#include "sound/playback/audio_output.h"
#include "sound/playback/tape_player.h"
#endif

namespace {

constexpr int kPeriodMilliseconds = 20;  // what a sound server asks for at a time
constexpr std::size_t kDataBlockSize = 48 * 1024;
constexpr double kPercent = 100.0;

reelo::TapeProject DataProject(int blocks, std::size_t size) {
  std::mt19937 gen(11);
  reelo::TapeProject project;
  for (int b = 0; b < blocks; ++b) {
    std::vector<std::uint8_t> body(size + 2);
    body.front() = 0xFF;
    std::uint8_t sum = 0xFF;
    for (std::size_t i = 1; i + 1 < body.size(); ++i) {
      body[i] = static_cast<std::uint8_t>(gen() & 0xFF);
      sum ^= body[i];
    }
    body.back() = sum;
    project.blocks.push_back(reelo::MakeRecord(body));
  }
  return project;
}

reelo::SignalOptions Options(const benchmark::State& state) {
  reelo::SignalOptions options;
  options.sampleRate = static_cast<int>(state.range(0));
  options.bitsPerSample = static_cast<int>(state.range(1));
  options.timings = state.range(2) != 0 ? reelo::SignalTimings::Rom : reelo::SignalTimings::Exact;
  return options;
}

// CPU time of this thread, in seconds.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// core_%: the CPU time the loop took over the length of the sound it made.
void ReportShare(benchmark::State& state, std::uint64_t samples, int sampleRate, double cpuSeconds) {
  const double soundSeconds = static_cast<double>(samples) / sampleRate;
  state.counters["core_%"] = soundSeconds > 0 ? cpuSeconds / soundSeconds * kPercent : 0;
  state.SetItemsProcessed(static_cast<std::int64_t>(samples));
}

void BM_GeneratorPeriods(benchmark::State& state) {
  const reelo::TapeProject project = DataProject(4, kDataBlockSize);
  const reelo::SignalOptions options = Options(state);
  const std::size_t period = static_cast<std::size_t>(options.sampleRate * kPeriodMilliseconds / 1000);
  reelo::TapeSignalStream stream(project, options);
  const auto bytesPerSample = static_cast<std::size_t>(stream.bytesPerSample());
  std::vector<std::uint8_t> buffer(period * bytesPerSample);
  std::uint64_t samples = 0;
  const double cpuStart = ThreadSeconds();
  for (auto _ : state) {
    std::size_t done = 0;
    while (done < period) {
      const std::size_t n = stream.Read(buffer.data() + done * bytesPerSample, period - done);
      if (n == 0) stream.SeekBlock(0);  // round again
      done += n;
    }
    samples += done;
    benchmark::DoNotOptimize(buffer.data());
  }
  ReportShare(state, samples, options.sampleRate, ThreadSeconds() - cpuStart);
}
BENCHMARK(BM_GeneratorPeriods)
    ->ArgNames({"rate", "bits", "rom"})
    ->Args({22050, 8, 0})
    ->Args({22050, 8, 1})
    ->Args({48000, 16, 1});

#if REELO_BENCH_DECK
// An output that plays nothing: the benchmark pulls the samples itself.
class SilentOutput : public reelo::AudioOutput {
 public:
  std::string Start(reelo::PlaybackSource& source, const reelo::AudioFormat&) override {
    source_ = &source;
    return {};
  }
  void Suspend() override {}
  void Resume() override {}
  void Stop() override { source_ = nullptr; }
  std::uint64_t PlayedSamples() const override { return 0; }
  void SetVolume(double) override {}
  reelo::PlaybackSource* source() const { return source_; }

 private:
  reelo::PlaybackSource* source_ = nullptr;
};

// Through the deck, with the most blocks a project holds (the edit check
// before each read looks at every block).
void BM_DeckPeriods(benchmark::State& state) {
  const reelo::TapeProject project = DataProject(reelo::kMaxBlocks, 512);
  const int rate = 22050;
  const std::size_t period = rate * kPeriodMilliseconds / 1000;
  SilentOutput output;
  reelo::TapePlayer deck(project, output);
  deck.Play(0);
  std::vector<std::uint8_t> buffer(period);
  std::uint64_t samples = 0;
  const double cpuStart = ThreadSeconds();
  for (auto _ : state) {
    std::size_t got = output.source() ? output.source()->Read(buffer.data(), period) : 0;
    if (got == 0) {
      deck.Play(0);  // round again
      got = output.source()->Read(buffer.data(), period);
    }
    samples += static_cast<std::uint64_t>(got);
    benchmark::DoNotOptimize(buffer.data());
  }
  ReportShare(state, samples, rate, ThreadSeconds() - cpuStart);
}
BENCHMARK(BM_DeckPeriods);
#endif

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
