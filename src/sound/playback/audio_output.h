// Where the deck's sound goes: a sound card behind the desktop's sound server
// (QtAudioOutput), or the window tests' fake that pulls samples on command.
// An output pulls the samples itself, as fast as it plays them, from the
// device handed to Start; the deck only says start, suspend, resume and stop.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class QIODevice;

namespace reelo {

// The one message for every failure of the sound output; the reason follows it.
inline constexpr const char* kNoAudioDeviceText = "Нет устройства для вывода звука";

struct AudioFormat {
  int sampleRate = 22050;
  int bitsPerSample = 8;  // 8: unsigned; 16: signed little-endian
  bool operator==(const AudioFormat&) const = default;
};

class AudioOutput : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  ~AudioOutput() override = default;

  // Starts pulling mono samples of the format from source, which stays owned
  // by the caller and open until Stop. Returns an empty text, or the reason
  // (Russian) the output could not start; it then pulls nothing.
  virtual QString Start(QIODevice& source, const AudioFormat& format) = 0;
  // Holds the sound where it is (what is buffered stays) / carries on.
  virtual void Suspend() = 0;
  virtual void Resume() = 0;
  // Stops at once, dropping what is buffered, and lets go of the source.
  virtual void Stop() = 0;
  // Samples heard since Start (never more than it pulled).
  virtual std::uint64_t PlayedSamples() const = 0;
  // 0 (silent) to 1 (full level), from now on.
  virtual void SetVolume(double volume) = 0;

 signals:
  // The output stopped by itself: the device went away or the sound server
  // dropped the stream. The reason is in Russian.
  void Failed(const QString& reason);
};

}  // namespace reelo
