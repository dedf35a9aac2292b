// Layout helpers the import windows share: their designs are given in twips,
// 15 to a pixel.
#pragma once

#include <QFont>
#include <QGroupBox>
#include <QRect>

namespace reelo {

inline constexpr int kTwipsPerPixel = 15;

constexpr QRect TwipRect(int left, int top, int width, int height) {
  return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}

constexpr QSize TwipSize(int width, int height) { return QSize(width / kTwipsPerPixel, height / kTwipsPerPixel); }

// The designs' labels are 13 pixels high and their buttons 25: a small
// sans-serif face fits them.
inline constexpr int kImportFontPixels = 11;

inline QFont ImportWindowFont() {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(kImportFontPixels);
  return font;
}

// A frame with its caption, placed in its parent.
inline QGroupBox* AddFrame(const char* name, const char* title, const QRect& geometry, QWidget* parent) {
  auto* frame = new QGroupBox(QString::fromUtf8(title), parent);
  frame->setObjectName(QString::fromLatin1(name));
  frame->setGeometry(geometry);
  return frame;
}

}  // namespace reelo
