// The screen picture window: a block's data as a ZX Spectrum screen, drawn at
// twice its size in colour, black on white, or white on black.
#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

#include "project/tape_project.h"
#include "viewers/screen_view.h"

namespace reelo {

inline constexpr int kForm3ClientWidth = 512;
inline constexpr int kForm3ClientHeight = 410;
inline constexpr int kScreenButtonHeight = 25;
// Every Spectrum pixel is a square of this many client pixels a side.
inline constexpr int kScreenPixelSize = 2;
// The picture's first client row, just below the buttons.
inline constexpr int kPictureTop = 25;
inline constexpr QRect kPictureRect{0, kPictureTop, kScreenWidth * kScreenPixelSize, kScreenHeight * kScreenPixelSize};

class Form3 final : public QWidget {
  Q_OBJECT

 public:
  // The window belongs to the main window and closes with it; it is not modal.
  Form3(const TapeProject& project, QWidget* mainWindow);

  // Decodes the block at `index` (nothing is painted yet), returns to colour
  // mode and shows the window.
  void Start(int index);
  // Paints the whole picture in the current mode into the window's image,
  // putting it on the screen column pair by column pair as it goes.
  void draw();
  // Shows the window; one that was closed opens again centred over the main
  // window, one already open comes to the front.
  void ShowModeless();

  ScreenMode DisplayMode() const { return picture_.DisplayMode; }
  // The persistent image of the client area the window repaints itself from.
  const QImage& Image() const { return image_; }

 public slots:
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void createButtons();
  void WaitUntilOnScreen();
  void SetModeAndDraw(ScreenMode mode);
  void PaintColumn(int x);
  void Refresh(int firstColumn, int lastColumn);
  void ClearImage();

  const TapeProject& project_;
  ScreenPicture picture_;
  QImage image_;
};

}  // namespace reelo
