#include "playback_qt/qt_audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace reelo {
namespace {

constexpr const char* kDefaultDeviceText = "По умолчанию";
constexpr const char* kNoDevicesReason = "звуковой сервер недоступен или в системе нет устройств вывода звука";
constexpr const char* kDeviceGoneReason = "выбранное устройство больше не подключено";
constexpr const char* kFormatReason = "устройство не принимает звук в этом формате";
constexpr const char* kOpenReason = "звуковой сервер не принял поток";
constexpr const char* kNoAnswerReason = "звуковой сервер не открыл поток за 3 секунды (не отвечает или отказал)";
constexpr const char* kFatalReason = "связь со звуковым сервером потеряна";
constexpr const char* kIoReason = "ошибка при передаче звука устройству";
constexpr const char* kStreamClosedReason = "звуковой сервер закрыл поток (устройство отключено?)";
constexpr const char* kStalledReason = "устройство перестало принимать звук";

// How often the sink's thread tells what the sink has played, and how long
// the output's destructor waits for that thread to close the stream.
constexpr int kPublishInterval = 20;
constexpr int kCloseWaitMilliseconds = 1000;
// The least kept ready for the sink, whatever its buffer.
constexpr int kLeastFeedMilliseconds = 50;

// Sound threads inside Qt's open right now, and sound threads not yet ended.
std::atomic<int> opensUnderway{0};
std::atomic<int> threadsRunning{0};

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

QString ErrorReason(QAudio::Error error) {
  switch (error) {
    case QAudio::OpenError:
      return Text(kOpenReason);
    case QAudio::IOError:
      return Text(kIoReason);
    case QAudio::FatalError:
      return Text(kFatalReason);
    case QAudio::NoError:
    case QAudio::UnderrunError:
      break;
  }
  return {};
}

}  // namespace

// What the caller's thread and the sink's thread share: how the opening went,
// the samples handed over, and what the sink has played.
struct SoundSession {
  enum class Stage { Opening, Open, Refused, Abandoned };
  std::mutex mutex;
  std::condition_variable answered;
  Stage stage = Stage::Opening;  // under mutex
  QString reason;                // under mutex: why the stream was refused or dropped
  QByteArray ready;              // under mutex: samples not yet taken by the sink
  std::atomic<qint64> processedUSecs{0};
  std::atomic<int> state{QAudio::StoppedState};
  std::atomic<qint64> bytesFree{0};
  std::atomic<bool> dropped{false};  // the server dropped the open stream (reason says why)
};

namespace {

// The sink's source on its own thread: the samples the caller handed over.
class FeedDevice final : public QIODevice {
 public:
  FeedDevice(std::shared_ptr<SoundSession> sound, QObject* parent) : QIODevice(parent), sound_(std::move(sound)) {}
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override {
    std::lock_guard lock(sound_->mutex);
    return sound_->ready.size() + QIODevice::bytesAvailable();
  }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    std::lock_guard lock(sound_->mutex);
    const qint64 n = std::min<qint64>(maxSize, sound_->ready.size());
    std::memcpy(data, sound_->ready.constData(), static_cast<std::size_t>(n));
    sound_->ready.remove(0, n);
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  std::shared_ptr<SoundSession> sound_;
};

}  // namespace

// Opens, runs and closes the sink on the sound thread.
class SinkRunner final : public QObject {
 public:
  SinkRunner(std::shared_ptr<SoundSession> sound, const QAudioDevice& device, const QAudioFormat& format,
             qsizetype bufferBytes, double volume)
      : sound_(std::move(sound)),
        device_(device),
        format_(format),
        bufferBytes_(bufferBytes),
        volume_(volume),
        publish_(this) {  // a child, so it moves to the sound thread with the runner
    connect(&publish_, &QTimer::timeout, this, &SinkRunner::Publish);
  }

  QAudioSink* sink() const { return sink_.get(); }
  void DataArrived() {
    if (feed_) emit feed_->readyRead();  // a sink that ran dry reads again
  }

