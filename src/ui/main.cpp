// Reelo: an editor for ZX Spectrum tape images.
#include <QApplication>
#include <csignal>
#include <cstdio>
#include <memory>

#include "ui/app_state.h"
#include "ui/form1.h"
#include "ui/frame/form8_splash.h"
#include "ui/import/prepared_file.h"
#include "ui/qt_prompts.h"
#include "ui/startup.h"

int main(int argc, char** argv) {
  // A write past the file-size limit then fails with an error the save
  // reports, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);

  const std::string advice = reelo::NoDisplayAdvice();
  if (!advice.empty()) {
    std::fputs(advice.c_str(), stderr);
    return 1;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(reelo::kProgramTitle));
  QApplication::setWindowIcon(reelo::ProgramIcon());
  reelo::InstallRussianTranslation(app);
  // Prepared recordings that a run which ended abnormally left in the cache folder.
  reelo::RemoveLeftoverPreparedFolders(reelo::ProgramCacheFolder());

  reelo::AppState state;
  reelo::QtPrompts prompts;
  // The splash comes first; the main window is created once it has gone.
  std::unique_ptr<reelo::Form1> form;
  reelo::StartupSequence startup([&] {
    form = std::make_unique<reelo::Form1>(state, prompts);
    prompts.setParentWidget(form.get());
    form->show();
  });
  startup.Start();
  return QApplication::exec();
}
