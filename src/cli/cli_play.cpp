// reelo-cli play: the tape deck without windows, for a small computer wired to
// a Spectrum's EAR socket. Qt Core and Multimedia only: an event loop and the
// sound server's output. Any tape the program reads (TAP, TZX, PZX, CSW) plays
// with each block's own timings; a stop of the tape holds as "pause after each
// block" does, until Enter. The block and the time go to standard error; Enter
// continues after "pause after each block"; Ctrl+C stops the sound and ends
// with status 130 (128 + SIGINT, as a shell reports an interrupted program).
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unistd.h>

#include "cli/commands.h"
#include "playback_qt/qt_audio_output.h"
#include "playback_qt/tape_deck.h"

namespace reelo::cli {
namespace {

constexpr int kExitInterrupted = 128 + SIGINT;
constexpr int kTerminalRefreshMs = 250;
// Nothing else runs here, so a long buffer costs nothing and rides over a busy machine.
constexpr int kBufferMs = 1000;
constexpr const char* kEmptyTapeText = "в ленте нет блоков";
constexpr const char* kFinishedText = "Лента проиграна до конца";
constexpr const char* kInterruptedText = "Остановлено (Ctrl+C)";
constexpr const char* kHeldText = "Пауза после блока. Enter — продолжить, Ctrl+C — остановить.";
constexpr const char* kNoInputText = "стандартный ввод закрыт: продолжить после паузы нечем";

// SIGINT and SIGTERM only write a byte into a pipe; the event loop reads it.
int signalPipe[2] = {-1, -1};
extern "C" void OnStopSignal(int signal) {
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

// Installs the handlers for the life of the object and puts the old ones back.
class StopSignals {
 public:
  StopSignals() {
    if (pipe(signalPipe) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
    installed_ = true;
  }
  ~StopSignals() {
    if (!installed_) return;
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
  }
  int fd() const { return installed_ ? signalPipe[0] : -1; }

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
  bool installed_ = false;
};

// The deck's status on standard error: one line rewritten in place on a
// terminal, otherwise one line each time the block or the state changes.
class StatusPrinter {
 public:
  explicit StatusPrinter(Io& io) : io_(io) {}
  void Show(const TapeDeck& deck, bool force = false) {
    const QString text = DeckStatusText(deck);
    if (text.isEmpty()) return;
    const int block = deck.block();
    const bool paused = deck.state() == DeckState::Paused;
    if (io_.errIsTerminal) {
      io_.err << '\r' << text.toStdString() << "\033[K" << std::flush;
      open_ = true;
    } else if (force || block != lastBlock_ || paused != lastPaused_) {
      io_.err << text.toStdString() << '\n' << std::flush;
    }
    lastBlock_ = block;
    lastPaused_ = paused;
  }
  void Line(const std::string& text) {
    if (open_) io_.err << '\n';
    open_ = false;
    io_.err << text << '\n' << std::flush;
  }

 private:
  Io& io_;
  int lastBlock_ = -1;
  bool lastPaused_ = false;
  bool open_ = false;
};

}  // namespace

int RunPlay(const Args& args, Io& io) {
  const ParsedArgs parsed = ParseArgs(args,
                                      {{"--from", true},
                                       {"--pause-after-block", false},
                                       {"--rate", true},
                                       {"--bits", true},
                                       {"--invert", false},
                                       {"--rom-timings", false}},
                                      1, 1);
  if (!parsed.error.empty()) return UsageError(io, "play", parsed.error);
  SignalOptions options;
  if (!ReadConvertOptions(parsed, true, options, io, "play")) return kExitUsage;
  TapeProject project;
  if (!ReadAnyTape(parsed.positional[0], project, io)) return kExitUsage;
  if (project.blocks.empty()) {
    PrintFailure(io, kEmptyTapeText);
    return kExitNothing;
  }
  long long from = 1;
  if (parsed.has("--from") && !ParseNumber(parsed.value("--from"), 1, project.blockCount(), from)) {
    return UsageError(io, "play", "--from: номер блока от 1 до" + NumberText(project.blockCount()));
  }

  static int argc = 1;
  static char name[] = "reelo-cli";
  static char* argv[] = {name, nullptr};
  std::optional<QCoreApplication> app;
  if (!QCoreApplication::instance()) app.emplace(argc, argv);

  int exitCode = kExitOk;
  {
    StopSignals stopSignals;
    QtAudioOutput output;
    output.setBufferMilliseconds(kBufferMs);
    TapeDeck deck(project, output);
    deck.setOptions(options);
    deck.setPauseAfterBlock(parsed.has("--pause-after-block"));
    StatusPrinter status(io);
    bool inputClosed = false;
    QEventLoop loop;
    bool finished = false;
    auto finish = [&](int code, const std::string& line, const std::string& detail = {}) {
      if (finished) return;
      finished = true;
      deck.Stop();
      if (!detail.empty()) {
        status.Line("");
        PrintFailure(io, line, detail);
      } else {
        status.Line(line);
      }
      exitCode = code;
      loop.quit();
    };

    QObject::connect(&deck, &TapeDeck::Changed, [&] {
      status.Show(deck);
      if (!deck.heldAfterBlock()) return;
      if (inputClosed) {
        finish(kExitUsage, kNoInputText);
      } else {
        status.Line(kHeldText);
      }
    });
    QObject::connect(&deck, &TapeDeck::Finished, [&] { finish(kExitOk, kFinishedText); });
    QObject::connect(&deck, &TapeDeck::Failed,
                     [&](const QString& reason) { finish(kExitUsage, kNoAudioDeviceText, reason.toStdString()); });

    QSocketNotifier stopNotifier(stopSignals.fd(), QSocketNotifier::Read);
    stopNotifier.setEnabled(stopSignals.fd() >= 0);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
      char byte = 0;
      [[maybe_unused]] const ssize_t got = read(stopSignals.fd(), &byte, 1);
      finish(byte == SIGINT ? kExitInterrupted : 128 + byte, kInterruptedText);
    });
    // Enter goes on after a pause at a block's end; other input is read and dropped.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
      char buffer[256];
      const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
      if (got <= 0) {
        input.setEnabled(false);
        inputClosed = true;
        if (deck.heldAfterBlock()) finish(kExitUsage, kNoInputText);
        return;
      }
      if (deck.heldAfterBlock() && std::memchr(buffer, '\n', static_cast<std::size_t>(got))) {
        status.Show(deck, true);
        deck.Continue();
      }
    });
    QTimer refresh;
    QObject::connect(&refresh, &QTimer::timeout, [&] {
      if (io.errIsTerminal) status.Show(deck);
    });
    refresh.start(kTerminalRefreshMs);

    // Started from the loop, so a refusal at once still ends it.
    QTimer::singleShot(0, [&] { deck.Play(static_cast<int>(from) - 1); });
    loop.exec();
  }
  // An open the sound server never answered leaves a thread inside Qt's
  // sound engine, which exit would tear down under it: end here instead.
  if (SoundOpenStillHeld()) {
    io.out.flush();
    io.err.flush();
    std::fflush(nullptr);
    std::_Exit(exitCode);
  }
  return exitCode;
}

}  // namespace reelo::cli
