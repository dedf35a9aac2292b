// What the splash and About windows share: the program's version as they show
// it, their two screen pictures, and centring on the screen.
#pragma once

#include <QPixmap>
#include <QString>

class QWidget;

namespace reelo {

// Both pictures are a Spectrum screen: 256 x 192 pixels.
inline constexpr int kScreenPictureWidth = 256;
inline constexpr int kScreenPictureHeight = 192;

// The version the windows show ("1.2"), the project's version.
QString VersionText();

// The compiled-in pictures; a null pixmap only if the resources were left
// out of the build.
QPixmap SplashPicture();
QPixmap AboutPicture();

// Places a top-level window in the middle of the primary screen's free area.
void CentreOnScreen(QWidget& window);

}  // namespace reelo
