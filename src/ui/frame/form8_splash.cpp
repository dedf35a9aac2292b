#include "ui/frame/form8_splash.h"

#include <QLabel>
#include <QPainter>
#include <QTimer>

#include "ui/frame/frame_assets.h"

namespace reelo {
namespace {

// The splash stays up only until the first tick of its timer, which comes
// this long after the splash was first painted.
constexpr int kSplashTimerMs = 1;
// A window system that never asks the splash to paint (nothing to paint on)
// must not hold up the start: the tick then comes this long after showing.
constexpr int kUnpaintedSplashMs = 1000;
// The version label over the picture.
constexpr QRect kLabel1Rect(176, 96, 17, 17);
const QColor kLabel1Text(192, 192, 0);
const QColor kLabel1Back(0, 0, 0);

}  // namespace

Form8::Form8(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), picture_(SplashPicture()) {
  setObjectName(QStringLiteral("Form8"));
  // Closing the splash must not count as closing the program's last window.
  setAttribute(Qt::WA_QuitOnClose, false);
  setFixedSize(kScreenPictureWidth, kScreenPictureHeight);
  CentreOnScreen(*this);

  label_ = new QLabel(VersionText(), this);
  label_->setObjectName(QStringLiteral("Label1"));
  label_->setGeometry(kLabel1Rect);
  label_->setAutoFillBackground(true);
  QPalette colours = label_->palette();
  colours.setColor(QPalette::WindowText, kLabel1Text);
  colours.setColor(QPalette::Window, kLabel1Back);
  label_->setPalette(colours);

  // Form_Load: the timer gets its interval here. It runs from the first
  // paint, so the picture is on the screen before the tick takes it away.
  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("Timer1"));
  timer_->setInterval(kSplashTimerMs);
  connect(timer_, &QTimer::timeout, this, &Form8::Timer1_Timer);
}

void Form8::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  painter.drawPixmap(0, 0, picture_);
  if (!painted_) {
    painted_ = true;
    timer_->start(kSplashTimerMs);
  }
}

void Form8::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!painted_ && !timer_->isActive()) timer_->start(kUnpaintedSplashMs);
}

void Form8::Timer1_Timer() {
  timer_->stop();
  close();
  emit closedByTimer();
}

StartupSequence::StartupSequence(std::function<void()> createMainWindow, QObject* parent)
    : QObject(parent), createMainWindow_(std::move(createMainWindow)) {}

StartupSequence::~StartupSequence() = default;

void StartupSequence::Start() {
  splash_ = std::make_unique<Form8>();
  // Queued: the splash is destroyed after its timer's signal has returned,
  // never from inside its own handler.
  connect(splash_.get(), &Form8::closedByTimer, this, &StartupSequence::SplashClosed, Qt::QueuedConnection);
  splash_->show();
}

void StartupSequence::SplashClosed() {
  splash_.reset();
  if (createMainWindow_) createMainWindow_();
}

}  // namespace reelo
