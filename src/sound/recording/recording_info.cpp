#include "sound/recording/recording_info.h"

#include "sound/recording/sound_file.h"

namespace reelo {
namespace {

// "2 канала", "3 канала", "5 каналов": the channel count with its Russian plural.
std::string ChannelsText(int channels) {
  if (channels == 1) return "моно";
  if (channels == 2) return "стерео";
  const int lastTwo = channels % 100;
  const int last = channels % 10;
  const char* word = "каналов";
  if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) word = "канала";
  return std::to_string(channels) + " " + word;
}

}  // namespace

OpResult ProbeRecording(const std::string& path, RecordingInfo& info) {
  SoundFile file;
  OpResult opened = file.Open(path);
  info = file.info();
  // Only a file that could not be opened at all is an error here; one that
  // libsndfile does not understand is read byte by byte.
  if (file.unknownFormat()) return OpResult::Success();
  return opened;
}

std::string DescribeRecording(const RecordingInfo& info) {
  std::string text = std::to_string(info.sampleRate) + " Гц, ";
  if (info.bitsPerSample > 0) {
    text += std::to_string(info.bitsPerSample) + " бит";
    if (info.floatingPoint) text += " с плавающей точкой";
    text += ", ";
  }
  return text + ChannelsText(info.channels);
}

}  // namespace reelo
