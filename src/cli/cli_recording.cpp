// reelo-cli decode and analyse: a recording prepared, its bounds fitted and
// decoded as the load-from-WAV window does, with every bad-signal question
// answered "Шум".
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "cli/commands.h"
#include "project/checksum.h"
#include "sound/import/import_host.h"
#include "sound/import/loaded_blocks.h"
#include "sound/import/spectrum_analysis.h"
#include "sound/import/tape_decoder.h"
#include "sound/recording/fitted_bounds.h"

namespace reelo::cli {
namespace {

constexpr int kBarWidth = 30;
constexpr std::size_t kMaxTakes = 16;

// The prepared path without bounds given by hand reads the recording with the
// period decoder; bounds, --exact and --no-prepare keep the pulse decoder.
bool UsesPeriodDecoder(const RecordingDecodeOptions& options) { return options.prepare && !options.bounds; }

// The window's part in a run, for the command line: report lines on out, a
// bar on err when that is a terminal, every question answered "Шум".
class CliHost final : public ImportHost, public PrepareProgress {
 public:
  CliHost(Io& io, bool report) : io_(io), report_(report) {}
  ~CliHost() override { EndBar(); }

  void Yield() override {}
  void LockImportControls() override {}
  void UnlockImportControls() override { EndBar(); }
  void SetProgressMaximum(std::int64_t maximum) override { maximum_ = maximum; }
  void ShowImportProgress(std::int64_t position) override { DrawBar(position); }
  void FinishImportRun() override { EndBar(); }
  void SetStatusText(const std::string& text) override { label_ = text; }
  void ClearReport() override {}
  void AddReportLine(const std::string& line) override {
    if (!report_) return;
    EndBar();
    io_.out << line << '\n';
  }
  void DrawSpectrum() override {}
  QuestionReply AskBadSignal(std::int64_t, int, const RecordingReader&) override { return QuestionReply::Noise; }

  void Begin(const std::string& label, std::int64_t total) override {
    label_ = label;
    maximum_ = total;
  }
  bool Advance(std::int64_t done) override {
    DrawBar(done);
    return true;
  }

 private:
  void DrawBar(std::int64_t value) {
    if (!io_.errIsTerminal || maximum_ <= 0) return;
    const int filled = static_cast<int>(std::min<std::int64_t>(value, maximum_) * kBarWidth / maximum_);
    io_.err << '\r' << label_ << " [" << std::string(static_cast<std::size_t>(filled), '#')
            << std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') << "] "
            << std::min<std::int64_t>(value, maximum_) * 100 / maximum_ << "% " << std::flush;
    barShown_ = true;
  }
  void EndBar() {
    if (!barShown_) return;
    io_.err << "\r\033[K" << std::flush;
    barShown_ = false;
  }

