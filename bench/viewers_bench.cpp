// The block viewers on their largest inputs, each beside a plain copy of the
// same bytes as the floor: the text view and dump of a 65535-byte record, the
// listing of a 40 KB program, and the screen decode with a full 2 x 2 paint
// into a 512 x 384 image.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "project/progress.h"
#include "viewers/basic_listing.h"
#include "viewers/dump_view.h"
#include "viewers/screen_view.h"
#include "viewers/text_view.h"

namespace {

using reelo::TapeBlock;

constexpr std::size_t kLargestData = 65533;
constexpr std::size_t kProgramBytes = 40 * 1024;
constexpr int kPixelScale = 2;

TapeBlock RecordOf(const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> body(data.size() + 2);
  body.front() = 0xFF;
  std::copy(data.begin(), data.end(), body.begin() + 1);
  std::uint8_t sum = 0;
  for (auto b : body) sum ^= b;
  body.back() = sum;
  return reelo::MakeRecord(body);
}

std::vector<std::uint8_t> RandomData(std::size_t n) {
  std::mt19937 gen(42);
  std::vector<std::uint8_t> data(n);
  for (auto& b : data) b = static_cast<std::uint8_t>(gen());
  return data;
}

// A program of typical lines (keywords, strings, numbers with their stored
// forms) up to about 40 KB.
TapeBlock LargeProgram() {
  const std::vector<std::uint8_t> body = {0xF5, '"', 'S', 'C', 'O', 'R', 'E', '"', ';', 's', ';', 0xAC, '1', '0', ',',
                                          '5', 0x0E, 0x00, 0x00, 0x05, 0x00, 0x00, ':', 0xFA, 's', 0xC8, '1',
                                          '0',  0x0E, 0x00, 0x00, 0x0A, 0x00, 0x00, 0xCB, 0xEC, '2', 0x0D};
  std::vector<std::uint8_t> data;
  for (int line = 1; data.size() + body.size() + 4 <= kProgramBytes; ++line) {
    data.insert(data.end(), {static_cast<std::uint8_t>(line >> 8), static_cast<std::uint8_t>(line & 0xFF),
                             static_cast<std::uint8_t>(body.size()), 0});
    data.insert(data.end(), body.begin(), body.end());
  }
  return RecordOf(data);
}

void CopyBytes(benchmark::State& state, const TapeBlock& block) {
  for (auto _ : state) {
    std::string copy(block.begin(), block.end());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * block.size()));
}

void BM_TextView(benchmark::State& state) {
  const TapeBlock block = RecordOf(RandomData(kLargestData));
  reelo::NullProgress progress;
  for (auto _ : state) benchmark::DoNotOptimize(reelo::BuildTextView(block, progress));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * block.size()));
}

void BM_DumpView(benchmark::State& state) {
  const TapeBlock block = RecordOf(RandomData(kLargestData));
  reelo::NullProgress progress;
  for (auto _ : state) benchmark::DoNotOptimize(reelo::BuildDumpView(block, progress));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * block.size()));
}

void BM_CopyLargestRecord(benchmark::State& state) { CopyBytes(state, RecordOf(RandomData(kLargestData))); }

void BM_BasicListing(benchmark::State& state) {
  const TapeBlock block = LargeProgram();
  for (auto _ : state) benchmark::DoNotOptimize(reelo::BuildBasicListing(block));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * block.size()));
}

void BM_SpectrumListing(benchmark::State& state) {
  const TapeBlock block = LargeProgram();
  for (auto _ : state) benchmark::DoNotOptimize(reelo::BuildSpectrumListing(block));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * block.size()));
}

// The listing with every hidden byte as a mark, on the program and on data
// that is no program (every byte in a mark).
void BM_MarkedListing(benchmark::State& state) {
  const TapeBlock block = state.range(0) ? LargeProgram() : RecordOf(RandomData(kLargestData));
  for (auto _ : state) benchmark::DoNotOptimize(reelo::BuildMarkedListing(block));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * block.size()));
}

void BM_CopyProgram(benchmark::State& state) { CopyBytes(state, LargeProgram()); }

void BM_ScreenDecode(benchmark::State& state) {
  const TapeBlock block = RecordOf(RandomData(reelo::kScreenBytes));
  for (auto _ : state) benchmark::DoNotOptimize(reelo::DecodeScreen(block));
}

// Decoding and painting every pixel as a 2 x 2 square, column by column, as the
// screen window does, into a plain image instead of a window surface.
void BM_ScreenDecodeAndPaint(benchmark::State& state) {
  const TapeBlock block = RecordOf(RandomData(reelo::kScreenBytes));
  const int width = reelo::kScreenWidth * kPixelScale;
  std::vector<std::uint32_t> image(static_cast<std::size_t>(width * reelo::kScreenHeight * kPixelScale));
  for (auto _ : state) {
    const reelo::ScreenPicture picture = reelo::DecodeScreen(block);
    for (int x = 0; x < reelo::kScreenWidth; ++x) {
      for (int y = 0; y < reelo::kScreenHeight; ++y) {
        const std::uint32_t colour = reelo::ScreenPixelColour(picture, x, y);
        for (int dy = 0; dy < kPixelScale; ++dy)
          for (int dx = 0; dx < kPixelScale; ++dx)
            image[static_cast<std::size_t>((kPixelScale * y + dy) * width + kPixelScale * x + dx)] = colour;
      }
    }
    benchmark::DoNotOptimize(image.data());
  }
}

void BM_CopyScreen(benchmark::State& state) { CopyBytes(state, RecordOf(RandomData(reelo::kScreenBytes))); }

BENCHMARK(BM_TextView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpectrumListing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MarkedListing)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DumpView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyLargestRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BasicListing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyProgram)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenDecodeAndPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyScreen)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
