// Reelo: an editor for ZX Spectrum tape images.
#include <QApplication>
#include <csignal>
#include <cstdio>

#include "ui/app_state.h"
#include "ui/form1.h"
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

  reelo::AppState state;
  reelo::QtPrompts prompts;
  reelo::Form1 form(state, prompts);
  prompts.setParentWidget(&form);
  form.show();
  return QApplication::exec();
}
