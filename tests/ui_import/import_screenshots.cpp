// Renders the import windows to PNG files, so a person can look at them: the
// load-from-WAV window before and after the spectrum analysis of a recording
// that tape2wav made (the project's own export when tape2wav or zmakebas is
// missing), the bad-signal question that recording brings up, and the report
// of its decoding; then a 16-bit stereo copy of it (made by sox) as chosen,
// with its quality report, and after fitting the bounds and decoding it
// through the preparation.
//
//   reelo_import_screenshots <folder>
#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <fstream>

#include "project/progress.h"
#include "sound/export/wav_writer.h"
#include "tape_builders.h"
#include "ui/app_state.h"
#include "ui/import/form11_load_wav.h"
#include "ui/import/form5_bad_signal.h"
#include "ui/prompts.h"
#include "ui/startup.h"

namespace {

constexpr int kSettleMs = 50;
constexpr int kToolTimeoutMs = 30000;
constexpr int kQuestionPollMs = 5;

class NoPrompts final : public reelo::Prompts {
 public:
  reelo::Answer Ask(const reelo::MessageSpec& box) override {
    std::fprintf(stderr, "box: %s\n", qPrintable(box.text));
    return reelo::Answer::Ok;
  }
  QString ChooseFile(const reelo::FileDialogSpec&) override { return chosen; }
  QString chosen;  // what the file dialog returns
};

void Save(QWidget& widget, const QString& folder, const QString& name) {
  QApplication::processEvents();
  QThread::msleep(kSettleMs);
  QApplication::processEvents();
  const QString path = QDir(folder).filePath(QStringLiteral("import_%1.png").arg(name));
  if (!widget.grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  std::printf("%s\n", qPrintable(path));
}

bool RunTool(const QString& program, const QStringList& arguments) {
  if (QStandardPaths::findExecutable(program).isEmpty()) return false;
  QProcess process;
  process.start(program, arguments);
  return process.waitForFinished(kToolTimeoutMs) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

// A BASIC program by zmakebas, turned into sound by tape2wav at 22050 samples
// per second; the project's own export of a small tape when either is missing.
QString MakeRecording(const QDir& work) {
  const QString bas = work.filePath(QStringLiteral("prog.bas"));
  const QString tap = work.filePath(QStringLiteral("prog.tap"));
  const QString wav = work.filePath(QStringLiteral("prog.wav"));
  std::ofstream(bas.toStdString()) << "10 REM reelo\n20 FOR i=1 TO 10: PRINT i;\" \";i*i: NEXT i\n30 PAUSE 0\n";
  if (RunTool(QStringLiteral("zmakebas"), {"-a", "10", "-n", "squares", "-o", tap, bas}) &&
      RunTool(QStringLiteral("tape2wav"), {"-r", "22050", tap, wav})) {
    return wav;
  }
  std::fprintf(stderr, "zmakebas or tape2wav missing: using the project's own export\n");
  reelo::TapeProject project;
  reelo::testing::Bytes data = reelo::testing::RandomBytes(300, 1);
  data.front() = 0xFF;
  project.blocks = {reelo::MakeRecord(data)};
  reelo::NullProgress progress;
  reelo::SaveWavFile(project, wav.toStdString(), progress);
  return wav;
}

// A 16-bit stereo 44100 Hz copy, as a sound card records a cassette; empty
// when sox is missing.
QString MakeStereoCopy(const QDir& work, const QString& wav) {
  const QString copy = work.filePath(QStringLiteral("prog-stereo.wav"));
  if (RunTool(QStringLiteral("sox"), {"-R", wav, "-r", "44100", "-b", "16", "-c", "2", copy})) return copy;
  std::fprintf(stderr, "sox missing: no screenshots of a prepared recording\n");
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  reelo::InstallRussianTranslation(app);
  const QStringList args = QApplication::arguments();
  const QString folder = args.size() >= 2 ? args[1] : QStringLiteral("screenshots");
  const QDir work(QDir(folder).filePath(QStringLiteral("import_work")));
  if (!QDir().mkpath(work.path())) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(work.path()));
    return 1;
  }
  // The prepared copies go to the work folder, which is removed at the end.
  qputenv("XDG_CACHE_HOME", work.filePath(QStringLiteral("cache")).toLocal8Bit());
  reelo::AppState state;
  const QString recording = MakeRecording(work);
  state.WavFileName = recording.toStdString();
  NoPrompts prompts;
  reelo::Form11 form(state, prompts, nullptr);
  form.show();
  Save(form, folder, QStringLiteral("form11_before"));
  form.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
  Save(form, folder, QStringLiteral("form11_spectrum"));

  // The first question of the decoding is shown and answered "Шум".
  bool shot = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* question = qobject_cast<reelo::Form5*>(QApplication::activeModalWidget());
    if (!question) return;
    if (!shot) Save(*question, folder, QStringLiteral("form5_question"));
    shot = true;
    question->findChild<QPushButton*>(QStringLiteral("Command4"))->click();
  });
  poll.start(kQuestionPollMs);
  form.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
  poll.stop();
  Save(form, folder, QStringLiteral("form11_decoded"));

  prompts.chosen = MakeStereoCopy(work, recording);
  if (!prompts.chosen.isEmpty()) {
    reelo::Form11 stereo(state, prompts, nullptr);
    stereo.show();
    stereo.findChild<QPushButton*>(QStringLiteral("Command5"))->click();
    Save(stereo, folder, QStringLiteral("form11_stereo_chosen"));
    stereo.findChild<QPushButton*>(QStringLiteral("Command7"))->click();
    poll.start(kQuestionPollMs);
    stereo.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    poll.stop();
    Save(stereo, folder, QStringLiteral("form11_stereo_decoded"));
  }
  QDir(work).removeRecursively();
  return 0;
}
