// The block list's lines and damage marks for 10 000 blocks (ten times what a
// project holds), all damaged and all sound, beside the plain lines alone as
// the floor. The window's part is timed by tests/ui/ui_block_list_bench.
#include <benchmark/benchmark.h>

#include <random>

#include "project/block_list.h"

namespace {

constexpr int kManyBlocks = 10000;
constexpr std::size_t kDataBytes = 200;

// Header and data pairs; damaged ones have their checksum off by one.
reelo::TapeProject Tape(bool damaged) {
  std::mt19937 gen(7);
  reelo::TapeProject project;
  for (int i = 0; i < kManyBlocks; ++i) {
    std::vector<std::uint8_t> body(i % 2 == 0 ? 19 : kDataBytes + 2);
    body.front() = i % 2 == 0 ? 0x00 : 0xFF;
    for (std::size_t k = 1; k + 1 < body.size(); ++k) body[k] = static_cast<std::uint8_t>(gen());
    if (i % 2 == 0) body[1] = 3;  // a Bytes header
    std::uint8_t sum = 0;
    for (std::size_t k = 0; k + 1 < body.size(); ++k) sum ^= body[k];
    body.back() = damaged ? sum ^ 1 : sum;
    project.blocks.push_back(reelo::MakeRecord(body));
  }
  return project;
}

void BM_ListEntries(benchmark::State& state) {
  const reelo::TapeProject project = Tape(state.range(0) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(reelo::BlockListEntries(project));
  state.SetItemsProcessed(state.iterations() * kManyBlocks);
}

void BM_ListLinesOnly(benchmark::State& state) {
  const reelo::TapeProject project = Tape(true);
  for (auto _ : state) benchmark::DoNotOptimize(reelo::BlockListLines(project));
  state.SetItemsProcessed(state.iterations() * kManyBlocks);
}

BENCHMARK(BM_ListEntries)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListLinesOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
