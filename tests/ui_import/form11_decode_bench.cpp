// Decoding through the load-from-WAV window, as a person runs it: the window
// shown (offscreen), the run inside the button's handler, yielding to the
// event loop and repainting the bar as it goes. Beside it the same decode with
// a host that does nothing, on the same recording. Two lengths of recording
// (about 25 and 100 MB, made by the export) show whether memory follows the
// length: the peak resident size is reset before every run and read after it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "project/progress.h"
#include "quiet_import_host.h"
#include "sound/export/wav_writer.h"
#include "sound/import/tape_decoder.h"
#include "tape_builders.h"
#include "ui/app_state.h"
#include "ui/import/form11_load_wav.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBlockData = 64000;  // about 7.7 MB of recording per block
constexpr int kShortTapeBlocks = 3;
constexpr int kLongTapeBlocks = 13;

class NoPrompts final : public reelo::Prompts {
 public:
  reelo::Answer Ask(const reelo::MessageSpec&) override { return reelo::Answer::Ok; }
  QString ChooseFile(const reelo::FileDialogSpec&) override { return {}; }
};

// Counts the paint events a widget gets.
class PaintCounter final : public QObject {
 public:
  long long paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// A data record (flag, random bytes, checksum) of kBlockData bytes of data.
reelo::TapeBlock RandomRecord(unsigned seed) {
  reelo::testing::Bytes body = reelo::testing::RandomBytes(kBlockData + 2, seed);
  body.front() = 0xFF;
  body.back() = 0;
  body.back() = reelo::testing::XorOf(body);
  return reelo::MakeRecord(body);
}

// The recordings made so far, by number of blocks.
std::map<int, std::string> made;

// The export of `blocks` random data blocks, written once per length.
const std::string& Recording(int blocks) {
  auto [it, fresh] = made.try_emplace(blocks);
  if (fresh) {
    reelo::TapeProject project;
    for (int i = 0; i < blocks; ++i) project.blocks.push_back(RandomRecord(static_cast<unsigned>(i + 1)));
    const fs::path file = fs::temp_directory_path() /
                          ("reelo-form11-bench-" + std::to_string(::getpid()) + "-" + std::to_string(blocks) + ".wav");
    reelo::NullProgress progress;
    if (!reelo::SaveWavFile(project, file.string(), progress).ok()) std::abort();
    it->second = file.string();
  }
  return it->second;
}

// Resets the process's peak resident size to what it holds now.
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

// A line of /proc/self/status in MB ("VmHWM", "VmRSS").
double StatusMB(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == key + ":") {
      double kb = 0;
      status >> kb;
      return kb / 1024.0;
    }
  }
  return 0;
}

void Report(benchmark::State& state, const std::string& recording, double peakGrowthMB) {
  state.counters["peak_rss_MB"] = StatusMB("VmHWM");
  const auto size = static_cast<std::int64_t>(fs::file_size(recording));
  state.SetBytesProcessed(state.iterations() * size);
  state.counters["recording_MB"] = static_cast<double>(size) / 1e6;
  state.counters["peak_growth_MB"] = peakGrowthMB;
}

void BM_Form11Decode(benchmark::State& state) {
  const std::string& recording = Recording(static_cast<int>(state.range(0)));
  reelo::AppState app;
  app.WavFileName = recording;
  NoPrompts prompts;
  reelo::Form11 form(app, prompts, nullptr);
  form.show();
  QApplication::processEvents();
  PaintCounter barPaints;
  form.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))->installEventFilter(&barPaints);
  auto* load = form.findChild<QPushButton*>(QStringLiteral("Command1"));
  double peakGrowth = 0;
  for (auto _ : state) {
    const double before = StatusMB("VmRSS");
    ResetPeakMemory();
    load->click();
    peakGrowth = std::max(peakGrowth, StatusMB("VmHWM") - before);
    if (app.importState.loadedBlockCount() != state.range(0)) state.SkipWithError("wrong number of records decoded");
  }
  Report(state, recording, peakGrowth);
  state.counters["bar_paints_per_run"] = static_cast<double>(barPaints.paints) / static_cast<double>(state.iterations());
}

void BM_CoreDecode(benchmark::State& state) {
  const std::string& recording = Recording(static_cast<int>(state.range(0)));
  reelo::ImportState importState;
  reelo::testing::QuietImportHost host;
  double peakGrowth = 0;
  for (auto _ : state) {
    const double before = StatusMB("VmRSS");
    ResetPeakMemory();
    if (!reelo::DecodeTape(importState, reelo::PulseBounds{}, recording, host).ok()) std::abort();
    peakGrowth = std::max(peakGrowth, StatusMB("VmHWM") - before);
  }
  Report(state, recording, peakGrowth);
}

BENCHMARK(BM_CoreDecode)->Arg(kShortTapeBlocks)->Arg(kLongTapeBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Form11Decode)->Arg(kShortTapeBlocks)->Arg(kLongTapeBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  for (const auto& [blocks, path] : made) fs::remove(path, ec);
  return 0;
}
