// The three text viewers (BASIC listing, text, decimal dump) share one window:
// a "Закрыть" button above a read-only text area in a fixed-pitch font that
// fills the rest of the client area. Each is modal with no owner; its Start
// builds the text and returns once the window has been closed.
#pragma once

#include <QDialog>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "project/block_access.h"
#include "project/tape_project.h"

class QPlainTextEdit;
class QPushButton;

namespace reelo {

inline constexpr int kViewerClientWidth = 800;
inline constexpr int kViewerClientHeight = 600;
inline constexpr QRect kViewerButtonGeometry{0, 0, 72, 25};
inline constexpr int kViewerTextTop = 24;
// The text area is this much shorter than the client area, which must be
// taller than this for the area's height to follow it.
inline constexpr int kViewerTextHeightMargin = 25;
// The system's fixed-pitch text face comes first; the others stand in for it
// where it does not exist.
inline constexpr const char* kViewerFontFamilies[] = {"Fixedsys", "DejaVu Sans Mono", "Liberation Mono"};
inline constexpr double kViewerFontPoints = 9.75;
// The buttons' small sans-serif face, so that the longest caption
// ("Цветное изображение") fits its 143-pixel button.
inline constexpr const char* kViewerButtonFontFamilies[] = {"MS Sans Serif", "Liberation Sans", "Arial"};
inline constexpr double kViewerButtonFontPoints = 8.25;

// The text area's geometry once the client area has become `client`: the full
// width; the client height less 25 when the client is taller than 25 pixels,
// else the height it had. The top stays at 24.
QRect TextAreaGeometry(const QRect& current, QSize client);

// The fixed-pitch face of the text areas and the face of the buttons.
QFont ViewerTextFont();
QFont ViewerButtonFont();

class TextViewWindow : public QDialog {
  Q_OBJECT

 public:
  // The text the window shows (replaced into the text area on activation).
  const QString& ViewText() const { return viewText_; }

 protected:
  enum class Wrap { AtRightEdge, None };
  enum class TabOrder { TextFirst, ButtonFirst };

  // `centreOver` is the window to open centred over; nullptr centres the
  // window on the screen. It is not the window's owner.
  TextViewWindow(const char* objectName, const char* caption, Wrap wrap, TabOrder tabOrder,
                 const QWidget* centreOver);

  // Keeps the text and shows the window modally; returns once it is closed.
  void ShowModal(const std::string& viewText);
  // Shows the text given last to ReplaceViewText modally.
  void ShowModal();
  // Puts another text in place of the one shown (the window stays as it is).
  void ReplaceViewText(const std::string& viewText);
  // The same, with the bytes `marks` cover (begin and length in the text,
  // which must be ASCII) drawn apart from the rest: the hidden bytes.
  void ReplaceViewText(const std::string& viewText, const std::vector<std::pair<std::size_t, std::size_t>>& marks);

  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Form_Activate();
  // Puts the text into the text area and draws its marks.
  void ShowViewText();
  void CentreWindow();

  QPushButton* Command1_ = nullptr;
  QPlainTextEdit* Text1_ = nullptr;
  const QWidget* centreOver_ = nullptr;
  QString viewText_;
  std::vector<std::pair<std::size_t, std::size_t>> marks_;
  bool textFresh_ = false;  // set, and not yet seen by an activation
};

}  // namespace reelo