  Io& io_;
  bool report_;
  std::string label_;
  std::int64_t maximum_ = 0;
  bool barShown_ = false;
};

// The prepared copy lives in the temporary folder while the command runs.
class TempRecording {
 public:
  TempRecording() {
    static int counter = 0;
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec) dir = "/tmp";
    path_ = (dir / ("reelo-cli-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".wav")).string();
  }
  ~TempRecording() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  TempRecording(const TempRecording&) = delete;
  TempRecording& operator=(const TempRecording&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string BoundsText(const PulseBounds& bounds) {
  std::string text;
  for (int i = 0; i < PulseBounds::kCount; ++i) text += (i ? "," : "") + std::to_string(bounds[i]);
  return text;
}

bool ParseBounds(const std::string& text, PulseBounds& bounds) {
  std::stringstream in(text);
  std::string item;
  int i = 0;
  while (std::getline(in, item, ',')) {
    long long value = 0;
    if (i >= PulseBounds::kCount || !ParseNumber(item, PulseBounds::kMinimum, PulseBounds::kMaximum, value)) return false;
    bounds.value[static_cast<std::size_t>(i++)] = static_cast<int>(value);
  }
  return i == PulseBounds::kCount && text.back() != ',';
}

bool ParseChannel(const std::string& text, ChannelChoice& channel) {
  static const std::pair<const char*, ChannelChoice> kNames[] = {
      {"auto", ChannelChoice::Auto}, {"left", ChannelChoice::Left}, {"right", ChannelChoice::Right},
      {"mix", ChannelChoice::Mix}};
  for (const auto& [name, value] : kNames) {
    if (text == name) {
      channel = value;
      return true;
    }
  }
  return false;
}

void PrintQuality(const QualityReport& report, Io& io) {
  for (const std::string& line : QualityLines(report)) io.out << line << '\n';
  for (const std::string& warning : QualityWarnings(report)) io.out << "Внимание: " << warning << '\n';
}

// The recording as the decoder will read it: prepared into temp, or the
// recording itself. Prints the summary and the quality report. False (after
// printing the reason) when it cannot be read or prepared.
bool MakeDecoderFile(const std::string& recording, const RecordingDecodeOptions& options, const TempRecording& temp,
                     CliHost& host, Io& io, std::string& decoderFile) {
  RecordingInfo info;
  if (OpResult probed = ProbeRecording(recording, info); !probed.ok()) {
    PrintFailure(io, probed.message, probed.detail);
    return false;
  }
  decoderFile = recording;
  if (!info.readable) {
    io.err << "reelo-cli: " << kUnknownFormatWarning << '\n';
    return true;
  }
  if (!options.prepare) {
    if (options.printReport) {
      QualityReport report;
      if (OpResult measured = MeasureQuality(recording, &host, report); measured.ok()) PrintQuality(report, io);
    }
    return true;
  }
  PrepareOptions prepare;
  prepare.clean = true;
  prepare.channel = options.channel;
  prepare.measureQuality = options.printReport;
  PrepareOutcome outcome;
  if (OpResult prepared = PrepareRecording(recording, temp.path(), prepare, &host, outcome); !prepared.ok()) {
    PrintFailure(io, prepared.message, prepared.detail);
    return false;
  }
  if (options.printReport) {
    io.out << outcome.summary << '\n';
    if (outcome.qualityMeasured) PrintQuality(outcome.quality, io);
  }
  decoderFile = temp.path();
  return true;
}

// The bounds for the run: given, the defaults, or fitted to the spectrum.
PulseBounds ChooseBounds(const RecordingDecodeOptions& options, const std::string& decoderFile, ImportHost& quiet,
                         Io& io) {
  if (options.bounds) return *options.bounds;
  if (!options.fitBounds) return PulseBounds{};
  ImportState state;
  AnalyseSpectrum(state, decoderFile, quiet);
  const auto fit = FitBounds(state.pulseHistogram);
  if (options.printReport) {
    io.out << "Границы: "
           << (fit ? BoundsText(fit->bounds) + " (подобраны)"
                   : BoundsText(PulseBounds{}) + " (по умолчанию: сигнал ленты не найден)")
           << '\n';
  }
  return fit ? fit->bounds : PulseBounds{};
}

int RunDecodeCommand(const Args& args, Io& io) {
  const ParsedArgs parsed = ParseArgs(
      args, {{"--exact", false}, {"--channel", true}, {"--bounds", true}, {"--no-prepare", false}}, 2, kMaxTakes + 1);
  if (!parsed.error.empty()) return UsageError(io, "decode", parsed.error);
  RecordingDecodeOptions options;
  if (!ParseRecordingOptions(parsed, options, io, "decode")) return kExitUsage;
  const std::vector<std::string> takes(parsed.positional.begin(), parsed.positional.end() - 1);
  if (takes.size() > 1 && !UsesPeriodDecoder(options)) {
    return UsageError(io, "decode", "несколько записей одной ленты читаются только с подготовкой, без --bounds");
  }
  TapeProject project;
  const int status =
      takes.size() > 1 ? DecodeRecordingTakes(takes, options, project, io) : DecodeRecording(takes[0], options, project, io);
  if (status != kExitOk) return status;
  return WriteTape(project, parsed.positional.back(), io) ? kExitOk : kExitUsage;
}

int RunAnalyseCommand(const Args& args, Io& io) {
  const ParsedArgs parsed = ParseArgs(args, {{"--exact", false}, {"--channel", true}, {"--no-prepare", false}}, 1, 1);
  if (!parsed.error.empty()) return UsageError(io, "analyse", parsed.error);
  RecordingDecodeOptions options;
  if (!ParseRecordingOptions(parsed, options, io, "analyse")) return kExitUsage;
  CliHost host(io, false);
  TempRecording temp;
  std::string decoderFile;
  if (!MakeDecoderFile(parsed.positional[0], options, temp, host, io, decoderFile)) return kExitUsage;
  ImportState state;
  if (OpResult analysed = AnalyseSpectrum(state, decoderFile, host); !analysed.ok()) {
    PrintFailure(io, analysed.message, analysed.detail);
    return kExitUsage;
  }
  io.out << "Гистограмма длин импульсов (длина: число):\n";
  for (int i = 0; i < kHistogramBins; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "%3d: %5d", i, state.pulseHistogram[static_cast<std::size_t>(i)]);
    io.out << line << '\n';
  }
  const auto fit = FitBounds(state.pulseHistogram);
  if (fit) {
    char peaks[128];
    std::snprintf(peaks, sizeof peaks, " (пилот-тон %.1f, \"1\" %.1f, \"0\" %.1f)", fit->pilotLength, fit->oneLength,
                  fit->zeroLength);
    io.out << "Подобранные границы: " << BoundsText(fit->bounds) << peaks << '\n';
  } else {
    io.out << "Подобранные границы: нет (сигнал ленты не найден)\n";
  }
  return kExitOk;
}

}  // namespace

bool ParseRecordingOptions(const ParsedArgs& parsed, RecordingDecodeOptions& options, Io& io, const char* command) {
  if (parsed.has("--exact")) {
    options.prepare = false;
    options.fitBounds = false;
  }
  if (parsed.has("--no-prepare")) options.prepare = false;
  if (parsed.has("--channel")) {
    if (!options.prepare) {
      UsageError(io, command, "параметр --channel действует только при подготовке записи");
      return false;
    }
    if (!ParseChannel(parsed.value("--channel"), options.channel)) {
      UsageError(io, command, "неверный канал " + parsed.value("--channel") + " (auto, left, right или mix)");
      return false;
    }
  }
  if (parsed.has("--bounds")) {
    PulseBounds bounds;
    if (!ParseBounds(parsed.value("--bounds"), bounds)) {
      UsageError(io, command, "неверные границы " + parsed.value("--bounds") + " (шесть чисел 0-40 через запятую)");
      return false;
    }
    options.bounds = bounds;
  }
  return true;
}

int DecodeRecording(const std::string& recording, const RecordingDecodeOptions& options, TapeProject& project, Io& io) {
  if (UsesPeriodDecoder(options)) {
    RecordingInfo info;
    if (OpResult probed = ProbeRecording(recording, info); probed.ok() && info.readable) {
      return DecodeRecordingTakes({recording}, options, project, io);
    }
  }
  CliHost host(io, options.printReport);
  TempRecording temp;
  std::string decoderFile;
  if (!MakeDecoderFile(recording, options, temp, host, io, decoderFile)) return kExitUsage;
  CliHost quiet(io, false);
  const PulseBounds bounds = ChooseBounds(options, decoderFile, quiet, io);

  ImportState state;
  const OpResult decoded = DecodeTape(state, bounds, decoderFile, host);
  if (!decoded.ok()) {
    PrintFailure(io, decoded.message, decoded.detail);
    return kExitUsage;
  }
  if (decoded.isWarning()) PrintFailure(io, decoded.message, decoded.detail);
  int matching = 0;
  for (const TapeBlock& block : state.loadedBlocks) matching += ChecksumMatches(block) ? 1 : 0;
  if (options.printReport) {
    io.out << "Контрольная сумма верна:" << NumberText(matching)
           << ", неверна:" << NumberText(state.loadedBlockCount() - matching) << '\n';
  }
  const int before = project.blockCount();
  if (OpResult added = AddLoadedBlocks(project, state); added.isWarning()) PrintFailure(io, added.message, added.detail);
  return project.blockCount() > before ? kExitOk : kExitNothing;
}

int RunDecode(const Args& args, Io& io) { return RunDecodeCommand(args, io); }
int RunAnalyse(const Args& args, Io& io) { return RunAnalyseCommand(args, io); }

}  // namespace reelo::cli
