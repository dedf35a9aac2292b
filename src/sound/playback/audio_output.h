// Where the deck's sound goes: a sound card behind the desktop's sound server
// (QtAudioOutput, outside the core), or the tests' fake that pulls samples on
// command. An output pulls the samples itself, as fast as it plays them, from
// the source handed to Start; the deck only says start, suspend, resume and
// stop. Plain C++: the deck and its outputs meet here without Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace reelo {

// The one message for every failure of the sound output; the reason follows it.
inline constexpr const char* kNoAudioDeviceText = "Нет устройства для вывода звука";

struct AudioFormat {
  int sampleRate = 22050;
  int bitsPerSample = 8;  // 8: unsigned; 16: signed little-endian
  bool operator==(const AudioFormat&) const = default;
};

// What an output pulls its samples from, on the thread that started it.
class PlaybackSource {
 public:
  virtual ~PlaybackSource() = default;
  // Copies up to maxBytes of whole samples to data; returns how many bytes.
  // 0: nothing now (held at a block's end, or the tape is over); nothing
  // says when there is more, so an output asks again on its own clock.
  virtual std::size_t Read(std::uint8_t* data, std::size_t maxBytes) = 0;
  // The output stopped by itself: the device went away or the sound server
  // dropped the stream; the reason is in Russian. Called from the caller's
  // event loop (never from inside Start, Read or another call of the
  // source's owner), so the owner may stop the output there.
  virtual void OutputFailed(const std::string& reason) = 0;
};

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;

  // Starts pulling mono samples of the format from source, which stays owned
  // by the caller and alive until Stop. Returns an empty text, or the reason
  // (Russian) the output could not start; it then pulls nothing.
  virtual std::string Start(PlaybackSource& source, const AudioFormat& format) = 0;
  // Holds the sound where it is (what is buffered stays) / carries on.
  virtual void Suspend() = 0;
  virtual void Resume() = 0;
  // Stops at once, dropping what is buffered, and lets go of the source: no
  // failure of this stream is reported after it.
  virtual void Stop() = 0;
  // Samples heard since Start (never more than it pulled).
  virtual std::uint64_t PlayedSamples() const = 0;
  // 0 (silent) to 1 (full level), from now on.
  virtual void SetVolume(double volume) = 0;
};

}  // namespace reelo
