#include "ui/import/import_texts.h"

#include <algorithm>

#include "project/checksum.h"

namespace reelo {

std::string ChecksumTallyText(const std::vector<TapeBlock>& records) {
  const auto matching = std::count_if(records.begin(), records.end(), ChecksumMatches);
  const auto failing = static_cast<long long>(records.size()) - matching;
  return "Контрольная сумма верна:" + NumberText(matching) + "\nКонтрольная сумма неверна:" + NumberText(failing);
}

std::string DurationText(std::int64_t frames, int sampleRate) {
  if (sampleRate <= 0 || frames < 0) return {};
  const std::int64_t seconds = frames / sampleRate;
  const auto twoDigits = [](std::int64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); };
  const std::string minutesAndSeconds = twoDigits(seconds / 60 % 60) + ":" + twoDigits(seconds % 60);
  if (seconds >= 3600) return std::to_string(seconds / 3600) + ":" + minutesAndSeconds;
  return std::to_string(seconds / 60) + ":" + twoDigits(seconds % 60);
}

// The depth is in the description already, so of the format text only the
// container is shown ("WAV", "FLAC"), with its encoding when that has no
// fixed depth ("Ogg, Vorbis").
std::string RecordingFormatText(const RecordingInfo& info) {
  std::string text = "Запись: " + DescribeRecording(info);
  const std::string container =
      info.bitsPerSample > 0 ? info.formatText.substr(0, info.formatText.find(',')) : info.formatText;
  if (!container.empty()) text += "; " + container;
  if (const std::string duration = DurationText(info.frames, info.sampleRate); !duration.empty()) {
    text += "; " + duration;
  }
  return text;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

}  // namespace reelo
