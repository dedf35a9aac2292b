#include "sound/recording/sound_file_source.h"

#include <algorithm>

namespace reelo {
namespace {

constexpr std::int64_t kReadFrames = 16384;

// A 16-bit sample as -1..1, as libsndfile gives it (divided by 32768: exact).
constexpr float kPcm16Scale = 1.0f / 32768.0f;

// One channel (or the mean of all) of interleaved frames into out.
template <typename Sample, typename ToFloat>
void TakeChannel(const std::vector<Sample>& frames, std::size_t n, std::size_t channels, int channel, float* out,
                 ToFloat value) {
  if (channels == 1) {
    for (std::size_t i = 0; i < n; ++i) out[i] = value(frames[i]);
  } else if (channel >= 0) {
    const auto c = std::min(static_cast<std::size_t>(channel), channels - 1);
    for (std::size_t i = 0; i < n; ++i) out[i] = value(frames[i * channels + c]);
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      float sum = 0;
      for (std::size_t c = 0; c < channels; ++c) sum += value(frames[i * channels + c]);
      out[i] = sum / static_cast<float>(channels);
    }
  }
}

}  // namespace

std::size_t SoundFileSource::Read(float* out, std::size_t maxSamples) {
  const auto channels = static_cast<std::size_t>(std::max(file_.info().channels, 1));
  const std::int64_t want = std::min<std::int64_t>(static_cast<std::int64_t>(maxSamples), kReadFrames);
  if (file_.pcm16()) {
    // The samples as stored, converted here: libsndfile's own conversion of
    // them costs more than the reading.
    const auto n = static_cast<std::size_t>(std::max<std::int64_t>(file_.ReadPcm16(pcm16_, want), 0));
    TakeChannel(pcm16_, n, channels, channel_, out, [](std::int16_t v) { return static_cast<float>(v) * kPcm16Scale; });
    return n;
  }
  const auto n = static_cast<std::size_t>(std::max<std::int64_t>(file_.Read(frames_, want), 0));
  TakeChannel(frames_, n, channels, channel_, out, [](float v) { return v; });
  return n;
}

}  // namespace reelo
