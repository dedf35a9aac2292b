#include "sound/recording/preparation.h"

namespace reelo {
namespace {

std::string ChannelText(const RecordingInfo& info, int channelUsed) {
  if (info.channels <= 1) return "";
  if (channelUsed < 0) return " (смесь каналов)";
  if (info.channels == 2) return channelUsed == 0 ? " (левый канал)" : " (правый канал)";
  return " (канал " + std::to_string(channelUsed + 1) + ")";
}

}  // namespace

PrepareOptions DefaultPrepareOptions(const RecordingInfo& /*info*/) {
  PrepareOptions options;
  options.clean = true;
  return options;
}

bool NeedsPreparation(const RecordingInfo& info, const PrepareOptions& options) {
  if (!info.readable) return false;
  return !info.exact || options.clean;
}

std::string PreparationSummary(const RecordingInfo& info, const PrepareOptions& options, int channelUsed) {
  std::string text = "Запись подготовлена: " + DescribeRecording(info) + " -> " +
                     std::to_string(kDecoderSampleRate) + " Гц, 8 бит, моно" + ChannelText(info, channelUsed);
  if (options.clean) text += ", очистка сигнала";
  return text;
}

}  // namespace reelo
