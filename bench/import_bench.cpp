// The import's runs on a recording of about 100 MB made by the WAV export:
// the pulse measurement alone, decoding and the spectrum analysis, each in MB
// of recording per second, with the file mapped and with it read into a
// buffer, beside a plain sequential read of the same file. The window is
// a do-nothing host that yields by time like the real one. Peak RSS is shown
// to make sure memory does not follow the recording's length.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "project/progress.h"
#include "quiet_import_host.h"
#include "sound/export/wav_writer.h"
#include "sound/import/import_events.h"
#include "sound/import/pulse_measure.h"
#include "sound/import/pulse_scan.h"
#include "sound/import/recording_reader.h"
#include "sound/recording/pacer.h"
#include "sound/import/pulse_histogram.h"
#include "sound/import/tape_decoder.h"

namespace {

namespace fs = std::filesystem;
using reelo::TapeBlock;

// 13 random blocks of 64000 bytes give about 13 x 64000 x 8 x 15 samples.
constexpr int kBlocks = 13;
constexpr std::size_t kBlockData = 64000;
constexpr std::size_t kReadChunk = std::size_t{1} << 20;

// The do-nothing window, with its yields counted.
class QuietHost final : public reelo::testing::QuietImportHost {
 public:
  long long yields = 0;
  bool Progress(std::int64_t) override {
    ++yields;
    return true;
  }
};

TapeBlock RandomDataBlock(unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::uint8_t> body(kBlockData + 2);
  body.front() = 0xFF;
  std::uint8_t sum = body.front();
  for (std::size_t i = 1; i + 1 < body.size(); ++i) {
    body[i] = static_cast<std::uint8_t>(gen());
    sum ^= body[i];
  }
  body.back() = sum;
  return reelo::MakeRecord(body);
}

// The recording, written once per process and removed at exit.
const std::string& Recording() {
  static const std::string path = [] {
    const fs::path file = fs::temp_directory_path() / ("reelo-import-bench-" + std::to_string(::getpid()) + ".wav");
    reelo::TapeProject project;
    for (int i = 0; i < kBlocks; ++i) project.blocks.push_back(RandomDataBlock(static_cast<unsigned>(i + 1)));
    reelo::NullProgress progress;
    if (!reelo::SaveWavFile(project, file.string(), progress).ok()) std::abort();
    return file.string();
  }();
  return path;
}

std::int64_t RecordingSize() { return static_cast<std::int64_t>(fs::file_size(Recording())); }

void ReportMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["recording_MB"] = static_cast<double>(RecordingSize()) / 1e6;
}

void BM_SequentialRead(benchmark::State& state) {
  std::vector<std::uint8_t> buffer(kReadChunk);
  for (auto _ : state) {
    const int fd = ::open(Recording().c_str(), O_RDONLY);
    std::uint64_t sum = 0;
    ssize_t n = 0;
    while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) {
      for (ssize_t i = 0; i < n; ++i) sum += buffer[static_cast<std::size_t>(i)];
    }
    ::close(fd);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * RecordingSize());
  ReportMemory(state);
}

// How the runs below read the file, by the benchmark's argument: 0 mapped
// (as the program reads), 1 copied by reads (the way before mapping, and the
// fallback where a file cannot be mapped).
reelo::FileReading ChooseReading(benchmark::State& state, int arg) {
  const bool copied = state.range(arg) == 1;
  return copied ? reelo::FileReading::Copied : reelo::FileReading::Mapped;
}

const char* ReadingName(reelo::FileReading reading) {
  return reading == reelo::FileReading::Copied ? "copied" : "mapped";
}

void BM_DecodeTape(benchmark::State& state) {
  reelo::ImportState importState;
  QuietHost host;
  const reelo::FileReading reading = ChooseReading(state, 0);
  state.SetLabel(ReadingName(reading));
  for (auto _ : state) {
    reelo::RecordingReader recording(reelo::kRecordingBufferSize, reading);
    if (!recording.Open(Recording()).ok()) std::abort();
    reelo::DecodeTape(importState, reelo::PulseBounds{}, recording, host);
    if (!recording.ReadOutcome(Recording()).ok()) std::abort();
    if (importState.loadedBlockCount() != kBlocks) state.SkipWithError("wrong number of records decoded");
  }
  state.SetBytesProcessed(state.iterations() * RecordingSize());
  state.counters["yields_per_run"] = static_cast<double>(host.yields) / static_cast<double>(state.iterations());
  ReportMemory(state);
}

void BM_AnalyseSpectrum(benchmark::State& state) {
  reelo::ImportState importState;
  QuietHost host;
  const reelo::FileReading reading = ChooseReading(state, 0);
  state.SetLabel(ReadingName(reading));
  for (auto _ : state) {
    reelo::RecordingReader recording(reelo::kRecordingBufferSize, reading);
    if (!recording.Open(Recording()).ok()) std::abort();
    reelo::AnalyseSpectrum(importState, recording, host);
    if (!recording.ReadOutcome(Recording()).ok()) std::abort();
  }
  state.SetBytesProcessed(state.iterations() * RecordingSize());
  ReportMemory(state);
}