  // Runs when the thread starts. Qt's open waits here for the server.
  void Open() {
    feed_ = new FeedDevice(sound_, this);
    feed_->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    sink_ = std::make_unique<QAudioSink>(device_, format_);
    sink_->setBufferSize(bufferBytes_);
    sink_->setVolume(volume_);
    ++opensUnderway;
    sink_->start(feed_);
    --opensUnderway;
    const QAudio::Error error = sink_->error();
    const bool refused =
        sink_->state() == QAudio::StoppedState || error == QAudio::OpenError || error == QAudio::FatalError;
    bool abandoned = false;
    {
      std::lock_guard lock(sound_->mutex);
      abandoned = sound_->stage == SoundSession::Stage::Abandoned;
      if (!abandoned) {
        sound_->stage = refused ? SoundSession::Stage::Refused : SoundSession::Stage::Open;
        sound_->reason = refused ? (ErrorReason(error).isEmpty() ? Text(kOpenReason) : ErrorReason(error)) : QString();
      }
    }
    sound_->answered.notify_all();
    if (refused || abandoned) {
      CloseSink();
      return;
    }
    connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
      if (state == QAudio::StoppedState && sink_ && !ErrorReason(sink_->error()).isEmpty()) {
        {
          std::lock_guard lock(sound_->mutex);
          sound_->reason = ErrorReason(sink_->error());
        }
        sound_->dropped = true;
      }
      Publish();
    });
    Publish();
    publish_.start(kPublishInterval);
  }

  // The last call on this thread: the stream closed, the thread ends.
  void Close() {
    CloseSink();
    thread()->quit();
  }

 private:
  void CloseSink() {
    publish_.stop();
    if (!sink_) return;
    sink_->disconnect(this);
    sink_->stop();
    sink_.reset();
    sound_->state = QAudio::StoppedState;
  }

  void Publish() {
    if (!sink_) return;
    const QAudio::State state = sink_->state();
    sound_->state = state;
    sound_->bytesFree = state == QAudio::ActiveState || state == QAudio::IdleState ? sink_->bytesFree() : 0;
    sound_->processedUSecs = sink_->processedUSecs();
  }

  std::shared_ptr<SoundSession> sound_;
  QAudioDevice device_;
  QAudioFormat format_;
  qsizetype bufferBytes_;
  double volume_;
  std::unique_ptr<QAudioSink> sink_;
  FeedDevice* feed_ = nullptr;
  QTimer publish_;
};

bool SoundOpenStillHeld() { return opensUnderway > 0 || threadsRunning > 0; }

QList<AudioDeviceChoice> AudioOutputChoices() {
  const QList<QAudioDevice> devices = QMediaDevices::audioOutputs();
  QList<AudioDeviceChoice> choices;
  if (devices.isEmpty()) return choices;
  const QAudioDevice fallback = QMediaDevices::defaultAudioOutput();
  const QString name = fallback.isNull() ? devices.first().description() : fallback.description();
  choices.append({{}, Text(kDefaultDeviceText) + QStringLiteral(" (") + name + QStringLiteral(")")});
  for (const QAudioDevice& device : devices) choices.append({device.id(), device.description()});
  return choices;
}

QtAudioOutput::QtAudioOutput(QObject* parent) : QObject(parent) {
  watch_.setInterval(kWatchInterval);
  connect(&watch_, &QTimer::timeout, this, &QtAudioOutput::Watch);
  feed_.setInterval(kFeedInterval);
  connect(&feed_, &QTimer::timeout, this, &QtAudioOutput::Feed);
}

QtAudioOutput::~QtAudioOutput() {
  QThread* last = thread_;
  Stop();
  // The stream is closed before the program goes on (and perhaps ends); a
  // thread still held by a server that does not answer is left to it.
  if (last) last->wait(kCloseWaitMilliseconds);
}

template <typename F>
void QtAudioOutput::OnSinkThread(F f) {
  if (!runner_) return;
  QMetaObject::invokeMethod(
      runner_,
      [runner = runner_, f] {
        if (QAudioSink* sink = runner->sink()) f(*sink);
      },
      Qt::QueuedConnection);
}

