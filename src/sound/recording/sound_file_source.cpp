#include "sound/recording/sound_file_source.h"

#include <algorithm>

namespace reelo {
namespace {

constexpr std::int64_t kReadFrames = 16384;

}  // namespace

std::size_t SoundFileSource::Read(float* out, std::size_t maxSamples) {
  const auto channels = static_cast<std::size_t>(std::max(file_.info().channels, 1));
  const std::int64_t want = std::min<std::int64_t>(static_cast<std::int64_t>(maxSamples), kReadFrames);
  const std::int64_t got = file_.Read(frames_, want);
  const auto n = static_cast<std::size_t>(std::max<std::int64_t>(got, 0));
  if (channels == 1) {
    std::copy_n(frames_.begin(), n, out);
  } else if (channel_ >= 0) {
    const auto channel = std::min(static_cast<std::size_t>(channel_), channels - 1);
    for (std::size_t i = 0; i < n; ++i) out[i] = frames_[i * channels + channel];
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      float sum = 0;
      for (std::size_t c = 0; c < channels; ++c) sum += frames_[i * channels + c];
      out[i] = sum / static_cast<float>(channels);
    }
  }
  return n;
}

}  // namespace reelo
