#include "ui/frame/frame_assets.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

// The resource registration of the pictures; it has to be named outside any
// namespace, and a static library's resources stay out of the program unless
// something calls it.
static void RegisterFramePictures() { Q_INIT_RESOURCE(frame); }

namespace reelo {
namespace {

QPixmap LoadPicture(const char* path) {
  static const bool registered = (RegisterFramePictures(), true);
  (void)registered;
  return QPixmap(QString::fromLatin1(path));
}

}  // namespace

QString VersionText() { return QStringLiteral(REELO_VERSION_TEXT); }

QPixmap SplashPicture() { return LoadPicture(":/pictures/splash.png"); }

QPixmap AboutPicture() { return LoadPicture(":/pictures/about.png"); }

void CentreOnScreen(QWidget& window) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    window.move(screen->availableGeometry().center() - window.rect().center());
  }
}

}  // namespace reelo
