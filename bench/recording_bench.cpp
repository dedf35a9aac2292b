// Preparing a recording for the decoder: a 16-bit stereo 44.1 kHz WAV of a
// tape (5 and 20 minutes), in MB of input per second, beside a plain read of
// the same file through libsndfile. Peak RSS is shown after each length: it
// must not grow with the recording (the 20-minute file runs after the 5-minute one).
// The rates are per second of CPU time, since this machine is shared.
//
// And the whole decoding as `reelo-cli decode` does it (a recording session,
// the period decoder, records into the store) of a 16-bit 44.1 kHz mono WAV of
// 5 and 45 minutes, in wall time (it reads on a second thread): the goal is
// 45 minutes in 2 s or less, with peak RSS the same as after 5 minutes.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "quiet_import_host.h"
#include "sound/import/import_state.h"
#include "sound/recording/preparation.h"
#include "sound/recording/recording_session.h"
#include "sound/recording/sound_file.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRate = 44100;
constexpr double kTStatesPerSample = 3500000.0 / kRate;

// One minute of a tape's signal: pilots, syncs and random bytes, a pause
// after each record, a little noise; left channel at half the right's level.
std::vector<float> OneMinute() {
  std::vector<float> out;
  std::mt19937 gen(5);
  std::normal_distribution<float> hiss(0.0f, 0.005f);
  double clock = 0;
  float level = 0.5f;
  auto emit = [&](double tstates) {
    while (clock < tstates) {
      const float v = level + hiss(gen);
      out.push_back(v * 0.5f);
      out.push_back(v);
      clock += kTStatesPerSample;
    }
    clock -= tstates;
    level = -level;
  };
  while (out.size() < static_cast<std::size_t>(kRate) * 2 * 60) {
    for (int i = 0; i < 3223; ++i) emit(2168);
    emit(667);
    emit(735);
    for (int byte = 0; byte < 2000; ++byte) {
      const unsigned value = gen() & 0xFF;
      for (int bit = 7; bit >= 0; --bit) {
        const double half = (value >> bit) & 1 ? 1710 : 855;
        emit(half);
        emit(half);
      }
    }
    for (int i = 0; i < kRate / 2; ++i) {
      out.push_back(hiss(gen) * 0.5f);
      out.push_back(hiss(gen));
    }
  }
  out.resize(static_cast<std::size_t>(kRate) * 2 * 60);
  return out;
}

// The recording of the given minutes, written once per process, removed at exit.
const std::string& Recording(int minutes) {
  static std::map<int, std::string> paths;
  auto& path = paths[minutes];
  if (!path.empty()) return path;
  path = (fs::temp_directory_path() / ("reelo-recording-bench-" + std::to_string(::getpid()) + "-" +
                                       std::to_string(minutes) + ".wav"))
             .string();
  static const std::vector<float> minute = OneMinute();
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) std::abort();
  for (int i = 0; i < minutes; ++i) sf_writef_float(file, minute.data(), static_cast<sf_count_t>(minute.size() / 2));
  sf_close(file);
  return path;
}

// The mono recordings written, removed at exit.
std::vector<std::string> monoWritten;

// The recording's louder channel alone, 16-bit mono, of the given minutes.
const std::string& MonoRecording(int minutes) {
  static std::map<int, std::string> paths;
  auto& path = paths[minutes];
  if (!path.empty()) return path;
  path = (fs::temp_directory_path() / ("reelo-recording-bench-" + std::to_string(::getpid()) + "-mono-" +
                                       std::to_string(minutes) + ".wav"))
             .string();
  monoWritten.push_back(path);
  static const std::vector<float> minute = [] {
    const std::vector<float> stereo = OneMinute();
    std::vector<float> right;
    for (std::size_t i = 1; i < stereo.size(); i += 2) right.push_back(stereo[i]);
    return right;
  }();
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) std::abort();
  for (int i = 0; i < minutes; ++i) sf_writef_float(file, minute.data(), static_cast<sf_count_t>(minute.size()));
  sf_close(file);
  return path;
}

std::string Prepared() { return (fs::temp_directory_path() / ("reelo-recording-bench-" + std::to_string(::getpid()) + "-p.wav")).string(); }

void Report(benchmark::State& state, const std::string& path) {
  const auto size = static_cast<std::int64_t>(fs::file_size(path));
  state.SetBytesProcessed(state.iterations() * size);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["recording_MB"] = static_cast<double>(size) / 1e6;
}

void BM_PlainRead(benchmark::State& state) {
  const std::string& path = Recording(static_cast<int>(state.range(0)));
  std::vector<float> frames;
  for (auto _ : state) {
    reelo::SoundFile file;
    if (!file.Open(path).ok()) std::abort();
    double sum = 0;
    while (file.Read(frames, 16384) > 0) sum += frames[0];
    benchmark::DoNotOptimize(sum);
  }
  Report(state, path);
}

void Prepare(benchmark::State& state, reelo::ChannelChoice channel) {
  const std::string& path = Recording(static_cast<int>(state.range(0)));
  reelo::PrepareOptions options;
  options.channel = channel;
  for (auto _ : state) {
    reelo::PrepareOutcome outcome;
    if (!reelo::PrepareRecording(path, Prepared(), options, nullptr, outcome).ok()) std::abort();
    benchmark::DoNotOptimize(outcome.samplesWritten);
  }
  Report(state, path);
}

void BM_PrepareAutoChannel(benchmark::State& state) { Prepare(state, reelo::ChannelChoice::Auto); }
void BM_PrepareLeftChannel(benchmark::State& state) { Prepare(state, reelo::ChannelChoice::Left); }

void BM_DecodeRecording(benchmark::State& state) {
  const std::string& path = MonoRecording(static_cast<int>(state.range(0)));
  std::size_t records = 0;
  for (auto _ : state) {
    reelo::RecordingSession session;
    if (!session.Open(path).ok()) std::abort();
    reelo::ImportState store;
    reelo::testing::QuietImportHost events;
    const reelo::DecodeResult result = session.Decode(reelo::SessionOptions{}, store, reelo::PulseBounds{}, events);
    if (!result.ok()) std::abort();
    records = store.loadedBlocks.size();
  }
  Report(state, path);
  state.counters["records"] = static_cast<double>(records);
}

BENCHMARK(BM_DecodeRecording)->Arg(5)->Arg(45)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainRead)->Arg(5)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareAutoChannel)->Arg(5)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareLeftChannel)->Arg(5)->Arg(20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  for (int minutes : {5, 20}) fs::remove(Recording(minutes), ec);
  for (const std::string& path : monoWritten) fs::remove(path, ec);
  fs::remove(Prepared(), ec);
  return 0;
}
