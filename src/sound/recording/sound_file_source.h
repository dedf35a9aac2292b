// One channel of a sound file (or the mean of all of its channels) as a
// sample source, read forwards in blocks through libsndfile: the recording
// itself, as the period decoder reads it, at the file's own rate.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/recording/sample_source.h"
#include "sound/recording/sound_file.h"

namespace reelo {

class SoundFileSource final : public SampleSource {
 public:
  // channel: 0-based, or -1 for the mean of all channels. The file stays the
  // caller's; it must be open.
  SoundFileSource(SoundFile& file, int channel) : file_(file), channel_(channel) {}
  int rate() const override { return file_.info().sampleRate; }
  std::int64_t length() const override { return file_.info().frames; }
  std::size_t Read(float* out, std::size_t maxSamples) override;

 private:
  SoundFile& file_;
  int channel_;
  std::vector<float> frames_;
  std::vector<std::int16_t> pcm16_;
};

}  // namespace reelo
