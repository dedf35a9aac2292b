// Visits the next modal window a command opens. As soon as it shows, `look`
// runs on it (it should only record what it sees: a failed check inside a
// timer callback would not stop the window), then its "Закрыть" button
// (Command1) is clicked. A watchdog closes every modal window after a few
// seconds whatever happens, so a window that does not close cannot hang the
// test; forced() then tells the test.
#pragma once

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace reelo::testing {

class ModalVisit {
 public:
  static constexpr int kPollMs = 5;
  static constexpr int kWatchdogMs = 5000;

  explicit ModalVisit(std::function<void(QWidget*)> look) : look_(std::move(look)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
    poll_.start(kPollMs);
    watchdog_.setSingleShot(true);
    QObject::connect(&watchdog_, &QTimer::timeout, [this] { CloseEverything(); });
    watchdog_.start(kWatchdogMs);
  }

  bool visited() const { return visited_; }
  bool forced() const { return forced_; }

 private:
  void Poll() {
    QWidget* window = QApplication::activeModalWidget();
    if (visited_ || !window || !window->isVisible()) return;
    visited_ = true;
    if (look_) look_(window);
    if (auto* close = window->findChild<QPushButton*>(QStringLiteral("Command1"))) {
      QTest::mouseClick(close, Qt::LeftButton);
    }
  }
  void CloseEverything() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->isVisible() && window->isModal()) {
        forced_ = true;
        window->close();
      }
    }
  }

  std::function<void(QWidget*)> look_;
  QTimer poll_;
  QTimer watchdog_;
  bool visited_ = false;
  bool forced_ = false;
};

}  // namespace reelo::testing