// The level search the runs use, by its number in reelo::LevelSearch (the
// first argument); a search the processor lacks skips the benchmark.
bool ChooseSearch(benchmark::State& state) {
  const auto search = static_cast<reelo::LevelSearch>(state.range(0));
  static const char* const kNames[] = {"scalar", "sse2", "avx2"};
  state.SetLabel(std::string(kNames[state.range(0)]) + " " + ReadingName(ChooseReading(state, 1)));
  if (reelo::UseLevelSearch(search)) return true;
  state.SkipWithError("not available on this processor");
  return false;
}

// The exact decoder's pulse measurement alone, every pulse of the recording
// from the decoder's start position. In runs, as the decoder takes them: the
// pulses the cursor holds and whose ticks would do nothing in a loop of its
// own, at most a byte's eight bits at a time, every other one by a call that
// ticks the pacer (and measures ahead when nothing more is held). Otherwise
// one call per pulse, the pacer ticked at every one.
void MeasureEveryPulse(benchmark::State& state, bool inRuns) {
  if (!ChooseSearch(state)) return;
  QuietHost host;
  const reelo::FileReading reading = ChooseReading(state, 1);
  constexpr int kBits = 8;
  for (auto _ : state) {
    reelo::RecordingReader recording(reelo::kRecordingBufferSize, reading);
    if (!recording.Open(Recording()).ok()) std::abort();
    reelo::Pacer pacer = reelo::EventsPacer(host, nullptr);
    reelo::PulseCursor cursor;
    std::int64_t position = reelo::kDecodeStartPosition;
    long long sum = 0;
    int bit = 0;
    while (!inRuns && position <= recording.length()) sum += cursor.Measure(recording, position, pacer);
    while (inRuns && position <= recording.length()) {
      auto [at, last] = cursor.Quiet(recording, position, pacer);
      last = at + std::min<std::ptrdiff_t>(last - at, kBits - bit);
      bit += static_cast<int>(last - at);
      for (; at < last; ++at) sum += reelo::PulseCursor::LengthOf(*at);
      cursor.Taken(at, position);
      if (bit < kBits) {
        sum += cursor.Measure(recording, position, pacer);
        ++bit;
      }
      if (bit == kBits) bit = 0;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * RecordingSize());
  reelo::UseLevelSearch(reelo::LevelSearch::Avx2) || reelo::UseLevelSearch(reelo::LevelSearch::Sse2);
}

void BM_MeasurePulse(benchmark::State& state) { MeasureEveryPulse(state, true); }
void BM_MeasurePulseOneCall(benchmark::State& state) { MeasureEveryPulse(state, false); }

void BM_MeasurePulses(benchmark::State& state) {
  if (!ChooseSearch(state)) return;
  QuietHost host;
  const bool stop = false;
  std::vector<int> lengths(1024);
  const reelo::FileReading reading = ChooseReading(state, 1);
  for (auto _ : state) {
    reelo::RecordingReader recording(reelo::kRecordingBufferSize, reading);
    if (!recording.Open(Recording()).ok()) std::abort();
    reelo::Pacer pacer = reelo::EventsPacer(host, nullptr);
    reelo::PulseCursor cursor;
    std::int64_t position = reelo::kDecodeStartPosition;
    long long sum = 0;
    while (position <= recording.length()) {
      const int n = reelo::MeasurePulses(cursor, recording, position, pacer, stop, lengths.data(),
                                         static_cast<int>(lengths.size()));
      for (int i = 0; i < n; ++i) sum += lengths[static_cast<std::size_t>(i)];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * RecordingSize());
  reelo::UseLevelSearch(reelo::LevelSearch::Avx2) || reelo::UseLevelSearch(reelo::LevelSearch::Sse2);
}

// The search for level changes alone over the same file, span after span as
// the cursor looks at it, without handing out a pulse: the floor of the
// measurement's per-sample work.
void BM_LevelSearch(benchmark::State& state) {
  if (!ChooseSearch(state)) return;
  const reelo::FileReading reading = ChooseReading(state, 1);
  constexpr int kWords = reelo::PulseCursor::kMaxSpan / reelo::pulse_scan::kWordSamples;
  std::vector<std::uint16_t> edges(reelo::PulseCursor::kMaxSpan + reelo::pulse_scan::kSlack);
  for (auto _ : state) {
    reelo::RecordingReader recording(reelo::kRecordingBufferSize, reading);
    if (!recording.Open(Recording()).ok()) std::abort();
    const reelo::pulse_scan::EdgeFunction scan = reelo::pulse_scan::CurrentEdges();
    long long pulses = 0;
    for (std::int64_t position = 1; position <= recording.length();) {
      const reelo::SampleWindow window = recording.Window(position);
      const int words = static_cast<int>(std::min<std::int64_t>(window.count / 64, kWords));
      if (words > 0) pulses += scan(window.data, words, edges.data());
      position += words > 0 ? words * 64 : window.count;
    }
    benchmark::DoNotOptimize(pulses);
  }
  state.SetBytesProcessed(state.iterations() * RecordingSize());
  reelo::UseLevelSearch(reelo::LevelSearch::Avx2) || reelo::UseLevelSearch(reelo::LevelSearch::Sse2);
}

BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LevelSearch)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MeasurePulse)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MeasurePulseOneCall)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MeasurePulses)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeTape)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AnalyseSpectrum)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Written before the first timing, so no figure includes the export.
  Recording();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove(Recording(), ec);
  return 0;
}
