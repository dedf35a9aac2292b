// WAV export throughput against a plain buffered write of the same number of
// bytes, and the export's peak memory (it streams, so memory must not follow
// the length of the signal).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "plain_save.h"
#include "project/tape_project.h"
#include "sound/export/signal_stream.h"
#include "sound/export/tape_signal.h"
#include "sound/export/wav_export.h"
#include "sound/export/wav_writer.h"

namespace {

constexpr std::size_t kDataBlockSize = 48 * 1024;
constexpr int kFullProjectBlocks = 20;
constexpr int kSmallProjectBlocks = 2;
constexpr std::size_t kPlainChunkSize = std::size_t{1} << 20;
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;
const char* const kWavPath = "/tmp/reelo-export-bench.wav";
const char* const kPlainPath = "/tmp/reelo-plain-bench.bin";

reelo::TapeProject DataProject(int blocks) {
  std::mt19937 gen(7);
  reelo::TapeProject project;
  for (int b = 0; b < blocks; ++b) {
    std::vector<std::uint8_t> body(kDataBlockSize + 2);
    body.front() = 0xFF;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < body.size(); ++i) {
      if (i > 0) body[i] = static_cast<std::uint8_t>(gen() & 0xFF);
      sum ^= body[i];
    }
    body.back() = sum;
    project.blocks.push_back(reelo::MakeRecord(body));
  }
  return project;
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) * 1024.0 / kBytesPerMegabyte;  // ru_maxrss is in KB
}

std::int64_t WavSize(int blocks) {
  return static_cast<std::int64_t>(reelo::kWavHeaderSize + reelo::ProjectSignalLength(DataProject(blocks)));
}

std::int64_t FullWavSize() {
  static const std::int64_t size = WavSize(kFullProjectBlocks);
  return size;
}

void BM_ExportWav(benchmark::State& state) {
  const reelo::TapeProject project = DataProject(static_cast<int>(state.range(0)));
  const auto fileSize = static_cast<std::int64_t>(reelo::kWavHeaderSize + reelo::ProjectSignalLength(project));
  reelo::NullProgress progress;
  const double peakBefore = PeakMegabytes();
  for (auto _ : state) {
    const reelo::OpResult result = reelo::SaveWavFile(project, kWavPath, progress);
    if (!result.ok()) state.SkipWithError((result.message + " " + result.detail).c_str());
  }
  state.SetBytesProcessed(state.iterations() * fileSize);
  state.counters["wav_MB"] = static_cast<double>(fileSize) / kBytesPerMegabyte;
  state.counters["peak_rss_MB"] = PeakMegabytes();
  state.counters["rss_growth_MB"] = PeakMegabytes() - peakBefore;
  std::remove(kWavPath);
}
// CPU time is the whole process's, as the system charges the file writing to it.
BENCHMARK(BM_ExportWav)
    ->Arg(kSmallProjectBlocks)
    ->Arg(kFullProjectBlocks)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The same file through the export with the player's choices (reelo-cli's
// convert to WAV), at its default options.
void BM_ExportWavOptions(benchmark::State& state) {
  const reelo::TapeProject project = DataProject(static_cast<int>(state.range(0)));
  reelo::NullProgress progress;
  for (auto _ : state) {
    const reelo::OpResult result = reelo::SaveWavFile(project, kWavPath, reelo::SignalOptions{}, progress);
    if (!result.ok()) state.SkipWithError((result.message + " " + result.detail).c_str());
  }
  state.SetBytesProcessed(state.iterations() * WavSize(static_cast<int>(state.range(0))));
  std::remove(kWavPath);
}
BENCHMARK(BM_ExportWavOptions)
    ->Arg(kSmallProjectBlocks)
    ->Arg(kFullProjectBlocks)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// A plain save of `total` bytes of rest level: written in chunks to a
