// reelo-cli decode and analyse through a recording session, as the
// load-from-WAV window reads a recording: by periods (the recording and its
// takes, merged and repaired) by default; prepared with fitted or given bounds,
// or as it stands (--exact), through the pulse decoder, with every bad-signal
// question answered "Шум".
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "cli/commands.h"
#include "project/checksum.h"
#include "sound/import/loaded_blocks.h"
#include "sound/recording/recording_session.h"

namespace reelo::cli {
namespace {

constexpr int kBarWidth = 30;
constexpr std::size_t kMaxTakes = 16;

// The prepared path without bounds given by hand reads the recording with the
// period decoder; bounds, --exact and --no-prepare keep the pulse decoder.
bool UsesPeriodDecoder(const RecordingDecodeOptions& options) { return options.prepare && !options.bounds; }

// The window's part in a run, for the command line: report lines on out, a
// bar on err when that is a terminal, every question answered "Шум".
class CliEvents final : public RecordingEvents {
 public:
  CliEvents(Io& io, bool report) : io_(io), report_(report) {}
  ~CliEvents() override { EndBar(); }

  void Begin(const std::string& label, std::int64_t total) override {
    label_ = label;
    maximum_ = total;
  }
  bool Progress(std::int64_t done) override {
    DrawBar(done);
    return true;
  }
  void ReportLine(const std::string& line) override {
    if (!report_) return;
    EndBar();
    io_.out << line << '\n';
  }
  QuestionReply AskBadSignal(const BadSignalQuestion&) override { return QuestionReply::Noise; }
  void EndBar() {
    if (!barShown_) return;
    io_.err << "\r\033[K" << std::flush;
    barShown_ = false;
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

  Io& io_;
  bool report_;
  std::string label_;
  std::int64_t maximum_ = 0;
  bool barShown_ = false;
};

// The prepared copy lives in the temporary folder while the command runs, so
// the decoding reads what the fitting of the bounds prepared.
std::string TempFolder() {
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  return ec ? std::string("/tmp") : dir.string();
}

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

SessionOptions ReadOptions(const RecordingDecodeOptions& options) {
  SessionOptions read;
  read.prepare = options.prepare;
  read.preparation.clean = true;
  read.preparation.channel = options.channel;
  read.preparation.measureQuality = options.printReport;
  read.periods = !options.bounds;
  return read;
}

// Opens the recording and says how it will be read. False (after printing the
// reason) when it cannot be opened.
bool OpenRecording(RecordingSession& session, const std::string& recording, const RecordingDecodeOptions& options,
                   CliEvents& events, Io& io) {
  if (OpResult opened = session.Open(recording); !opened.ok()) {
    PrintFailure(io, opened.message, opened.detail);
    return false;
  }
  if (!session.info().readable) {
    io.err << "reelo-cli: " << kUnknownFormatWarning << '\n';
    return true;
  }
  if (!session.ReadsPrepared(ReadOptions(options)) && options.printReport) {
    QualityReport report;
    if (!options.prepare && !options.fitBounds) {
      // --exact reads the file once, as the decoder does: its format is
      // known from the probe, and a measuring pass would cost several times
      // the decoding.
      report.info = session.info();
      io.out << QualityLines(report).front() << '\n';
    } else if (session.MeasureQuality(events, report).ok()) {
      PrintQuality(report, io);
    }
  }
  return true;
}

// After the first run that prepared the recording: its summary and quality.
void PrintPreparation(const RecordingSession& session, const RecordingDecodeOptions& options, Io& io) {
  if (!options.printReport || session.preparedSummary().empty()) return;
  io.out << session.preparedSummary() << '\n';
  if (session.preparedQuality()) PrintQuality(*session.preparedQuality(), io);
}

// The bounds for the run: given, the defaults, or fitted to the spectrum.
// False (after printing the reason) when the recording could not be prepared.
bool ChooseBounds(RecordingSession& session, const RecordingDecodeOptions& options, CliEvents& events, Io& io,
                  PulseBounds& bounds) {
  bounds = options.bounds ? *options.bounds : PulseBounds{};
  if (options.bounds || !options.fitBounds) return true;
  std::optional<FittedBounds> fit;
  bool stopped = false;
  if (OpResult fitted = session.Fit(ReadOptions(options), events, fit, stopped); !fitted.ok()) {
    PrintFailure(io, fitted.message, fitted.detail);
    return false;
  }
  PrintPreparation(session, options, io);
  if (fit) bounds = fit->bounds;
  if (options.printReport) {
    io.out << "Границы: "
           << (fit ? BoundsText(fit->bounds) + " (подобраны)"
                   : BoundsText(PulseBounds{}) + " (по умолчанию: сигнал ленты не найден)")
           << '\n';
  }
  return true;
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
  const int status = DecodeRecordings(takes, options, project, io);
  if (status != kExitOk) return status;
  return WriteTape(project, parsed.positional.back(), io) ? kExitOk : kExitUsage;
}

int RunAnalyseCommand(const Args& args, Io& io) {
  const ParsedArgs parsed = ParseArgs(args, {{"--exact", false}, {"--channel", true}, {"--no-prepare", false}}, 1, 1);
  if (!parsed.error.empty()) return UsageError(io, "analyse", parsed.error);
  RecordingDecodeOptions options;
  if (!ParseRecordingOptions(parsed, options, io, "analyse")) return kExitUsage;
  CliEvents events(io, false);
  RecordingSession session;
  options.printReport = false;
  if (!OpenRecording(session, parsed.positional[0], options, events, io)) return kExitUsage;
  ImportState state;
  if (OpResult analysed = session.Analyse(ReadOptions(options), state, events); !analysed.ok()) {
    events.EndBar();
    PrintFailure(io, analysed.message, analysed.detail);
    return kExitUsage;
  }
  events.EndBar();
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
  return DecodeRecordings({recording}, options, project, io);
}

int DecodeRecordings(const std::vector<std::string>& recordings, const RecordingDecodeOptions& options,
                     TapeProject& project, Io& io) {
  CliEvents events(io, options.printReport);
  RecordingSession session(TempFolder());
  if (!OpenRecording(session, recordings.front(), options, events, io)) return kExitUsage;
  for (std::size_t t = 1; t < recordings.size(); ++t) {
    if (OpResult added = session.AddTake(recordings[t]); !added.ok()) {
      PrintFailure(io, added.message, added.detail);
      return kExitUsage;
    }
  }
  const bool periods = session.DecodesPeriods(ReadOptions(options));
  if (recordings.size() > 1 && !periods) {
    PrintFailure(io, kSoundUnreadableText, recordings.front());
    return kExitUsage;
  }
  PulseBounds bounds;
  if (!periods && !ChooseBounds(session, options, events, io, bounds)) return kExitUsage;

  ImportState state;
  const DecodeResult decoded = session.Decode(ReadOptions(options), state, bounds, events);
  events.EndBar();
  if (!decoded.ok()) {
    PrintFailure(io, decoded.message, decoded.detail);
    return kExitUsage;
  }
  if (!periods && (!options.fitBounds || options.bounds)) PrintPreparation(session, options, io);
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
