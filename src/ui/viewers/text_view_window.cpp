#include "ui/viewers/text_view_window.h"

#include <QColor>
#include <QEvent>
#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCharFormat>
#include <QTextCursor>
#include <algorithm>
#include <span>
#include <utility>

#include "ui/startup.h"
#include "ui/window_helpers.h"

namespace reelo {
namespace {

QFont FontOf(std::span<const char* const> families, double points, QFont::StyleHint hint) {
  QFont font;
  QStringList names;
  for (const char* family : families) names << QString::fromLatin1(family);
  font.setFamilies(names);
  font.setStyleHint(hint);
  font.setPointSizeF(points);
  return font;
}

// Hidden bytes: dark magenta on a pale ground.
const QColor kMarkColour(0x90, 0x10, 0x70);
const QColor kMarkGround(0xF4, 0xE6, 0xF0);

}  // namespace

QFont ViewerTextFont() {
  QFont font = FontOf(kViewerFontFamilies, kViewerFontPoints, QFont::Monospace);
  font.setFixedPitch(true);
  return font;
}

QFont ViewerButtonFont() {
  return FontOf(kViewerButtonFontFamilies, kViewerButtonFontPoints, QFont::SansSerif);
}

QRect TextAreaGeometry(const QRect& current, QSize client) {
  const int height = client.height() > kViewerTextHeightMargin ? client.height() - kViewerTextHeightMargin
                                                                : current.height();
  return {0, kViewerTextTop, client.width(), height};
}

TextViewWindow::TextViewWindow(const char* objectName, const char* caption, Wrap wrap, TabOrder tabOrder,
                               const QWidget* centreOver)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                           Qt::WindowCloseButtonHint),
      centreOver_(centreOver) {
  setObjectName(QString::fromLatin1(objectName));
  setWindowTitle(QString::fromUtf8(caption));
  setWindowIcon(ProgramIcon());
  setSizeGripEnabled(false);

  Text1_ = new QPlainTextEdit(this);
  Text1_->setObjectName(QStringLiteral("Text1"));
  Text1_->setReadOnly(true);
  Text1_->setFont(ViewerTextFont());
  Text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  if (wrap == Wrap::AtRightEdge) {
    Text1_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  } else {
    Text1_->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  }
  Text1_->setGeometry(0, kViewerTextTop, kViewerClientWidth, kViewerClientHeight - kViewerTextHeightMargin);

  Command1_ = new QPushButton(QStringLiteral("Закрыть"), this);
  Command1_->setObjectName(QStringLiteral("Command1"));
  Command1_->setGeometry(kViewerButtonGeometry);
  Command1_->setFont(ViewerButtonFont());
  Command1_->setAutoDefault(false);
  connect(Command1_, &QPushButton::clicked, this, &QDialog::reject);

  if (tabOrder == TabOrder::TextFirst) {
    QWidget::setTabOrder(Text1_, Command1_);
    Text1_->setFocus();
  } else {
    QWidget::setTabOrder(Command1_, Text1_);
    Command1_->setFocus();
  }
  resize(kViewerClientWidth, kViewerClientHeight);
}

// The builders end lines with CR LF (the listing ends a line cut off by the
// end of the data with LF alone); the text area takes CR LF, a lone CR and a
// lone LF each as one line break. The text goes in before the window shows,
// so it is there even where the window system never activates the window.
void TextViewWindow::ShowModal(const std::string& viewText) {
  ReplaceViewText(viewText);
  ShowModal();
}

void TextViewWindow::ShowModal() {
  textFresh_ = true;
  CentreWindow();
  exec();
}

void TextViewWindow::ReplaceViewText(const std::string& viewText) { ReplaceViewText(viewText, {}); }

void TextViewWindow::ReplaceViewText(const std::string& viewText,
                                     const std::vector<std::pair<std::size_t, std::size_t>>& marks) {
  viewText_ = QString::fromUtf8(viewText.data(), static_cast<qsizetype>(viewText.size()));
  marks_ = marks;
  ShowViewText();
}

// The marks in a colour of their own on a tinted ground, so that hidden bytes
// stand apart from the program text in any colour scheme.
void TextViewWindow::ShowViewText() {
  Text1_->setPlainText(viewText_);
  if (marks_.empty()) return;
  QTextCharFormat format;
  format.setForeground(kMarkColour);
  format.setBackground(kMarkGround);
  QTextCursor cursor(Text1_->document());
  cursor.beginEditBlock();
  const auto size = static_cast<std::size_t>(viewText_.size());
  for (const auto& [begin, length] : marks_) {
    if (begin >= size) break;
    cursor.setPosition(static_cast<int>(begin));
    cursor.setPosition(static_cast<int>(std::min(size, begin + length)), QTextCursor::KeepAnchor);
    cursor.setCharFormat(format);
  }
  cursor.endEditBlock();
}

// Every activation puts the whole text back, as a fresh look at the block.
// The first one finds it freshly set already (laying out a long text twice
// would double the wait for the window).
void TextViewWindow::Form_Activate() {
  if (!std::exchange(textFresh_, false)) ShowViewText();
}

bool TextViewWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) Form_Activate();
  return QDialog::event(event);
}

void TextViewWindow::resizeEvent(QResizeEvent* event) {
  Text1_->setGeometry(TextAreaGeometry(Text1_->geometry(), size()));
  QDialog::resizeEvent(event);
}

void TextViewWindow::CentreWindow() { reelo::CentreWindow(*this, centreOver_); }

}  // namespace reelo
