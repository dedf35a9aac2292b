// Renders the splash window, the About window (one frame of its stripes) and
// the help window with the help page of the current folder to PNG files, so a
// person can look at them.
//
//   reelo_frame_screenshots <folder>
#include <QApplication>
#include <QDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "ui/frame/form4_about.h"
#include "ui/frame/form8_splash.h"
#include "ui/frame/help_page.h"
#include "ui/frame/help_window.h"
#include "ui/startup.h"

namespace {

constexpr int kSettleMs = 50;

bool Save(QWidget& window, const QString& folder, const char* name) {
  QApplication::processEvents();
  QThread::msleep(kSettleMs);
  QApplication::processEvents();
  const QString path = QDir(folder).filePath(QStringLiteral("frame_%1.png").arg(QString::fromLatin1(name)));
  if (!window.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  reelo::InstallRussianTranslation(app);
  const QStringList args = QApplication::arguments();
  const QString folder = args.size() >= 2 ? args[1] : QStringLiteral("screenshots");
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
    return 1;
  }

  reelo::Form8 splash;
  // Shown without its timer: the picture is taken before the first tick.
  splash.findChild<QTimer*>(QStringLiteral("Timer1"))->blockSignals(true);
  splash.show();
  bool saved = Save(splash, folder, "form8_splash");
  splash.close();

  reelo::Form4 about;
  about.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
  about.Timer1_Timer();
  about.show();
  saved = Save(about, folder, "form4_about") && saved;
  about.close();

  reelo::HelpWindow help(nullptr);
  if (!help.ShowPage(reelo::HelpPageUrl(reelo::HelpFolders()))) {
    std::fprintf(stderr, "no help page in %s\n", qPrintable(QDir::currentPath()));
    return 1;
  }
  help.show();
  saved = Save(help, folder, "help_window") && saved;
  help.ShowPage(reelo::HelpPageUrl(reelo::HelpFolders()).resolved(QUrl(QStringLiteral("#file"))));
  saved = Save(help, folder, "help_window_file") && saved;
  return saved ? 0 : 1;
}
