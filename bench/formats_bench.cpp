// TZX load and save of a 1000-block tape against a plain read and write of
// the same bytes (the goal: loading at 80% of a plain read or better, saving
// at half the plain write or better).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "formats/tape_file.h"
#include "formats/tzx_file.h"

namespace {

using reelo::TapeBlock;
using reelo::TapeProject;

// Four shapes of 1000 blocks: a mixed one (500 headers, each followed by a
// data block of 100 to 20000 bytes), where the cost per block counts more, a
// full-size tape (every record 65535 bytes, as the TAP benchmark uses), the
// mixed one as a game tape has it (turbo headers, data blocks with pauses of
// their own, and every tenth pair a text block and a pure tone instead), and
// one of short data blocks (100 to 2000 bytes), where the cost per block is
// most of the load.
enum Shape { kMixed = 0, kFullSize = 1, kKinds = 2, kShort = 3 };

std::shared_ptr<const reelo::KeptFields> Kept(std::uint8_t id, std::vector<std::uint8_t> head) {
  return std::make_shared<const reelo::KeptFields>(reelo::KeptFields{id, std::move(head)});
}

TapeProject ThousandBlocks(Shape shape) {
  namespace tzx = reelo::tzx;
  TapeProject project;
  std::mt19937 gen(7);
  for (int i = 0; i < 1000; ++i) {
    const bool header = shape != kFullSize && i % 2 == 0;
    std::vector<std::uint8_t> body(shape == kFullSize ? 65535
                                   : header          ? 19
                                   : shape == kShort ? 100 + gen() % 1900
                                                     : 100 + gen() % 19900);
    for (auto& b : body) b = static_cast<std::uint8_t>(gen());
    if (header) body[0] = 0;
    TapeBlock block = reelo::MakeRecord(body);
    if (shape == kKinds && i % 20 == 0) {
      block = TapeBlock({}, Kept(tzx::kText, {8, 'L', 'o', 'a', 'd', 'i', 'n', 'g', '.'}));
    } else if (shape == kKinds && i % 20 == 1) {
      block = TapeBlock({}, Kept(tzx::kPureTone, {0x78, 0x08, 0xA0, 0x0F}));
    } else if (shape == kKinds && header) {
      block.kept = Kept(tzx::kTurbo, {0x78, 0x08, 0x9B, 0x02, 0xDF, 0x02, 0x57, 0x03, 0xAE, 0x06, 0x97, 0x0C, 8,
                                      0xF4, 0x01});
    } else if (shape == kKinds) {
      block.kept = Kept(tzx::kStandard, {0xD0, 0x07});
    }
    project.blocks.push_back(std::move(block));
  }
  return project;
}

// This run's own folder (other runs may measure at the same time), removed at
// the end.
struct BenchFolder {
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("reelo-formats-bench-" + std::to_string(getpid()));
  ~BenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};
const BenchFolder benchFolder;
const std::filesystem::path& kFolder = benchFolder.path;

std::string WriteTape(Shape shape) {
  static const char* const kNames[] = {"mixed.tzx", "full.tzx", "kinds.tzx", "short.tzx"};
  std::filesystem::create_directories(kFolder);
  TapeProject project = ThousandBlocks(shape);
  project.fileName = (kFolder / kNames[shape]).string();
  reelo::NullProgress progress;
  reelo::SaveTapeFile(project, progress);
  return project.fileName;
}

std::string TzxPath(std::int64_t shape) {
  static const std::string paths[4] = {WriteTape(kMixed), WriteTape(kFullSize), WriteTape(kKinds), WriteTape(kShort)};
  return paths[shape];
}

void BM_TzxLoad(benchmark::State& state) {
  const std::string path = TzxPath(state.range(0));
  reelo::NullProgress progress;
  for (auto _ : state) {
    TapeProject project;
    reelo::LoadTapeFile(project, path, progress);
    benchmark::DoNotOptimize(project.blocks.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

// The TZX reader alone, the file read whole (records view the one buffer),
// mapped (each block copied once, from the file's pages) or read a chunk at
// a time (copied into the chunk, then into the block), all in the same run:
// argument 1 is 0 for whole, 1 for mapped, 2 for read.
void BM_TzxBlocks(benchmark::State& state) {
  const std::string path = TzxPath(state.range(0));
  const auto access = static_cast<reelo::FileAccess>(state.range(1));
  const auto size = std::filesystem::file_size(path);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    reelo::TzxKinds read = reelo::ReadTzxKinds(fd, size, reelo::kMaxBlocks, false, {}, access);
    ::close(fd);
    benchmark::DoNotOptimize(read.blocks.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

void BM_PlainRead(benchmark::State& state) {
  const std::string path = TzxPath(state.range(0));
  const auto size = std::filesystem::file_size(path);
  for (auto _ : state) {
    // The buffer is fresh pages only the first time: once a block this large
    // has been freed, the allocator keeps such blocks on its heap, and the
    // next comes warm from there, as the load's blocks come from the blocks
    // the previous load freed.
    std::unique_ptr<char[]> bytes(new char[size]);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(bytes.get(), 1, size, f));
    std::fclose(f);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

// What one heap vector per block costs beyond a plain read, whatever the
// reader does: the file's bytes, already in memory, copied into vectors of
// the sizes the load gives its blocks, then freed. A load does this and reads
// the file besides.
void BM_CopyIntoBlocks(benchmark::State& state) {
  const std::string path = TzxPath(state.range(0));
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  TapeProject loaded;
  reelo::NullProgress progress;
  reelo::LoadTapeFile(loaded, path, progress);
  std::vector<std::size_t> sizes;
  for (const TapeBlock& block : loaded.blocks) sizes.push_back(block.size());
  for (auto _ : state) {
    std::vector<TapeBlock> blocks;
    blocks.reserve(sizes.size());
    std::size_t at = 0;
    for (const std::size_t size : sizes) {
      blocks.emplace_back(bytes.data() + at, bytes.data() + at + size);
      at += size;
    }
    benchmark::DoNotOptimize(blocks.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void BM_TzxSave(benchmark::State& state) {
  TapeProject project = ThousandBlocks(static_cast<Shape>(state.range(0)));
  project.fileName = (kFolder / "saved.tzx").string();
  reelo::NullProgress progress;
  std::filesystem::create_directories(kFolder);
  for (auto _ : state) reelo::SaveTapeFile(project, progress);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(project.fileName)));
}

// The same bytes written plainly, replaced the same way (temporary file,
// flushed to the disk, renamed), so only the format's own cost differs.
void BM_PlainWrite(benchmark::State& state) {
  const std::string path = TzxPath(state.range(0));
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

// Argument 0: the mixed tape, 1: the full-size tape, 2: the mixed tape of kinds, 3: short blocks.
BENCHMARK(BM_TzxLoad)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TzxBlocks)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({2, 0})
    ->Args({2, 1})
    ->Args({2, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyIntoBlocks)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TzxSave)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWrite)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
