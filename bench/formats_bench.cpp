// TZX load and save of a 1000-block tape against a plain read and write of
// the same bytes (the goal: the TZX paths at half that speed or better).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include "formats/tape_file.h"

namespace {

using reelo::TapeBlock;
using reelo::TapeProject;

// Two shapes of 1000 blocks: a full-size tape (every record 65535 bytes, as
// the TAP benchmark uses) and a mixed one (500 headers, each followed by a
// data block of 100 to 20000 bytes), where the cost per block counts more.
TapeProject ThousandBlocks(bool fullSize) {
  TapeProject project;
  std::mt19937 gen(7);
  for (int i = 0; i < 1000; ++i) {
    const bool header = !fullSize && i % 2 == 0;
    std::vector<std::uint8_t> body(fullSize ? 65535 : header ? 19 : 100 + gen() % 19900);
    for (auto& b : body) b = static_cast<std::uint8_t>(gen());
    if (header) body[0] = 0;
    project.blocks.push_back(reelo::MakeRecord(body));
  }
  return project;
}

const std::filesystem::path kFolder = std::filesystem::temp_directory_path() / "reelo-formats-bench";

std::string WriteTape(bool fullSize) {
  std::filesystem::create_directories(kFolder);
  TapeProject project = ThousandBlocks(fullSize);
  project.fileName = (kFolder / (fullSize ? "full.tzx" : "mixed.tzx")).string();
  reelo::NullProgress progress;
  reelo::SaveTapeFile(project, progress);
  return project.fileName;
}

std::string TzxPath(bool fullSize) {
  static const std::string paths[2] = {WriteTape(false), WriteTape(true)};
  return paths[fullSize ? 1 : 0];
}

void BM_TzxLoad(benchmark::State& state) {
  const std::string path = TzxPath(state.range(0) != 0);
  reelo::NullProgress progress;
  for (auto _ : state) {
    TapeProject project;
    reelo::LoadTapeFile(project, path, progress);
    benchmark::DoNotOptimize(project.blocks.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void BM_PlainRead(benchmark::State& state) {
  const std::string path = TzxPath(state.range(0) != 0);
  const auto size = std::filesystem::file_size(path);
  for (auto _ : state) {
    // Fresh memory, as loading must take: the kernel's cost of new pages
    // belongs to both figures.
    std::unique_ptr<char[]> bytes(new char[size]);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(bytes.get(), 1, size, f));
    std::fclose(f);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

void BM_TzxSave(benchmark::State& state) {
  TapeProject project = ThousandBlocks(state.range(0) != 0);
  project.fileName = (kFolder / "saved.tzx").string();
  reelo::NullProgress progress;
  std::filesystem::create_directories(kFolder);
  for (auto _ : state) reelo::SaveTapeFile(project, progress);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(project.fileName)));
}

// The same bytes written plainly, replaced the same way (temporary file,
// flushed to the disk, renamed), so only the format's own cost differs.
void BM_PlainWrite(benchmark::State& state) {
  const std::string path = TzxPath(state.range(0) != 0);
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string target = (kFolder / "plain.bin").string();
  for (auto _ : state) {
    const std::string temp = target + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fflush(f);
    fsync(fileno(f));
    std::fclose(f);
    std::rename(temp.c_str(), target.c_str());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

// Argument 0: the mixed tape, 1: the full-size tape.
BENCHMARK(BM_TzxLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TzxSave)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