// temporary file, synced and renamed over the old one, as the export saves.
void PlainSaveOfSize(benchmark::State& state, std::int64_t total) {
  const std::vector<char> chunk(kPlainChunkSize, static_cast<char>(reelo::kRestLevel));
  for (auto _ : state) {
    auto piece = [&](long long, std::size_t) { return chunk.data(); };
    if (!reelo::bench::PlainSave(kPlainPath, total, chunk.size(), piece)) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(state.iterations() * total);
  std::remove(kPlainPath);
}

// The export with choices other than the default, each a pulse-made signal:
// 0 = 44100 Hz 16-bit, 1 = the ROM's timings at 22050 Hz, 2 = 48000 Hz
// inverted; beside BM_PlainSaveOfChoice, a plain save of as many bytes.
reelo::SignalOptions Choice(std::int64_t choice) {
  switch (choice) {
    case 0:
      return {44100, 16, false, reelo::SignalTimings::Exact};
    case 1:
      return {22050, 8, false, reelo::SignalTimings::Rom};
    default:
      return {48000, 8, true, reelo::SignalTimings::Exact};
  }
}

std::int64_t ChoiceWavSize(std::int64_t choice) {
  const reelo::SignalOptions options = Choice(choice);
  return static_cast<std::int64_t>(reelo::kWavHeaderSize +
                                   reelo::ProjectSignalSamples(DataProject(kSmallProjectBlocks), options) *
                                       static_cast<std::uint64_t>(options.bitsPerSample / 8));
}

void BM_ExportWavChoice(benchmark::State& state) {
  const reelo::TapeProject project = DataProject(kSmallProjectBlocks);
  const reelo::SignalOptions options = Choice(state.range(0));
  reelo::NullProgress progress;
  for (auto _ : state) {
    const reelo::OpResult result = reelo::SaveWavFile(project, kWavPath, options, progress);
    if (!result.ok()) state.SkipWithError((result.message + " " + result.detail).c_str());
  }
  state.SetBytesProcessed(state.iterations() * ChoiceWavSize(state.range(0)));
  std::remove(kWavPath);
}
BENCHMARK(BM_ExportWavChoice)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_PlainSaveOfChoice(benchmark::State& state) { PlainSaveOfSize(state, ChoiceWavSize(state.range(0))); }
BENCHMARK(BM_PlainSaveOfChoice)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The signal alone, into a sink that drops it: what the export costs besides the file.
void BM_SignalOnly(benchmark::State& state) {
  const reelo::TapeProject project = DataProject(kFullProjectBlocks);
  for (auto _ : state) {
    reelo::SampleSink sink([](const std::uint8_t* samples, std::size_t) {
      benchmark::DoNotOptimize(samples);
      return true;
    });
    for (const auto& block : project.blocks) reelo::WriteBlockSignal(sink, block);
    sink.Flush();
    benchmark::DoNotOptimize(sink.count());
  }
  state.SetBytesProcessed(state.iterations() * FullWavSize());
}
BENCHMARK(BM_SignalOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same byte count through stdio in 1 MB chunks; with sync, also flushed to
// the disk as the export's atomic replace does before its rename.
void PlainWrite(benchmark::State& state, bool sync) {
  const std::int64_t total = FullWavSize();
  const std::vector<char> chunk(kPlainChunkSize, static_cast<char>(reelo::kRestLevel));
  for (auto _ : state) {
    std::FILE* file = std::fopen(kPlainPath, "wb");
    if (file == nullptr) {
      state.SkipWithError("cannot create the output file");
      break;
    }
    for (std::int64_t left = total; left > 0; left -= static_cast<std::int64_t>(chunk.size())) {
      const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(chunk.size())));
      if (std::fwrite(chunk.data(), 1, n, file) != n) state.SkipWithError("write failed");
    }
    if (sync && (std::fflush(file) != 0 || fsync(fileno(file)) != 0)) state.SkipWithError("sync failed");
    std::fclose(file);
  }
  state.SetBytesProcessed(state.iterations() * total);
  state.counters["peak_rss_MB"] = PeakMegabytes();
  std::remove(kPlainPath);
}

void BM_PlainWrite(benchmark::State& state) { PlainWrite(state, false); }
void BM_PlainWriteSynced(benchmark::State& state) { PlainWrite(state, true); }
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainWriteSynced)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes as the export of as many blocks replaces its file: a
// temporary file beside the target, written in 1 MB chunks, fsynced and
// renamed over it. This is the plain operation of the same durability as the
// export's.
void BM_PlainSave(benchmark::State& state) { PlainSaveOfSize(state, WavSize(static_cast<int>(state.range(0)))); }
BENCHMARK(BM_PlainSave)
    ->Arg(kSmallProjectBlocks)
    ->Arg(kFullProjectBlocks)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
