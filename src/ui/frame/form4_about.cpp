#include "ui/frame/form4_about.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <random>

#include "ui/frame/frame_assets.h"
#include "ui/startup.h"

namespace reelo {
namespace {

constexpr int kClientWidth = 337;
constexpr int kClientHeight = 241;
constexpr int kAnimationMs = 20;
// A band is 8 rows: 4 of its first colour, then 4 of the second (its second
// rectangle is 8 rows high, and the next band paints over the lower 4).
constexpr int kBandStep = 8;
constexpr int kFirstRectBottom = 3;
constexpr int kSecondRectTop = 4;
constexpr int kSecondRectBottom = 11;
constexpr int kStripeRight = 337;
constexpr double kSecondColouringFrom = 0.5;
const QColor kYellow(255, 255, 0);
const QColor kDarkBlue(0, 0, 128);

constexpr QPoint kPicture2Pos(40, 24);
const QColor kPicture2Back(0, 255, 0);
constexpr QRect kLabel2Rect(144, 78, 33, 17);
const QColor kLabel2Text(0, 0, 0);
const QColor kLabel2Back(192, 192, 192);

void SetColours(QWidget& widget, const QColor& text, const QColor& back) {
  QPalette colours = widget.palette();
  colours.setColor(QPalette::WindowText, text);
  colours.setColor(QPalette::Window, back);
  widget.setPalette(colours);
  widget.setAutoFillBackground(true);
}

// A click: the button went up over the widget it went down on.
bool IsClick(const QMouseEvent& event, const QWidget& widget) {
  return event.button() == Qt::LeftButton && widget.rect().contains(event.position().toPoint());
}

// Picture1: the striped area under the whole client area. Any key while it has
// the focus, or a click on it, closes the window.
class StripeArea final : public QWidget {
 public:
  StripeArea(QDialog& window) : QWidget(&window), window_(window) {
    setObjectName(QStringLiteral("Picture1"));
    setGeometry(0, 0, kClientWidth, kClientHeight);
    setFocusPolicy(Qt::StrongFocus);
    SetColours(*this, Qt::black, kYellow);
  }

  void ShowBands(const StripeBands& bands) {
    bands_ = bands;
    painted_ = true;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!painted_) return;  // the yellow background until the first tick
    QPainter painter(this);
    for (int band = 0; band < kStripeBands; ++band) {
      const int top = band * kBandStep;
      const QColor& first = bands_[static_cast<size_t>(band)] ? kDarkBlue : kYellow;
      const QColor& second = bands_[static_cast<size_t>(band)] ? kYellow : kDarkBlue;
      painter.fillRect(QRect(QPoint(0, top), QPoint(kStripeRight, top + kFirstRectBottom)), first);
      painter.fillRect(QRect(QPoint(0, top + kSecondRectTop), QPoint(kStripeRight, top + kSecondRectBottom)),
                       second);
    }
  }
  void keyPressEvent(QKeyEvent*) override { window_.close(); }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (IsClick(*event, *this)) window_.close();
  }

 private:
  QDialog& window_;
  StripeBands bands_{};
  bool painted_ = false;
};

// Picture2: the About picture over the middle of the stripes. A click closes
// the window; keys do nothing while it has the focus.
class PictureArea final : public QWidget {
 public:
  PictureArea(QDialog& window) : QWidget(&window), window_(window), picture_(AboutPicture()) {
    setObjectName(QStringLiteral("Picture2"));
    setGeometry(QRect(kPicture2Pos, QSize(kScreenPictureWidth, kScreenPictureHeight)));
    setFocusPolicy(Qt::StrongFocus);
    SetColours(*this, Qt::black, kPicture2Back);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
  }
  // Taken, so a key never reaches the window (whose keys close it).
  void keyPressEvent(QKeyEvent* event) override { event->accept(); }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (IsClick(*event, *this)) window_.close();
  }

 private:
  QDialog& window_;
  QPixmap picture_;
};

}  // namespace

RandomSource DefaultRandomSource() {
  auto engine = std::make_shared<std::mt19937>();
  return [engine] { return std::generate_canonical<double, 53>(*engine); };
}

StripeBands DrawStripeBands(const RandomSource& random) {
  StripeBands bands{};
  for (bool& second : bands) second = random() >= kSecondColouringFrom;
  return bands;
}

Form4::Form4(QWidget* parent, RandomSource random)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      random_(random ? std::move(random) : DefaultRandomSource()) {
  setObjectName(QStringLiteral("Form4"));
  setWindowTitle(QString::fromUtf8("О программе"));
  setWindowIcon(ProgramIcon());
  setFixedSize(kClientWidth, kClientHeight);
  CentreOnScreen(*this);

  auto* picture1 = new StripeArea(*this);
  picture1_ = picture1;
  auto* picture2 = new PictureArea(*this);
  auto* label2 = new QLabel(VersionText(), picture2);
  label2->setObjectName(QStringLiteral("Label2"));
  label2->setGeometry(kLabel2Rect);
  SetColours(*label2, kLabel2Text, kLabel2Back);
  label2->installEventFilter(this);
  setTabOrder(picture1, picture2);
  picture1->setFocus();

  // Form_Load: the animation runs from now until the window closes.
  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("Timer1"));
  timer_->setInterval(kAnimationMs);
  connect(timer_, &QTimer::timeout, this, &Form4::Timer1_Timer);
  timer_->start();
}

void Form4::Timer1_Timer() {
  bands_ = DrawStripeBands(random_);
  static_cast<StripeArea*>(picture1_)->ShowBands(bands_);
}

void Form4::keyPressEvent(QKeyEvent*) { close(); }

bool Form4::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
      return true;
    default:
      return QDialog::eventFilter(watched, event);
  }
}

void Form4::done(int result) {
  timer_->stop();
  QDialog::done(result);
}

}  // namespace reelo
