// The About window Form4: the About picture in a border of yellow and dark
// blue stripes that are drawn afresh at random every 20 ms, like the border of
// a Spectrum loading a tape. Any key (while the stripes have the focus) or a
// click on the stripes or the picture closes it.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

class QTimer;

namespace reelo {

// A number drawn uniformly from [0, 1) for each band of each frame.
using RandomSource = std::function<double()>;
// An unseeded generator: the same sequence in every run, as nothing depends on it.
RandomSource DefaultRandomSource();

inline constexpr int kStripeBands = 31;
// Per band, top to bottom: true for the second colouring (dark blue above
// yellow), taken when the band's number is 0.5 or more.
using StripeBands = std::array<bool, kStripeBands>;
StripeBands DrawStripeBands(const RandomSource& random);

class Form4 final : public QDialog {
  Q_OBJECT

 public:
  // `random` feeds the stripes; empty means DefaultRandomSource().
  explicit Form4(QWidget* parent = nullptr, RandomSource random = {});

  // One frame of the animation: new bands, painted at once.
  void Timer1_Timer();
  const StripeBands& bands() const { return bands_; }

 protected:
  // Form_KeyDown: a key while the window itself has the focus closes it.
  void keyPressEvent(QKeyEvent* event) override;
  // The version label swallows clicks, so they never reach the picture.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void done(int result) override;

 private:
  RandomSource random_;
  StripeBands bands_{};
  QWidget* picture1_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace reelo
