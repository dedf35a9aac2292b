#include "ui/import/picture_box.h"

#include <algorithm>
#include <cmath>

namespace reelo {

PictureBox::PictureBox(const QRect& geometry, double scaleWidth, double scaleHeight, QWidget* parent)
    : QWidget(parent),
      image_(geometry.size(), QImage::Format_RGB32),
      scaleWidth_(scaleWidth),
      scaleHeight_(scaleHeight) {
  setGeometry(geometry);
  setAttribute(Qt::WA_OpaquePaintEvent);
  image_.fill(Qt::black);
}

QPoint PictureBox::ToPixel(double x, double y) const {
  return {static_cast<int>(std::lround(x * image_.width() / scaleWidth_)),
          static_cast<int>(std::lround(y * image_.height() / scaleHeight_))};
}

void PictureBox::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.drawImage(0, 0, image_);
}

UserPainter::UserPainter(PictureBox& box) : box_(box), painter_(&box.canvas()) {
  painter_.setRenderHint(QPainter::Antialiasing, false);
}

UserPainter::~UserPainter() {
  painter_.end();
  box_.update();
}

void UserPainter::Clear(const QColor& colour) {
  painter_.fillRect(box_.image().rect(), colour);
  position_ = {};
}

void UserPainter::FillBox(double x1, double y1, double x2, double y2, const QColor& colour) {
  const QPoint a = box_.ToPixel(x1, y1);
  const QPoint b = box_.ToPixel(x2, y2);
  const QRect rect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                   QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
  painter_.fillRect(rect, colour);
}

void UserPainter::Line(double x1, double y1, double x2, double y2, const QColor& colour) {
  position_ = box_.ToPixel(x1, y1);
  LineTo(x2, y2, colour);
}

void UserPainter::LineTo(double x, double y, const QColor& colour) {
  const QPoint to = box_.ToPixel(x, y);
  painter_.setPen(QPen(colour, 0));
  painter_.drawLine(position_, to);
  position_ = to;
}

void UserPainter::Point(double x, double y, const QColor& colour) {
  position_ = box_.ToPixel(x, y);
  painter_.setPen(QPen(colour, 0));
  painter_.drawPoint(position_);
}

}  // namespace reelo
