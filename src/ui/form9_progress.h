// The progress window: a small borderless "please wait" window with one text
// line and a bar, shown over the main window while a TAP file is read or
// written or a WAV file exported.
#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include "project/progress.h"

class QLabel;
class QProgressBar;

namespace reelo {

class Form9 final : public QWidget, public Progress {
  Q_OBJECT

 public:
  // The window is owned by `owner` and centred on it when shown.
  explicit Form9(QWidget* owner);

  void Begin(const std::string& label, long long maximum) override;
  // Sets the bar to exactly the value given. The window is repainted for the
  // first step, the step that reaches the maximum, and otherwise at most once
  // per repaint interval, so thousands of short steps cost next to nothing.
  void Step(long long value) override;
  void End() override;

  // True between Begin and End.
  bool active() const { return active_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void CentreOnOwner();
  void Repaint();

  QLabel* label_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QElapsedTimer sinceRepaint_;
  bool active_ = false;
  bool stepPainted_ = true;
  bool anyStepPainted_ = false;
};

}  // namespace reelo
