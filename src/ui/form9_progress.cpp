#include "ui/form9_progress.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <algorithm>
#include <climits>

namespace reelo {
namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 56;
constexpr QRect kLabelGeometry{0, 8, 300, 16};
constexpr QRect kBarGeometry{8, 24, 284, 20};
// Repaints closer together than this are skipped (the eye cannot follow them).
constexpr qint64 kRepaintIntervalMs = 16;

int ClampToInt(long long value) { return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX)); }

}  // namespace

Form9::Form9(QWidget* owner) : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("Form9"));
  setFixedSize(kWidth, kHeight);
  setAttribute(Qt::WA_ShowWithoutActivating);

  label_ = new QLabel(this);
  label_->setObjectName(QStringLiteral("Label1"));
  label_->setGeometry(kLabelGeometry);
  label_->setAlignment(Qt::AlignCenter);

  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("ProgressBar1"));
  bar_->setGeometry(kBarGeometry);
  bar_->setTextVisible(false);
  bar_->setRange(0, 0);
}

void Form9::Begin(const std::string& label, long long maximum) {
  label_->setText(QString::fromStdString(label));
  bar_->setRange(0, std::max(0, ClampToInt(maximum)));
  bar_->reset();  // empty until the first step, which may be 0
  active_ = true;
  stepPainted_ = true;
  anyStepPainted_ = false;
  CentreOnOwner();
  show();
  raise();
  Repaint();
}

void Form9::Step(long long value) {
  // QProgressBar repaints itself at once whenever its picture changes; with
  // updates off for the call, it only marks itself for the next repaint.
  bar_->setUpdatesEnabled(false);
  bar_->setValue(ClampToInt(value));
  bar_->setUpdatesEnabled(true);
  stepPainted_ = false;
  if (!anyStepPainted_ || bar_->value() == bar_->maximum() || sinceRepaint_.elapsed() >= kRepaintIntervalMs) {
    anyStepPainted_ = true;
    Repaint();
  }
}

void Form9::End() {
  if (!stepPainted_) Repaint();
  active_ = false;
  hide();
}

void Form9::CentreOnOwner() {
  const QWidget* owner = parentWidget();
  if (!owner) return;
  const QRect ownerRect = owner->isWindow() ? owner->frameGeometry() : owner->window()->frameGeometry();
  move(ownerRect.center() - QPoint(kWidth / 2, kHeight / 2));
}

// Paints now and lets the window system put the picture on the screen. User
// input stays queued until the operation has finished.
void Form9::Repaint() {
  repaint();
  stepPainted_ = true;
  sinceRepaint_.start();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// The raised one-pixel frame: light edges top and left, shadow bottom and right.
void Form9::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int right = width() - 1;
  const int bottom = height() - 1;
  painter.setPen(palette().color(QPalette::Light));
  painter.drawLine(0, 0, right, 0);
  painter.drawLine(0, 0, 0, bottom);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawLine(0, bottom, right, bottom);
  painter.drawLine(right, 0, right, bottom);
}

}  // namespace reelo
