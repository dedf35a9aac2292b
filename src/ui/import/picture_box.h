// A picture box: a fixed-size widget that keeps what is drawn into it as an
// image of its own (so a drawing survives being covered and can be made before
// the window shows), with its own user scale: x from 0 at the left edge to
// scaleWidth at the right, y from 0 at the top to scaleHeight at the bottom.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QWidget>

namespace reelo {

class PictureBox final : public QWidget {
  Q_OBJECT

 public:
  PictureBox(const QRect& geometry, double scaleWidth, double scaleHeight, QWidget* parent);

  // The pixel of a point given in user coordinates (it may lie outside).
  QPoint ToPixel(double x, double y) const;
  const QImage& image() const { return image_; }
  QImage& canvas() { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  double scaleWidth_;
  double scaleHeight_;
};

// Draws into a picture box in its user coordinates; the box is repainted when
// the drawing is done (at the window's next turn of the event loop).
class UserPainter {
 public:
  explicit UserPainter(PictureBox& box);
  ~UserPainter();
  UserPainter(const UserPainter&) = delete;
  UserPainter& operator=(const UserPainter&) = delete;

  void Clear(const QColor& colour);
  // A filled rectangle between two corners, both corner pixels included, in
  // whichever order the corners come.
  void FillBox(double x1, double y1, double x2, double y2, const QColor& colour);
  // A line that becomes the new drawing position's start: LineTo continues from its end.
  void Line(double x1, double y1, double x2, double y2, const QColor& colour);
  void LineTo(double x, double y, const QColor& colour);
  // Plots one point and makes it the drawing position.
  void Point(double x, double y, const QColor& colour);

 private:
  PictureBox& box_;
  QPainter painter_;
  QPoint position_;
};

}  // namespace reelo
