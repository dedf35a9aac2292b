#include "ui/window_helpers.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace reelo {

void CentreWindow(QWidget& window, const QWidget* over) {
  QRect area;
  if (over) {
    area = over->window()->frameGeometry();
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) window.move(area.center() - window.rect().center());
}

void ShowOpResult(Prompts& prompts, const OpResult& result, const char* title) {
  if (result.kind == OpResult::Kind::Ok) return;
  const BoxIcon icon = result.ok() ? BoxIcon::Warning : BoxIcon::Critical;
  prompts.Ask({QString::fromStdString(result.message), QString::fromUtf8(title), Buttons::Ok, icon,
               QString::fromStdString(result.detail)});
}

}  // namespace reelo
