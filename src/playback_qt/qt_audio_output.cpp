#include "playback_qt/qt_audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QMediaDevices>
#include <algorithm>

namespace reelo {
namespace {

constexpr const char* kDefaultDeviceText = "По умолчанию";
constexpr const char* kNoDevicesReason = "звуковой сервер недоступен или в системе нет устройств вывода звука";
constexpr const char* kDeviceGoneReason = "выбранное устройство больше не подключено";
constexpr const char* kFormatReason = "устройство не принимает звук в этом формате";
constexpr const char* kOpenReason = "звуковой сервер не принял поток";
constexpr const char* kFatalReason = "связь со звуковым сервером потеряна";
constexpr const char* kIoReason = "ошибка при передаче звука устройству";
constexpr const char* kStreamClosedReason = "звуковой сервер закрыл поток (устройство отключено?)";
constexpr const char* kStalledReason = "устройство перестало принимать звук";

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

QtAudioOutput::QtAudioOutput(QObject* parent) : AudioOutput(parent) {
  watch_.setInterval(kWatchInterval);
  connect(&watch_, &QTimer::timeout, this, &QtAudioOutput::Watch);
}

QtAudioOutput::~QtAudioOutput() {
  Stop();
  // Sinks still waiting for the event loop go now: it may not run again.
  // (Their pending deletion is taken back first: a sink's own destructor
  // runs events, and would otherwise delete it a second time.)
  for (const QPointer<QAudioSink>& sink : retired_) {
    if (!sink) continue;
    QCoreApplication::removePostedEvents(sink.data(), QEvent::DeferredDelete);
    delete sink.data();
  }
}

QString QtAudioOutput::Start(QIODevice& source, const AudioFormat& format) {
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

  sink_ = std::make_unique<QAudioSink>(device, audioFormat);
  sink_->setBufferSize(audioFormat.bytesForDuration(qint64{bufferMilliseconds_} * 1000));
  sink_->setVolume(volume_);
  sampleRate_ = format.sampleRate;
  sink_->start(&source);
  if (sink_->state() == QAudio::StoppedState || sink_->error() == QAudio::OpenError ||
      sink_->error() == QAudio::FatalError) {
    const QString reason = ErrorReason(sink_->error());
    sink_.reset();
    return reason.isEmpty() ? Text(kOpenReason) : reason;
  }
  connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
    if (state == QAudio::StoppedState && sink_ && !ErrorReason(sink_->error()).isEmpty()) {
      ReportFailure(ErrorReason(sink_->error()));
    }
  });
  failing_ = false;
  lastProcessed_ = -1;
  sinceProgress_.start();
  watch_.start();
  return {};
}

void QtAudioOutput::Suspend() {
  if (sink_) sink_->suspend();
}

void QtAudioOutput::Resume() {
  if (!sink_) return;
  sink_->resume();
  sinceProgress_.restart();
}

void QtAudioOutput::Stop() {
  watch_.stop();
  ++session_;
  if (!sink_) return;
  sink_->disconnect(this);
  sink_->stop();
  // Deleting a sink runs pending events, which could reach the deck in the
  // middle of a step; so it goes from the event loop.
  retired_.removeAll(nullptr);
  retired_.append(sink_.get());
  sink_.release()->deleteLater();
}

std::uint64_t QtAudioOutput::PlayedSamples() const {
  if (!sink_) return 0;
  const qint64 usecs = sink_->processedUSecs();
  // Rounded to the nearest sample: the server counts bytes, and Qt turns them
  // into whole microseconds, rounded down.
  constexpr std::uint64_t kMicroseconds = 1000000;
  return usecs <= 0 ? 0
                    : (static_cast<std::uint64_t>(usecs) * static_cast<std::uint64_t>(sampleRate_) + kMicroseconds / 2) /
                          kMicroseconds;
}

void QtAudioOutput::SetVolume(double volume) {
  volume_ = std::clamp(volume, 0.0, 1.0);
  if (sink_) sink_->setVolume(volume_);
}

// The sound server does not always tell Qt that a stream died (a device
// unplugged kills it silently), so the stream is watched: a server that
// reports no room at all, or no progress for seconds, has dropped it.
void QtAudioOutput::Watch() {
  if (!sink_ || failing_) return;
  const QAudio::State state = sink_->state();
  if (state != QAudio::ActiveState && state != QAudio::IdleState) {
    sinceProgress_.restart();
    return;
  }
  if (sink_->bytesFree() < 0) {
    ReportFailure(Text(kStreamClosedReason));
    return;
  }
  const qint64 processed = sink_->processedUSecs();
  if (processed != lastProcessed_ || state != QAudio::ActiveState) {
    lastProcessed_ = processed;
    sinceProgress_.restart();
  } else if (sinceProgress_.elapsed() > kStallMilliseconds) {
    ReportFailure(Text(kStalledReason));
  }
}

// Reported from the event loop, so the deck's handler may stop this output.
void QtAudioOutput::ReportFailure(const QString& reason) {
  if (failing_) return;
  failing_ = true;
  const int session = session_;
  QMetaObject::invokeMethod(
      this,
      [this, reason, session] {
        if (session == session_ && sink_) emit Failed(reason);  // not once stopped or started anew
      },
      Qt::QueuedConnection);
}

}  // namespace reelo
