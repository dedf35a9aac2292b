#include "sound/recording/quality_report.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "sound/recording/channel_scan.h"
#include "sound/recording/preparation.h"
#include "sound/recording/sound_file.h"

namespace reelo {
namespace {

// A near pilot is measured against the program's own export rather than the ROM.
constexpr double kExportPilotTolerance = 0.003;

// A number with a decimal comma: "-6,0", "+2,1" (with sign when asked).
std::string Decimal(double value, int digits, bool sign = false) {
  char text[64];
  std::snprintf(text, sizeof text, sign ? "%+.*f" : "%.*f", digits, value);
  std::string s = text;
  for (char& c : s) {
    if (c == '.') c = ',';
  }
  return s;
}

std::string ChannelName(int channel, int channels) {
  if (channels == 2) return channel == 0 ? "левый" : "правый";
  return "канал " + std::to_string(channel + 1);
}

std::string LevelsText(const ChannelQuality& q) {
  return "пик " + Decimal(q.peakDbfs, 1) + " дБ, на пределе " + Decimal(q.clippedShare * 100, 2) +
         "%, смещение нуля " + Decimal(q.dcOffset * 100, 1, true) + "%, шум " + Decimal(q.noiseFloorDbfs, 1) +
         " дБ" + (q.pilotHz > 0 ? ", пилот-тон " + Decimal(q.pilotHz, 0) + " Гц" : ", пилот-тон не найден");
}

std::string Duration(const RecordingInfo& info) {
  const long long seconds = info.sampleRate > 0 ? info.frames / info.sampleRate : 0;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

}  // namespace

Pacer PassPacer(PrepareProgress* progress, const char* label, std::int64_t total) {
  if (!progress) return Pacer(nullptr, std::chrono::milliseconds(kPrepareReportIntervalMs), kFramesPerBlock);
  progress->Begin(label, total);
  // Every pass asks at its first block: a short recording may be done
  // before the interval has passed once.
  return Pacer([progress](std::int64_t done) { return progress->Advance(done); },
               std::chrono::milliseconds(kPrepareReportIntervalMs), kFramesPerBlock, true);
}

void ScanBlock(const std::vector<float>& frames, std::int64_t count, std::vector<ChannelScanner>& scanners) {
  const std::size_t channels = scanners.size();
  const std::size_t samples = std::min(frames.size(), static_cast<std::size_t>(count) * channels);
  for (std::size_t c = 0; c < channels; ++c) {
    ChannelScanner& scanner = scanners[c];
    for (std::size_t i = c; i < samples; i += channels) scanner.Add(frames[i]);
  }
}

std::vector<ChannelScanner> MakeScanners(const RecordingInfo& info) {
  return std::vector<ChannelScanner>(static_cast<std::size_t>(info.channels),
                                     ChannelScanner(info.sampleRate, info.floatingPoint ? 0 : info.bitsPerSample));
}

bool ScanFrames(SoundFile& file, std::int64_t maxFrames, Pacer& pacer, std::vector<ChannelScanner>& scanners) {
  std::vector<float> frames;
  std::int64_t done = 0;
  while (done < maxFrames) {
    const std::int64_t got = file.Read(frames, std::min(kFramesPerBlock, maxFrames - done));
    if (got == 0) break;
    ScanBlock(frames, got, scanners);
    done += got;
    if (!pacer.Tick(file.framesRead())) return false;
  }
  for (ChannelScanner& scanner : scanners) scanner.Finish();
  return true;
}

QualityReport BuildQualityReport(const RecordingInfo& info, std::vector<ChannelScanner>& scanners) {
  QualityReport report;
  report.info = info;
  for (const ChannelScanner& scanner : scanners) report.channels.push_back(scanner.Result());
  report.betterChannel = BetterChannel(scanners);
  const ChannelQuality& best = report.channels[static_cast<std::size_t>(report.betterChannel)];
  if (best.pilotHz > 0) {
    report.pilotFound = true;
    const bool ownExport = std::fabs(best.pilotHz / kExportPilotHz - 1) <= kExportPilotTolerance;
    report.nominalPilotHz = ownExport ? kExportPilotHz : kRomPilotHz;
    report.speedErrorPercent = (best.pilotHz / report.nominalPilotHz - 1) * 100;
  }
  return report;
}

OpResult MeasureQuality(const std::string& path, PrepareProgress* progress, QualityReport& report) {
  SoundFile file;
  if (OpResult opened = file.Open(path); !opened.ok()) return opened;
  std::vector<ChannelScanner> scanners = MakeScanners(file.info());
  Pacer pacer = PassPacer(progress, kMeasureStatusText, file.info().frames);
  if (!ScanFrames(file, file.info().frames, pacer, scanners)) return OpResult::Fail(kPrepareStoppedText);
  if (file.overBudget()) return OpResult::Fail(std::string(kMpegDamagedText) + " " + path);
  if (file.truncated()) return OpResult::Fail(std::string(kSoundChangedText) + " " + path);
  report = BuildQualityReport(file.info(), scanners);
  return OpResult::Success();
}

std::vector<std::string> QualityLines(const QualityReport& report) {
  const RecordingInfo& info = report.info;
  std::vector<std::string> lines;
  lines.push_back("Формат: " + info.formatText + ", " + std::to_string(info.sampleRate) + " Гц, " +
                  (info.channels == 1 ? std::string("моно") : info.channels == 2 ? std::string("стерео")
                                                            : std::to_string(info.channels) + " кан.") +
                  ", " + Duration(info));
  const int channels = static_cast<int>(report.channels.size());
  if (channels == 1) {
    lines.push_back("Уровень: " + LevelsText(report.channels[0]));
  } else {
    for (int c = 0; c < channels; ++c) {
      const std::string name = channels == 2 ? (c == 0 ? "Левый канал" : "Правый канал") : "Канал " + std::to_string(c + 1);
      lines.push_back(name + ": " + LevelsText(report.channels[static_cast<std::size_t>(c)]));
    }
    lines.push_back("Лучший канал: " + ChannelName(report.betterChannel, channels));
  }
  if (report.pilotFound) {
    const double hz = report.channels[static_cast<std::size_t>(report.betterChannel)].pilotHz;
    lines.push_back("Скорость: " + Decimal(report.speedErrorPercent, 1, true) + "% (пилот-тон " + Decimal(hz, 1) +
                    " Гц при норме " + Decimal(report.nominalPilotHz, 1) + " Гц)");
  } else {
    lines.push_back("Скорость: пилот-тон не найден");
  }
  return lines;
}

std::vector<std::string> QualityWarnings(const QualityReport& report) {
  std::vector<std::string> warnings;
  if (report.channels.empty()) return warnings;
  const ChannelQuality& q = report.channels[static_cast<std::size_t>(report.betterChannel)];
  if (q.peakDbfs < kQuietPeakDbfs) {
    warnings.push_back("Запись слишком тихая (пик " + Decimal(q.peakDbfs, 1) +
                       " дБ): при оцифровке поднимите уровень записи");
  }
  if (q.clippedShare > kClippedShareWarning) {
    warnings.push_back("Запись перегружена: " + Decimal(q.clippedShare * 100, 2) +
                       "% отсчётов на пределе; при оцифровке уменьшите уровень записи");
  }
  if (report.pilotFound && std::fabs(report.speedErrorPercent) > kSpeedErrorWarningPercent) {
    warnings.push_back("Скорость ленты отличается от нормы на " + Decimal(report.speedErrorPercent, 1, true) +
                       "%: проверьте магнитофон");
  }
  return warnings;
}

}  // namespace reelo