std::string QtAudioOutput::Start(PlaybackSource& source, const AudioFormat& format) {
  return Open(source, format).toStdString();
}

QString QtAudioOutput::Open(PlaybackSource& source, const AudioFormat& format) {
  Stop();
  // A device that has gone would make the sound server refuse the stream
  // while Qt waits for it to open, so it is looked up in the present list.
  const QList<QAudioDevice> devices = QMediaDevices::audioOutputs();
  if (devices.isEmpty()) return Text(kNoDevicesReason);
  QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) device = devices.first();
  if (!deviceId_.isEmpty()) {
    const auto chosen = std::find_if(devices.begin(), devices.end(),
                                     [this](const QAudioDevice& d) { return d.id() == deviceId_; });
    if (chosen == devices.end()) return Text(kDeviceGoneReason);
    device = *chosen;
  }
  QAudioFormat audioFormat;
  audioFormat.setSampleRate(format.sampleRate);
  audioFormat.setChannelCount(1);
  audioFormat.setSampleFormat(format.bitsPerSample == 16 ? QAudioFormat::Int16 : QAudioFormat::UInt8);
  if (!device.isFormatSupported(audioFormat)) return Text(kFormatReason);

  sampleRate_ = format.sampleRate;
  const int bytesPerSample = format.bitsPerSample == 16 ? 2 : 1;
  const qint64 feedSamples = qint64{format.sampleRate} * std::max(bufferMilliseconds_ / 2, kLeastFeedMilliseconds) / 1000;
  feedBytes_ = feedSamples * bytesPerSample;
  source_ = &source;
  sound_ = std::make_shared<SoundSession>();
  // The thread has no parent: one held for ever by a server that never
  // answers is never destroyed while it runs.
  thread_ = new QThread;
  runner_ = new SinkRunner(sound_, device, audioFormat,
                           audioFormat.bytesForDuration(qint64{bufferMilliseconds_} * 1000), volume_);
  runner_->moveToThread(thread_);
  connect(thread_, &QThread::started, runner_, &SinkRunner::Open);
  connect(thread_, &QThread::finished, runner_, &QObject::deleteLater);
  connect(thread_, &QThread::finished, thread_, &QObject::deleteLater);
  // Counted down on the sound thread itself, as it ends.
  connect(thread_, &QThread::finished, [] { --threadsRunning; });
  ++threadsRunning;
  Feed();  // the first samples wait for the sink
  sinceStart_.start();
  thread_->start();

  QString refusal;
  {
    std::unique_lock lock(sound_->mutex);
    sound_->answered.wait_for(lock, std::chrono::milliseconds(kQuickOpenMilliseconds),
                              [this] { return sound_->stage != SoundSession::Stage::Opening; });
    if (sound_->stage == SoundSession::Stage::Refused) refusal = sound_->reason;
  }
  if (!refusal.isEmpty()) {
    Stop();
    return refusal;
  }
  // Still opening: the window goes on; Watch reports a refusal or silence.
  failing_ = false;
  lastProcessed_ = -1;
  sinceProgress_.start();
  feed_.start();
  watch_.start();
  return {};
}

void QtAudioOutput::Suspend() {
  OnSinkThread([](QAudioSink& sink) { sink.suspend(); });
}

void QtAudioOutput::Resume() {
  OnSinkThread([](QAudioSink& sink) { sink.resume(); });
  sinceProgress_.restart();
}

void QtAudioOutput::Stop() {
  feed_.stop();
  watch_.stop();
  ++session_;
  source_ = nullptr;
  if (!thread_) return;
  {
    std::lock_guard lock(sound_->mutex);
    if (sound_->stage == SoundSession::Stage::Opening) sound_->stage = SoundSession::Stage::Abandoned;
    sound_->ready.clear();
  }
  // Queued behind anything asked before; a thread still in the server's
  // open gets to it when (if ever) the open returns.
  SinkRunner* runner = runner_;
  QMetaObject::invokeMethod(runner, [runner] { runner->Close(); }, Qt::QueuedConnection);
  thread_ = nullptr;
  runner_ = nullptr;
  sound_.reset();
}

