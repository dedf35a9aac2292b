// The sound output driven line by line from standard input, for the sound
// server tests: what Start answered and how long it held the caller, then
// whether the output plays, fails (and why) or stays silent; and the longest
// time the event loop went without running (what a window would feel).
//   select NAME   the device whose name contains NAME for the next play
//   play          Start on an endless tone
//   stop          Stop
//   quit
// Each answer is one line on standard output: "start <ms> ok|<reason>",
// "playing <ms>", "failed <ms> <reason>", "stopped <ms>", "gap <ms>".
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QAudioDevice>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "playback_qt/qt_audio_output.h"

namespace {

// 8-bit unsigned samples of a square tone, for ever.
class Tone final : public reelo::PlaybackSource {
 public:
  std::size_t Read(std::uint8_t* data, std::size_t maxBytes) override {
    for (std::size_t i = 0; i < maxBytes; ++i, ++phase_) data[i] = phase_ / 13 % 2 ? 159 : 95;
    return maxBytes;
  }
  void OutputFailed(const std::string&) override {}  // the probe hears of it through the output's signal

 private:
  std::size_t phase_ = 0;
};

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  reelo::QtAudioOutput output;
  Tone tone;
  QElapsedTimer sinceStart;
  bool playing = false;

  // The longest stretch the event loop did not run, since the last report.
  QElapsedTimer sinceTick;
  sinceTick.start();
  qint64 longestGap = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    longestGap = std::max(longestGap, sinceTick.restart());
    if (sinceStart.isValid() && !playing && output.PlayedSamples() > 2205) {
      playing = true;
      Say("playing " + std::to_string(sinceStart.elapsed()));
    }
  });
  tick.start(10);
  QObject::connect(&output, &reelo::QtAudioOutput::Failed, [&](const QString& reason) {
    Say("failed " + std::to_string(sinceStart.elapsed()) + " " + reason.toStdString());
    output.Stop();
  });

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  std::string pending;
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[256];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
      app.quit();
      return;
    }
    pending.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
      const std::string line = pending.substr(0, end);
      QElapsedTimer held;
      held.start();
      if (line.rfind("select ", 0) == 0) {
        const QString name = QString::fromStdString(line.substr(7));
        for (const QAudioDevice& device : QMediaDevices::audioOutputs()) {
          if (QString::fromUtf8(device.id()).contains(name)) output.setDevice(device.id());
        }
        Say("selected " + output.device().toStdString());
      } else if (line == "play") {
        playing = false;
        sinceStart.start();
        const std::string refused = output.Start(tone, reelo::AudioFormat{});
        Say("start " + std::to_string(held.elapsed()) + " " + (refused.empty() ? "ok" : refused));
      } else if (line == "stop") {
        output.Stop();
        sinceStart.invalidate();
        Say("stopped " + std::to_string(held.elapsed()));
      } else if (line == "gap") {
        Say("gap " + std::to_string(longestGap));
        longestGap = 0;
      } else if (line == "quit") {
        app.quit();
      }
    }
  });
  Say("ready");
  return app.exec();
}
