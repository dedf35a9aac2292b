// Reelo: an editor for ZX Spectrum tape images.
//
//   reelo [FILE...]   opens the first file and adds the others to it
#include <QApplication>
#include <QDir>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ui/app_state.h"
#include "ui/desktop_memory.h"
#include "ui/form1.h"
#include "ui/frame/form8_splash.h"
#include "ui/import/prepared_file.h"
#include "playback_qt/qt_audio_output.h"
#include "ui/qt_prompts.h"
#include "ui/startup.h"

namespace {

// Prints what the command line asked for instead of a run; false when the
// program is to run.
bool AnsweredByText(const reelo::CommandLine& line) {
  if (line.exitCode < 0) return false;
  std::fputs(line.text.c_str(), line.exitCode == 0 ? stdout : stderr);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // A write past the file-size limit then fails with an error the save
  // reports, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);

  // --help and --version need no display. Other complaints wait until Qt has
  // taken its own options (-platform, -style, ...) off the command line.
  QStringList raw;
  for (int i = 1; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
  if (const reelo::CommandLine early = reelo::ParseCommandLine(raw, QDir::currentPath()); early.exitCode == 0) {
    AnsweredByText(early);
    return 0;
  }

  const std::string advice = reelo::NoDisplayAdvice();
  if (!advice.empty()) {
    std::fputs(advice.c_str(), stderr);
    return 1;
  }
  reelo::ProvideRuntimeFolder();

  QApplication app(argc, argv);
  reelo::NameTheProgram();
  QApplication::setWindowIcon(reelo::ProgramIcon());
  reelo::InstallRussianTranslation(app);
  // Prepared recordings that a run which ended abnormally left in the cache folder.
  reelo::RemoveLeftoverPreparedFolders(reelo::ProgramCacheFolder());
  const reelo::CommandLine line = reelo::ParseCommandLine(QCoreApplication::arguments().mid(1), QDir::currentPath());
  if (AnsweredByText(line)) return line.exitCode;

  int code = 0;
  {
    reelo::DesktopMemory memory;
    reelo::WindowPlaces places(memory, reelo::RememberedWindows());
    app.installEventFilter(&places);
    reelo::AppState state;
    reelo::QtPrompts prompts;
    prompts.setMemory(&memory);
    // The splash comes first; the main window is created once it has gone, and
    // opens the files named on the command line once it is on the screen.
    std::unique_ptr<reelo::Form1> form;
    reelo::StartupSequence startup([&] {
      form = std::make_unique<reelo::Form1>(state, prompts);
      prompts.setParentWidget(form.get());
      form->UseDesktopMemory(&memory);
      form->show();
      form->OpenFiles(line.files, false);
    });
    startup.Start();
    code = QApplication::exec();
  }
  // A sound output whose open the sound server never answered leaves a
  // thread waiting inside Qt's sound engine, which exit would tear down
  // under it (libpulse aborts): the program then ends here, its windows and
  // settings already closed.
  if (reelo::SoundOpenStillHeld()) {
    std::fflush(nullptr);
    std::_Exit(code);
  }
  return code;
}