std::uint64_t QtAudioOutput::PlayedSamples() const {
  if (!sound_) return 0;
  const qint64 usecs = sound_->processedUSecs;
  // Rounded to the nearest sample: the server counts bytes, and Qt turns them
  // into whole microseconds, rounded down.
  constexpr std::uint64_t kMicroseconds = 1000000;
  return usecs <= 0 ? 0
                    : (static_cast<std::uint64_t>(usecs) * static_cast<std::uint64_t>(sampleRate_) + kMicroseconds / 2) /
                          kMicroseconds;
}

void QtAudioOutput::SetVolume(double volume) {
  volume_ = std::clamp(volume, 0.0, 1.0);
  OnSinkThread([volume = volume_](QAudioSink& sink) { sink.setVolume(volume); });
}

// Hands the sink's thread what the deck has ready, up to feedBytes_ ahead.
void QtAudioOutput::Feed() {
  if (!sound_ || !source_) return;
  qint64 room = 0;
  {
    std::lock_guard lock(sound_->mutex);
    room = feedBytes_ - sound_->ready.size();
  }
  if (room <= 0) return;
  QByteArray chunk(room, Qt::Uninitialized);
  const auto got = static_cast<qint64>(
      source_->Read(reinterpret_cast<std::uint8_t*>(chunk.data()), static_cast<std::size_t>(room)));
  if (got <= 0) return;
  {
    std::lock_guard lock(sound_->mutex);
    sound_->ready.append(chunk.constData(), got);
  }
  if (runner_) {
    QMetaObject::invokeMethod(runner_, [runner = runner_] { runner->DataArrived(); }, Qt::QueuedConnection);
  }
}

// The sound server does not always tell Qt that a stream died (a device
// unplugged kills it silently), so the stream is watched: a server that
// reports no room at all, or no progress for seconds, has dropped it. A
// stream still being opened is given kOpenMilliseconds.
void QtAudioOutput::Watch() {
  if (!sound_ || failing_) return;
  SoundSession::Stage stage = SoundSession::Stage::Opening;
  QString reason;
  {
    std::lock_guard lock(sound_->mutex);
    stage = sound_->stage;
    reason = sound_->reason;
  }
  if (stage == SoundSession::Stage::Opening) {
    if (sinceStart_.elapsed() > kOpenMilliseconds) ReportFailure(Text(kNoAnswerReason));
    return;
  }
  if (stage == SoundSession::Stage::Refused || sound_->dropped) {
    ReportFailure(reason.isEmpty() ? Text(kOpenReason) : reason);
    return;
  }
  const auto state = static_cast<QAudio::State>(sound_->state.load());
  if (state != QAudio::ActiveState && state != QAudio::IdleState) {
    sinceProgress_.restart();
    return;
  }
  if (sound_->bytesFree < 0) {
    ReportFailure(Text(kStreamClosedReason));
    return;
  }
  const qint64 processed = sound_->processedUSecs;
  if (processed != lastProcessed_ || state != QAudio::ActiveState) {
    lastProcessed_ = processed;
    sinceProgress_.restart();
  } else if (sinceProgress_.elapsed() > kStallMilliseconds) {
    ReportFailure(Text(kStalledReason));
  }
}

// Reported from the event loop, so the deck may stop this output there.
void QtAudioOutput::ReportFailure(const QString& reason) {
  if (failing_) return;
  failing_ = true;
  const int session = session_;
  QMetaObject::invokeMethod(
      this,
      [this, reason, session] {
        if (session != session_ || !sound_) return;  // not once stopped or started anew
        if (source_) source_->OutputFailed(reason.toStdString());
        emit Failed(reason);
      },
      Qt::QueuedConnection);
}

}  // namespace reelo
