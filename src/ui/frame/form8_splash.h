// The splash window Form8 and the start of a run: the splash is the first
// window; at its timer's first tick it closes and is destroyed, and only then
// is the main window created and shown. The two are never on screen together.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QTimer;

namespace reelo {

class Form8 final : public QWidget {
  Q_OBJECT

 public:
  // Borderless, without a taskbar button, 256 x 192, centred on the screen.
  explicit Form8(QWidget* parent = nullptr);

 signals:
  // Timer1 has ticked for the first time and the window has closed itself.
  void closedByTimer();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Timer1_Timer();

  QPixmap picture_;
  bool painted_ = false;
  QLabel* label_ = nullptr;
  QTimer* timer_ = nullptr;
};

class StartupSequence final : public QObject {
  Q_OBJECT

 public:
  // `createMainWindow` creates and shows the main window; it runs once, after
  // the splash has gone.
  explicit StartupSequence(std::function<void()> createMainWindow, QObject* parent = nullptr);
  ~StartupSequence() override;

  // Creates and shows the splash. Call once, before the event loop runs.
  void Start();
  // The splash while it exists, else null.
  Form8* splash() const { return splash_.get(); }

 private:
  void SplashClosed();

  std::function<void()> createMainWindow_;
  std::unique_ptr<Form8> splash_;
};

}  // namespace reelo
