// A sound output for tests: it pulls samples only when the test says how many
// have been "heard", so the deck's position, blocks and pauses can be checked
// exactly, with no sound server.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "sound/playback/audio_output.h"

namespace reelo::testing {

class FakeAudioOutput : public AudioOutput {
 public:
  // When not empty, Start refuses with this reason.
  std::string refusal;

  std::string Start(PlaybackSource& source, const AudioFormat& format) override {
    ++starts;
    if (!refusal.empty()) return refusal;
    source_ = &source;
    format_ = format;
    played_ = 0;
    suspended = false;
    return {};
  }
  void Suspend() override { suspended = true; }
  void Resume() override { suspended = false; }
  void Stop() override { source_ = nullptr; }
  // What a sound card has taken but not yet sounded: the last `lag` samples.
  std::uint64_t PlayedSamples() const override { return played_ > lag ? played_ - lag : 0; }
  void SetVolume(double level) override { volume = level; }

  // Plays up to count samples from the source, in reads of at most chunk
  // samples as a sound card does; nothing while suspended or stopped. The
  // bytes go to heard when given. Returns the samples played.
  std::uint64_t Play(std::uint64_t count, std::vector<std::uint8_t>* heard = nullptr, std::size_t chunk = 441) {
    if (!source_ || suspended) return 0;
    const int bytesPerSample = format_.bitsPerSample / 8;
    std::vector<std::uint8_t> buffer(chunk * static_cast<std::size_t>(bytesPerSample));
    std::uint64_t done = 0;
    while (done < count) {
      const std::uint64_t want = std::min<std::uint64_t>(count - done, chunk);
      const std::size_t got = source_->Read(buffer.data(), static_cast<std::size_t>(want) * bytesPerSample);
      if (got == 0) break;
      if (heard) heard->insert(heard->end(), buffer.begin(), buffer.begin() + got);
      done += static_cast<std::uint64_t>(got / bytesPerSample);
    }
    played_ += done;
    return done;
  }
  // Plays everything the source gives until it gives nothing.
  std::uint64_t PlayAll(std::vector<std::uint8_t>* heard = nullptr) { return Play(UINT64_MAX, heard); }
  // The device went away.
  void Fail(const std::string& reason) {
    PlaybackSource* source = source_;
    source_ = nullptr;
    if (source) source->OutputFailed(reason);
  }

  bool playing() const { return source_ != nullptr; }
  const AudioFormat& format() const { return format_; }

  std::uint64_t lag = 0;
  int starts = 0;
  bool suspended = false;
  double volume = 1.0;

 private:
  PlaybackSource* source_ = nullptr;
  AudioFormat format_;
  std::uint64_t played_ = 0;
};

}  // namespace reelo::testing
