// The deck's sound output through Qt Multimedia: a QAudioSink on the chosen
// device of the desktop's sound server. The sink lives on a thread of its own:
// a server that stalls or refuses a new stream can hold Qt's open for as long
// as it likes (for ever, when the stream fails while Qt waits for it), and
// the caller's thread must never wait for that. The caller's thread pulls the
// samples from the deck (on a timer of its event loop) and hands them over
// through a small buffer.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "sound/playback/audio_output.h"

class QThread;

namespace reelo {

struct AudioDeviceChoice {
  QByteArray id;  // empty: whatever the system's default is when playing starts
  QString description;
};

// True while a sound thread still runs: inside Qt's open of a stream the
// server never answered, or still closing a stream the output's destructor
// stopped waiting for. Qt's sound engine, torn down at exit, would free what
// that thread uses, so a program ends with std::_Exit then.
bool SoundOpenStillHeld();

// The outputs the system offers now, the system's default first as an entry
// with an empty id ("По умолчанию (...)"); empty when there is none.
QList<AudioDeviceChoice> AudioOutputChoices();

struct SoundSession;
class SinkRunner;

class QtAudioOutput : public QObject, public AudioOutput {
  Q_OBJECT

 public:
  // The sound card's buffer: long enough to ride over a busy moment of the
  // UI thread, short enough that Pause and the block shown follow the sound.
  static constexpr int kBufferMilliseconds = 300;
  // An output that takes no sound for this long is taken as gone.
  static constexpr int kStallMilliseconds = 5000;
  static constexpr int kWatchInterval = 250;
  // Start waits this long for the server to accept the stream; a later
  // answer arrives through Failed (a refusal) or not at all (it plays).
  static constexpr int kQuickOpenMilliseconds = 250;
  // A server that has not accepted the stream after this long is not
  // answering: the output gives up on it and says so through Failed.
  static constexpr int kOpenMilliseconds = 3000;
  // How often the samples are handed to the sink's thread, and how much is
  // kept ready there (a share of the sink's buffer).
  static constexpr int kFeedInterval = 10;

  explicit QtAudioOutput(QObject* parent = nullptr);
  ~QtAudioOutput() override;

  // The buffer for the next Start (kBufferMilliseconds unless set): a player
  // without windows can take a longer one and never run dry.
  void setBufferMilliseconds(int milliseconds) { bufferMilliseconds_ = milliseconds; }
  // The device for the next Start, by id; empty: the system's default.
  void setDevice(const QByteArray& id) { deviceId_ = id; }
  const QByteArray& device() const { return deviceId_; }
  double volume() const { return volume_; }

  std::string Start(PlaybackSource& source, const AudioFormat& format) override;
  void Suspend() override;
  void Resume() override;
  void Stop() override;
  std::uint64_t PlayedSamples() const override;
  void SetVolume(double volume) override;

 signals:
  // The output stopped by itself (after the source heard of it); the reason
  // is in Russian.
  void Failed(const QString& reason);

 private:
  QString Open(PlaybackSource& source, const AudioFormat& format);
  void Feed();
  void Watch();
  void ReportFailure(const QString& reason);
  // Asks the sink's thread to run f with the sink (when there is one).
  template <typename F>
  void OnSinkThread(F f);

  QByteArray deviceId_;
  double volume_ = 1.0;
  int bufferMilliseconds_ = kBufferMilliseconds;
  int sampleRate_ = 0;
  qint64 feedBytes_ = 0;  // how much is kept ready for the sink
  std::shared_ptr<SoundSession> sound_;
  QThread* thread_ = nullptr;
  SinkRunner* runner_ = nullptr;
  PlaybackSource* source_ = nullptr;
  QTimer feed_;
  QTimer watch_;
  qint64 lastProcessed_ = -1;
  QElapsedTimer sinceProgress_;
  QElapsedTimer sinceStart_;
  bool failing_ = false;
  int session_ = 0;  // counts Stop calls: a failure reported late belongs to an old stream
};

}  // namespace reelo
