// The deck's sound output through Qt Multimedia: a QAudioSink on the chosen
// device of the desktop's sound server, pulling samples from the deck.
#pragma once

#include <QAudioSink>
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>

#include "sound/playback/audio_output.h"

namespace reelo {

struct AudioDeviceChoice {
  QByteArray id;  // empty: whatever the system's default is when playing starts
  QString description;
};

// The outputs the system offers now, the system's default first as an entry
// with an empty id ("По умолчанию (...)"); empty when there is none.
QList<AudioDeviceChoice> AudioOutputChoices();

class QtAudioOutput : public AudioOutput {
  Q_OBJECT

 public:
  // The sound card's buffer: long enough to ride over a busy moment of the
  // UI thread, short enough that Pause and the block shown follow the sound.
  static constexpr int kBufferMilliseconds = 300;
  // An output that takes no sound for this long is taken as gone.
  static constexpr int kStallMilliseconds = 5000;
  static constexpr int kWatchInterval = 250;

  explicit QtAudioOutput(QObject* parent = nullptr);
  ~QtAudioOutput() override;

  // The buffer for the next Start (kBufferMilliseconds unless set): a player
  // without windows can take a longer one and never run dry.
  void setBufferMilliseconds(int milliseconds) { bufferMilliseconds_ = milliseconds; }
  // The device for the next Start, by id; empty: the system's default.
  void setDevice(const QByteArray& id) { deviceId_ = id; }
  const QByteArray& device() const { return deviceId_; }
  double volume() const { return volume_; }

  QString Start(QIODevice& source, const AudioFormat& format) override;
  void Suspend() override;
  void Resume() override;
  void Stop() override;
  std::uint64_t PlayedSamples() const override;
  void SetVolume(double volume) override;

 private:
  void Watch();
  void ReportFailure(const QString& reason);

  QByteArray deviceId_;
  double volume_ = 1.0;
  int bufferMilliseconds_ = kBufferMilliseconds;
  int sampleRate_ = 0;
  std::unique_ptr<QAudioSink> sink_;
  QList<QPointer<QAudioSink>> retired_;  // stopped, deleted by the event loop
  QTimer watch_;
  qint64 lastProcessed_ = -1;
  QElapsedTimer sinceProgress_;
  bool failing_ = false;
  int session_ = 0;  // counts Stop calls: a failure reported late belongs to an old stream
};

}  // namespace reelo
