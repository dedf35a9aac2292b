// TAP loading and saving of a full-size tape (1000 records of 65535 bytes),
// beside a plain read and a plain write of the same bytes.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "plain_save.h"
#include "project/tap_file.h"

namespace {

namespace fs = std::filesystem;
constexpr int kRecords = 1000;
constexpr int kRecordLength = 65535;

// The tape of this run, removed at its end.
struct TempTape {
  fs::path path;
  ~TempTape() {
    std::error_code ignored;
    fs::remove(path, ignored);
  }
};

const fs::path& TapePath() {
  static const TempTape tape = [] {
    fs::path p = fs::temp_directory_path() / ("reelo-bench-" + std::to_string(getpid()) + ".tap");
    std::ofstream out(p, std::ios::binary);
    std::mt19937 gen(7);
    std::vector<char> record(kRecordLength + 2);
    record[0] = static_cast<char>(kRecordLength & 0xFF);
    record[1] = static_cast<char>(kRecordLength >> 8);
    for (int i = 0; i < kRecords; ++i) {
      for (std::size_t j = 2; j < record.size(); ++j) record[j] = static_cast<char>(gen());
      out.write(record.data(), static_cast<std::streamsize>(record.size()));
    }
    return TempTape{p};
  }();
  return tape.path;
}

std::int64_t TapeSize() { return static_cast<std::int64_t>(fs::file_size(TapePath())); }

// The tape's own bytes, for the plain writes: they write what a save writes.
const std::vector<char>& TapeBytes() {
  static const std::vector<char> bytes = [] {
    std::vector<char> b(static_cast<std::size_t>(TapeSize()));
    std::ifstream in(TapePath(), std::ios::binary);
    in.read(b.data(), static_cast<std::streamsize>(b.size()));
    return b;
  }();
  return bytes;
}

// The file read into freshly allocated memory, as loading must, with one
// read of the file's size: the cost of the kernel handing out new pages
// belongs to both figures.
void BM_PlainRead(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(TapeSize());
  for (auto _ : state) {
    std::unique_ptr<char[]> buffer(new char[size]);
    std::FILE* f = std::fopen(TapePath().c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(buffer.get(), 1, size, f));
    std::fclose(f);
  }
  state.SetBytesProcessed(state.iterations() * TapeSize());
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

void BM_LoadTapFile(benchmark::State& state) {
  reelo::NullProgress progress;
  for (auto _ : state) {
    reelo::TapeProject project;
    auto result = reelo::LoadTapFile(project, TapePath().string(), progress);
    if (project.blockCount() != kRecords || !result.ok()) state.SkipWithError("load failed");
  }
  state.SetBytesProcessed(state.iterations() * TapeSize());
}
BENCHMARK(BM_LoadTapFile)->Unit(benchmark::kMillisecond);

// A plain write of the tape's bytes from one buffer, in one call, over the
// same file each time, flushed to the disk like a save is.
void BM_PlainWrite(benchmark::State& state) {
  const std::vector<char>& buffer = TapeBytes();
  const fs::path out = TapePath().string() + ".plain";
  for (auto _ : state) {
    std::FILE* f = std::fopen(out.c_str(), "wb");
    std::fwrite(buffer.data(), 1, buffer.size(), f);
    std::fflush(f);
    fsync(fileno(f));
    std::fclose(f);
  }
  fs::remove(out);
  state.SetBytesProcessed(state.iterations() * TapeSize());
}
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);

// The same bytes as a save replaces its file: a temporary file beside the
// target, fsynced and renamed over it (the plain operation of the same
// durability; BM_PlainWrite overwrites in place and promises less).
// The tape's bytes, from one buffer in one call.
void BM_PlainSave(benchmark::State& state) {
  const std::vector<char>& bytes = TapeBytes();
  const std::string target = TapePath().string() + ".plain";
  for (auto _ : state) {
    auto piece = [&](long long offset, std::size_t) { return bytes.data() + offset; };
    if (!reelo::bench::PlainSave(target, TapeSize(), bytes.size(), piece)) state.SkipWithError("save failed");
  }
  fs::remove(target);
  state.SetBytesProcessed(state.iterations() * TapeSize());
}
BENCHMARK(BM_PlainSave)->Unit(benchmark::kMillisecond);

void BM_SaveTapFile(benchmark::State& state) {
  reelo::NullProgress progress;
  reelo::TapeProject project;
  reelo::LoadTapFile(project, TapePath().string(), progress);
  project.fileName = TapePath().string() + ".saved";
  for (auto _ : state) {
    if (!reelo::SaveTapFile(project, progress).ok()) state.SkipWithError("save failed");
  }
  fs::remove(project.fileName);
  state.SetBytesProcessed(state.iterations() * TapeSize());
}
BENCHMARK(BM_SaveTapFile)->Unit(benchmark::kMillisecond);

// Peak memory of loading, measured in a child process so that nothing else
// this program allocated counts: the growth of the peak resident size while
// loading, as a share of the file size.
void BM_LoadPeakMemory(benchmark::State& state) {
  double ratio = 0;
  for (auto _ : state) {
    int fds[2];
    if (pipe(fds) != 0) state.SkipWithError("pipe");
    pid_t child = fork();
    if (child == 0) {
      rusage before{};
      getrusage(RUSAGE_SELF, &before);
      reelo::TapeProject project;
      reelo::NullProgress progress;
      reelo::LoadTapFile(project, TapePath().string(), progress);
      rusage after{};
      getrusage(RUSAGE_SELF, &after);
      double grown = static_cast<double>(after.ru_maxrss - before.ru_maxrss) * 1024.0;
      double r = grown / static_cast<double>(TapeSize());
      [[maybe_unused]] auto n = write(fds[1], &r, sizeof r);
      _exit(0);
    }
    close(fds[1]);
    [[maybe_unused]] auto n = read(fds[0], &ratio, sizeof ratio);
    close(fds[0]);
    waitpid(child, nullptr, 0);
  }
  state.counters["peak_over_file_size"] = ratio;
}
BENCHMARK(BM_LoadPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
