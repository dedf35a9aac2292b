// The check after an export: the written file read back through the
// recording pipeline (the exact path for an 8-bit 22050 Hz file in the
// export's own polarity, the preparation for every other form) with the
// program's own tape decoder, and its records compared with the project's blocks.
#include "project/system_error.h"
#include "sound/export/signal_stream.h"
#include "sound/export/tape_signal.h"
#include "sound/export/wav_export.h"
#include "sound/recording/recording_session.h"

namespace reelo {
namespace {

constexpr long long kProgressSteps = 100;
constexpr const char* kNotAnExportText = "это не WAV-файл экспорта (PCM, моно, 8 или 16 бит)";

// The decoder's bounds for each timing. The exact signal fits the defaults.
// The ROM's pulses at 22050 Hz (pilot 13.7, one bit 10.8, zero bit 5.4
// samples) sit at the defaults' upper edges, and a file made at 48000 Hz and
// brought to 22050 Hz moves an edge by up to a sample, so the ROM timing is
// read with the upper bounds one sample wider.
constexpr PulseBounds kRomBounds{{2, 7, 9, 12, 12, 15}};

// The file's form as libsndfile reads it: what the export writes, or not.
bool IsExportForm(const RecordingInfo& info) {
  return info.readable && info.channels == 1 && !info.floatingPoint && info.formatText.rfind("WAV, PCM", 0) == 0 &&
         (info.bitsPerSample == 8 || info.bitsPerSample == 16);
}

// No report, every doubtful pulse noise, the position on the bar's second half.
class VerifyEvents final : public RecordingEvents {
 public:
  explicit VerifyEvents(ProgressScope& scope) : scope_(scope) {}
  void Begin(const std::string&, std::int64_t total) override { total_ = total; }
  bool Progress(std::int64_t done) override {
    const long long value = total_ > 0 ? std::min<long long>(done * (kProgressSteps - 1) / total_, kProgressSteps - 1) : 0;
    if (value != shown_) scope_.Step(shown_ = value);
    return true;
  }
  void ReportLine(const std::string&) override {}
  QuestionReply AskBadSignal(const BadSignalQuestion&) override { return QuestionReply::Noise; }

 private:
  ProgressScope& scope_;
  std::int64_t total_ = 0;
  long long shown_ = -1;
};

// The record the export sends for a block: the length field and as many bytes
// as it promises, zeros where a damaged block is shorter.
TapeBlock ExpectedRecord(const TapeBlock& block) {
  TapeBlock::Bytes record(static_cast<std::size_t>(RecordLength(block)) + 2, 0);
  std::copy_n(block.begin(), std::min(block.size(), record.size()), record.begin());
  return TapeBlock(std::move(record));
}

// Walks the project's blocks and the decoded records side by side. A record
// that matches a little further on (a stray record before it) still counts;
// a damaged record is passed over as the block it stands for.
void Compare(const TapeProject& project, const std::vector<TapeBlock>& decoded, WavCheckResult& check) {
  const std::size_t n = decoded.size();
  std::size_t j = 0;
  for (int b = 0; b < project.blockCount(); ++b) {
    const TapeBlock expected = ExpectedRecord(project.blocks[static_cast<std::size_t>(b)]);
    std::size_t found = j;
    while (found < n && found < j + 3 && decoded[found] != expected) ++found;
    if (found < n && found < j + 3) {
      ++check.blocksMatched;
      j = found + 1;
      continue;
    }
    if (check.firstMismatch < 0) check.firstMismatch = b;
    if (j < n) ++j;
  }
}

std::string ResultText(const WavCheckResult& check) {
  if (check.identical) {
    return "Проверка пройдена: все блоки (" + std::to_string(check.blocksExpected) +
           ") прочитаны из файла байт в байт.";
  }
  std::string text = "Проверка не пройдена: совпало блоков" + NumberText(check.blocksMatched) + " из" +
                     NumberText(check.blocksExpected) + ".";
  if (check.firstMismatch >= 0) text += " Первый несовпавший блок:" + NumberText(check.firstMismatch + 1) + ".";
  if (check.recordsDecoded != check.blocksExpected) {
    text += " В файле прочитано записей:" + NumberText(check.recordsDecoded) + ".";
  }
  return text;
}

WavCheckResult Unreadable(const std::string& path, const std::string& reason) {
  WavCheckResult check;
  check.text = "Не удалось проверить файл " + path;
  check.detail = reason;
  return check;
}

}  // namespace

WavCheckResult VerifyWavFile(const TapeProject& project, const std::string& path, const SignalOptions& options,
                             Progress& progress) {
  ProgressScope scope(progress, kVerifyWavLabel, kProgressSteps);
  RecordingSession session;
  if (OpResult opened = session.Open(path); !opened.ok()) return Unreadable(path, opened.detail);
  if (!IsExportForm(session.info())) return Unreadable(path, kNotAnExportText);
  // The export's own form is read as it stands; any other is prepared, which
  // turns the levels of any rate, size or polarity into the decoder's.
  SessionOptions read;
  read.preparation.clean = true;
  read.preparation.channel = ChannelChoice::Left;
  read.preparation.invert = options.inverted;
  read.prepare = !session.info().exact || options.inverted;
  read.periods = false;  // the bounds of the export's timings, through the pulse decoder
  VerifyEvents events(scope);
  ImportState state;
  PulseBounds bounds = options.timings == SignalTimings::Rom ? kRomBounds : PulseBounds{};
  if (read.prepare) {
    // A resampled signal's edges move by up to a sample either way: the
    // bounds are fitted to what the preparation gives.
    std::optional<FittedBounds> fit;
    bool stopped = false;
    if (OpResult fitted = session.Fit(read, events, fit, stopped); !fitted.ok()) {
      return Unreadable(path, fitted.detail.empty() ? fitted.message : fitted.detail);
    }
    if (fit) bounds = fit->bounds;
  }
  const DecodeResult decoded = session.Decode(read, state, bounds, events);
  if (!decoded.ok()) return Unreadable(path, decoded.detail.empty() ? decoded.message : decoded.detail);

  WavCheckResult check;
  check.readable = true;
  check.blocksExpected = project.blockCount();
  check.recordsDecoded = state.loadedBlockCount();
  Compare(project, state.loadedBlocks, check);
  check.identical = check.blocksMatched == check.blocksExpected && check.recordsDecoded == check.blocksExpected;
  check.text = ResultText(check);
  return check;
}

}  // namespace reelo
