#include "ui/viewers/form3_screen.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPushButton>
#include <QThread>
#include <QWindow>

#include "ui/startup.h"
#include "ui/viewers/text_view_window.h"

namespace reelo {
namespace {

struct ButtonDesign {
  const char* name;
  const char* caption;
  int left;
  int width;
  void (Form3::*handler)();
};

const ButtonDesign kButtons[] = {
    {"Command1", "Закрыть", 0, 72, &Form3::Command1_Click},
    {"Command2", "Цветное изображение", 72, 143, &Form3::Command2_Click},
    {"Command3", "Чёрным по белому", 216, 143, &Form3::Command3_Click},
    {"Command4", "Белым по чёрному", 360, 143, &Form3::Command4_Click},
};

// A window just shown is put on the screen by the window system a moment
// later; until then nothing painted into it reaches the screen.
constexpr qint64 kMaxExposeWaitMs = 500;
constexpr unsigned long kExposePollMs = 1;

QRgb ToRgb(std::uint32_t colour) { return qRgb(RedOf(colour), GreenOf(colour), BlueOf(colour)); }

}  // namespace

Form3::Form3(const TapeProject& project, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                              Qt::MSWindowsFixedSizeDialogHint),
      project_(project),
      image_(kForm3ClientWidth, kForm3ClientHeight, QImage::Format_RGB32) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("Просмотр в виде скриншота"));
  setWindowIcon(ProgramIcon());
  setFixedSize(kForm3ClientWidth, kForm3ClientHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);  // the image covers the whole client area
  ClearImage();
  createButtons();
}

void Form3::createButtons() {
  for (const ButtonDesign& design : kButtons) {
    auto* button = new QPushButton(QString::fromUtf8(design.caption), this);
    button->setObjectName(QString::fromLatin1(design.name));
    button->setGeometry(design.left, 0, design.width, kScreenButtonHeight);
    button->setFont(ViewerButtonFont());
    connect(button, &QPushButton::clicked, this, design.handler);
  }
}

void Form3::ShowModeless() {
  const bool opening = !isVisible();
  if (opening && parentWidget()) move(parentWidget()->window()->frameGeometry().center() - rect().center());
  show();
  raise();
  activateWindow();
  if (opening) WaitUntilOnScreen();
}

// Lets the window system map a newly shown window, so that the refreshes of
// the first draw show the picture building up. Input stays queued meanwhile.
void Form3::WaitUntilOnScreen() {
  QElapsedTimer waited;
  waited.start();
  while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < kMaxExposeWaitMs) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!windowHandle()->isExposed()) QThread::msleep(kExposePollMs);
  }
}

void Form3::Start(int index) {
  picture_ = DecodeScreen(BlockAt(project_, index));
  picture_.DisplayMode = ScreenMode::Colour;
  ShowModeless();
}

void Form3::draw() {
  int firstUnshown = 0;
  for (int x = 0; x < kScreenWidth; ++x) {
    PaintColumn(x);
    if (x % 2 == 0) {
      Refresh(firstUnshown, x);
      firstUnshown = x + 1;
    }
  }
  // The last column goes on the screen with the next repaint.
  update(QRect(kScreenPixelSize * firstUnshown, kPictureTop, kScreenPixelSize * (kScreenWidth - firstUnshown),
               kPictureRect.height()));
}

// Fills the 2 x 2 squares of column x straight into the image's pixels.
void Form3::PaintColumn(int x) {
  const int left = kScreenPixelSize * x;
  for (int y = 0; y < kScreenHeight; ++y) {
    const QRgb rgb = ToRgb(ScreenPixelColour(picture_, x, y));
    const int top = kPictureTop + kScreenPixelSize * y;
    for (int row = top; row < top + kScreenPixelSize; ++row) {
      auto* line = reinterpret_cast<QRgb*>(image_.scanLine(row));
      for (int column = left; column < left + kScreenPixelSize; ++column) line[column] = rgb;
    }
  }
}

// Puts columns firstColumn..lastColumn of the picture on the screen now.
void Form3::Refresh(int firstColumn, int lastColumn) {
  repaint(QRect(kScreenPixelSize * firstColumn, kPictureTop, kScreenPixelSize * (lastColumn - firstColumn + 1),
                kPictureRect.height()));
}

void Form3::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = event->rect();
  painter.drawImage(area, image_, area);
}

// A closed window opens again blank, as a new one would.
void Form3::closeEvent(QCloseEvent* event) {
  ClearImage();
  event->accept();
}

void Form3::ClearImage() { image_.fill(palette().color(QPalette::Button)); }

void Form3::SetModeAndDraw(ScreenMode mode) {
  picture_.DisplayMode = mode;
  draw();
}

void Form3::Command1_Click() { close(); }
void Form3::Command2_Click() { SetModeAndDraw(ScreenMode::Colour); }
void Form3::Command3_Click() { SetModeAndDraw(ScreenMode::BlackOnWhite); }
void Form3::Command4_Click() { SetModeAndDraw(ScreenMode::WhiteOnBlack); }

}  // namespace reelo
