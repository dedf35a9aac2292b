// The help page's pictures of the windows, rendered from this build:
//
//   reelo_help_pictures <folder>           writes them (make help-pictures
//                                          writes them into Help/)
//   reelo_help_pictures --check <Help>     renders them again and compares
//                                          each with the page's own picture,
//                                          and checks the page shows each one
//                                          with a Russian caption
//
// The check is a test: a window that changes makes it fail until the help's
// pictures are rendered again, so the help cannot fall behind the program.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <fstream>

#include "../ui_playback/fake_audio_output.h"
#include "scripted_prompts.h"
#include "tape_builders.h"
#include "ui/editor/form12_block_properties.h"
#include "ui/form1.h"
#include "ui/import/form11_load_wav.h"
#include "ui/playback/deck_window.h"
#include "playback_qt/tape_deck.h"
#include "ui/startup.h"
#include "project/header_info.h"

namespace {

using namespace reelo;
using namespace reelo::testing;

constexpr int kSettleMs = 50;
constexpr int kToolTimeoutMs = 30000;
// The recording of the import picture lives here, so the path its window
// shows is the same in every run.
constexpr const char* kRecordingFolder = "/tmp/reelo-help";
constexpr const char* kShownDevice = "Встроенное аудио";
// The recording a little below full scale, as a careful digitisation is.
constexpr const char* kRecordingVolume = "0.5";

// Each picture: its file in Help/ and the caption the page gives it.
struct Picture {
  const char* file;
  const char* what;
};
const Picture kPictures[] = {
    {"main_window.png", "главное окно"},
    {"properties.png", "свойства блока"},
    {"deck.png", "лента играет"},
    {"sound_output.png", "вывод звука"},
    {"import.png", "загрузка из WAV-файла"},
};

void Settle() {
  QApplication::processEvents();
  QThread::msleep(kSettleMs);
  QApplication::processEvents();
}

bool Save(QWidget& widget, const QDir& folder, const char* file) {
  Settle();
  const QString path = folder.filePath(QString::fromLatin1(file));
  const bool ok = widget.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

bool RunTool(const QString& program, const QStringList& arguments) {
  if (QStandardPaths::findExecutable(program).isEmpty()) return false;
  QProcess process;
  process.start(program, arguments);
  return process.waitForFinished(kToolTimeoutMs) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

// A tape of a program, a screen and some code, as a person would load it.
TapeProject SampleTape() {
  TapeProject project;
  project.blocks = {MakeHeader(0, "loader", 120, 10, 120), MakeDataBlock(RandomBytes(120, 1)),
                    MakeHeader(3, "screen", 6912, 16384), MakeDataBlock(RandomBytes(6912, 2)),
                    MakeHeader(3, "game", 30000, 32768), MakeDataBlock(RandomBytes(30000, 3))};
  project.fileName = "/home/user/tapes/game.tap";
  return project;
}

// The main window at its first size with a header chosen (its frame beside
// the list), and that header's properties dialog.
bool ShootEditor(const QDir& folder) {
  ScriptedPrompts prompts;
  AppState state;
  Form1 form(state, prompts);
  form.show();
  state.document.Reset(SampleTape());
  form.findChild<QListWidget*>(QStringLiteral("List1"))->setCurrentRow(2);
  bool ok = Save(form, folder, "main_window.png");
  Form12 dialog(prompts, state.project.blocks[2], DataLengthAfter(state.project, 2), &form);
  dialog.show();
  ok &= Save(dialog, folder, "properties.png");
  return ok;
}

// The deck playing the second block, and its sound output window.
bool ShootDeck(const QDir& folder) {
  FakeAudioOutput output;
  ScriptedPrompts prompts;
  AppState state;
  Form1 form(state, prompts);
  form.UseAudioOutput(output);
  state.document.Reset(SampleTape());
  form.show();
  form.findChild<QAction*>(QStringLiteral("tapeplay"))->trigger();
  output.Play(TapeSignalStream(state.project, SignalOptions{}).blockStart(1) + 30000);
  form.deck().Poll();
  bool ok = Save(form, folder, "deck.png");
  form.findChild<QAction*>(QStringLiteral("tapeoutput"))->trigger();
  // The machine's own devices differ from one machine to the next (and the
  // run has no sound server): the picture shows one typical device instead.
  auto* window = form.findChild<DeckWindow*>(QStringLiteral("DeckWindow"));
  auto* device = window->findChild<QComboBox*>(QStringLiteral("DeckDevice"));
  device->addItem(QString::fromUtf8(kShownDevice));
  device->setEnabled(true);
  window->findChild<QWidget*>(QStringLiteral("DeckNoDevice"))->hide();
  window->adjustSize();
  ok &= Save(*window, folder, "sound_output.png");
  form.findChild<QAction*>(QStringLiteral("tapestop"))->trigger();
  return ok;
}

// The load-from-WAV window with a 16-bit stereo recording chosen: its quality
// report. The recording is a BASIC program by zmakebas, sounded by tape2wav
// and copied by sox, as a sound card would record it.
bool ShootImport(const QDir& folder) {
  QDir work(QString::fromLatin1(kRecordingFolder));
  work.mkpath(QStringLiteral("."));
  qputenv("XDG_CACHE_HOME", work.filePath(QStringLiteral("cache")).toLocal8Bit());
  const QString bas = work.filePath(QStringLiteral("squares.bas"));
  const QString tap = work.filePath(QStringLiteral("squares.tap"));
  const QString mono = work.filePath(QStringLiteral("squares-mono.wav"));
  const QString wav = work.filePath(QStringLiteral("squares.wav"));
  std::ofstream(bas.toStdString()) << "10 REM reelo\n20 FOR i=1 TO 10: PRINT i;\" \";i*i: NEXT i\n30 PAUSE 0\n";
  if (!RunTool(QStringLiteral("zmakebas"), {"-a", "10", "-n", "squares", "-o", tap, bas}) ||
      !RunTool(QStringLiteral("tape2wav"), {"-r", "22050", tap, mono}) ||
      !RunTool(QStringLiteral("sox"), {"-R", "-v", kRecordingVolume, mono, "-r", "44100", "-b", "16", "-c", "2", wav})) {
    std::fprintf(stderr, "zmakebas, tape2wav or sox is missing: no picture of the import\n");
    return false;
  }
  AppState state;
  ScriptedPrompts prompts;
  prompts.PlanFile(wav);
  Form11 form(state, prompts, nullptr);
  form.show();
  form.findChild<QPushButton*>(QStringLiteral("Command5"))->click();
  const bool ok = Save(form, folder, "import.png");
  work.removeRecursively();
  return ok;
}

bool RenderAll(const QDir& folder) {
  bool ok = ShootEditor(folder);
  ok &= ShootDeck(folder);
  ok &= ShootImport(folder);
  return ok;
}

// Each picture as rendered now against the page's; the page shows each with
// a caption in Russian.
int Check(const QDir& help) {
  QTemporaryDir fresh;
  if (!RenderAll(QDir(fresh.path()))) return 1;
  QFile pageFile(help.filePath(QStringLiteral("index.htm")));
  if (!pageFile.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "no help page in %s\n", qPrintable(help.path()));
    return 1;
  }
  const QString page = QString::fromUtf8(pageFile.readAll());
  int failures = 0;
  for (const Picture& picture : kPictures) {
    const QString file = QString::fromLatin1(picture.file);
    const QImage now(QDir(fresh.path()).filePath(file));
    const QImage shown(help.filePath(file));
    const QRegularExpression img(QStringLiteral("<img src=\"%1\"[^>]*alt=\"[^\"]*\\p{Cyrillic}[^\"]*\"").arg(
        QRegularExpression::escape(file)));
    const char* fault = nullptr;
    if (shown.isNull()) {
      fault = "missing from the help folder (make help-pictures renders it)";
    } else if (now.convertToFormat(QImage::Format_RGB32) != shown.convertToFormat(QImage::Format_RGB32)) {
      fault = "differs from this build's window (make help-pictures renders it again)";
    } else if (!page.contains(img)) {
      fault = "not shown on index.htm as <img src=\"...\" alt=\"...\"> with a Russian alt text";
    }
    if (fault) {
      std::fprintf(stderr, "%s (%s): %s\n", picture.file, picture.what, fault);
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // No sound server: the same devices (none) on every machine.
  qputenv("PULSE_SERVER", "unix:/nonexistent/reelo-help-pictures");
  QApplication app(argc, argv);
  InstallRussianTranslation(app);
  const QStringList args = QApplication::arguments();
  if (args.size() == 3 && args[1] == QLatin1String("--check")) return Check(QDir(args[2]));
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: reelo_help_pictures <folder> | --check <Help folder>\n");
    return 2;
  }
  const QDir folder(args[1]);
  if (!QDir().mkpath(folder.path())) return 1;
  return RenderAll(folder) ? 0 : 1;
}
