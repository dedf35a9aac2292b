// The frame at the right of the block list: the fields of the selected block.
// "Информация о заголовке" shows a header's type, start address, data length
// and autostart line; "Информация о блоке" the fields of the other kinds (a
// tone, a pause, a text, a message, the archive information ...). A turbo
// block's timings show in it too, with a button that changes them in a
// dialog; they, and the timings of pure data, a tone and a pulse sequence,
// can also be typed in place: Enter (or leaving the field) makes the change
// one undoable step, a value out of range is refused with a box.
#include <QAction>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "project/block_access.h"
#include "project/block_fields.h"
#include "project/block_kinds.h"
#include "ui/block_list_widget.h"
#include "ui/form1.h"

namespace reelo {
namespace {

constexpr int kFrameWidth = 177;
constexpr int kCaptionLeft = 4;
constexpr int kCaptionWidth = 60;
constexpr int kValueLeft = 68;
constexpr int kValueWidth = 105;
constexpr int kFirstRowTop = 16;
constexpr int kRowHeight = 18;
constexpr int kFieldHeight = 17;
// Below the last row, and below the button.
constexpr int kRowsBottomMargin = 1;
constexpr int kButtonBottomMargin = 5;
constexpr int kButtonHeight = 22;
constexpr int kButtonGap = 4;
// Room the sunken frame of a value takes from its text.
constexpr int kValueFrameRoom = 6;

constexpr const char* kTimingsCaption = "Скорость блока...";
// The title of the box that refuses a typed timing, the timings dialog's.
constexpr const char* kTypedTimingTitle = "Скорость блока";
constexpr const char* kTypedTimingHint = "Введите новое значение и нажмите Enter (Esc - отмена)";

}  // namespace

void Form1::createHeaderFrame() {
  headerFrame_ = new QGroupBox(QStringLiteral("Информация о заголовке"), client_);
  headerFrame_->setObjectName(QStringLiteral("Frame1"));
  headerFrame_->resize(kFrameWidth, kFirstRowTop + 4 * kRowHeight + kRowsBottomMargin);
  headerTimings_ = new QPushButton(QString::fromUtf8(kTimingsCaption), headerFrame_);
  headerTimings_->setObjectName(QStringLiteral("Frame1_Timings"));
  headerTimings_->setToolTip(QStringLiteral("Изменить скорость турбо-блока"));
  headerTimings_->hide();
  connect(headerTimings_, &QPushButton::clicked, this, &Form1::Frame1_Timings_Click);
  headerFrame_->hide();
}

// One caption and one value per row, the value a line edit where the user
// may type it; labels and edits are made as rows first need them and hidden
// (and unnamed, so that no one finds a stale one) when not used.
void Form1::ShowFieldRows(const std::vector<BlockField>& rows) {
  while (headerRows_.size() < rows.size()) {
    const std::size_t index = headerRows_.size();
    const int top = kFirstRowTop + static_cast<int>(index) * kRowHeight;
    FrameRow row;
    row.caption = new QLabel(headerFrame_);
    row.caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row.caption->setGeometry(kCaptionLeft, top, kCaptionWidth, kFieldHeight);
    row.value = new QLabel(headerFrame_);
    row.value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    row.value->setGeometry(kValueLeft, top, kValueWidth, kFieldHeight);
    row.edit = new QLineEdit(headerFrame_);
    row.edit->setGeometry(kValueLeft, top, kValueWidth, kFieldHeight);
    row.edit->setTextMargins(0, 0, 0, 0);
    row.edit->setToolTip(QString::fromUtf8(kTypedTimingHint));
    row.edit->hide();
    row.edit->installEventFilter(this);
    connect(row.edit, &QLineEdit::editingFinished, this, [this, index] { Frame1_Field_Change(index); });
    headerRows_.push_back(row);
  }
  for (std::size_t i = 0; i < headerRows_.size(); ++i) {
    FrameRow& row = headerRows_[i];
    const bool used = i < rows.size();
    const bool typed = used && rows[i].editable;
    row.caption->setVisible(used);
    row.value->setVisible(used && !typed);
    row.edit->setVisible(typed);
    row.value->setObjectName(QString());
    row.edit->setObjectName(QString());
    if (!used) continue;
    row.key = rows[i].key;
    row.caption->setText(QString::fromStdString(rows[i].caption));
    const QString name = QStringLiteral("Frame1_") + QString::fromStdString(rows[i].key);
    const QString full = QString::fromStdString(rows[i].value);
    if (typed) {
      row.edit->setObjectName(name);
      row.shown = full;
      row.edit->setText(full);
      row.edit->setCursorPosition(0);
      row.edit->setReadOnly(state_.document.locked());
      continue;
    }
    row.value->setObjectName(name);
    // A text longer than the field ends in "..."; its tooltip holds it whole.
    const QString shown = row.value->fontMetrics().elidedText(full, Qt::ElideRight, kValueWidth - kValueFrameRoom);
    row.value->setText(shown);
    row.value->setToolTip(shown == full ? QString() : full);
  }
}

void Form1::Frame1_Field_Change(std::size_t index) {
  if (applyingField_ || index >= headerRows_.size()) return;
  FrameRow& row = headerRows_[index];
  const QString typed = row.edit->text();
  const int block = headerBlock_;
  if (typed == row.shown || block < 0 || block >= state_.project.blockCount()) return;
  const FieldEdit edit = WithFieldText(BlockAt(state_.project, block), row.key, typed.toStdString());
  if (!edit.status.ok()) {
    // The field shows the block's value before the box takes the focus.
    row.edit->setText(row.shown);
    row.edit->setCursorPosition(0);
    ShowResult(edit.status, kTypedTimingTitle);
    return;
  }
  const std::string key = row.key;
  // Enter keeps the focus in the field; a field left for another keeps none.
  const bool focused = row.edit->hasFocus();
  row.shown = typed;
  applyingField_ = true;
  const EditResult result = state_.document.Replace({{block, edit.block}});
  applyingField_ = false;
  ShowEdit(result);
  // The field shows the value as the block now has it (a refused step: the
  // old one); after Enter it keeps the focus for the next value.
  ShowHeaderInfo();
  for (FrameRow& shown : headerRows_) {
    if (focused && shown.key == key && shown.edit->isVisible()) shown.edit->setFocus();
  }
}

bool Form1::FrameFieldKey(std::size_t index, QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
  FrameRow& row = headerRows_[index];
  const auto* key = static_cast<const QKeyEvent*>(event);
  if (event->type() == QEvent::KeyPress && key->key() == Qt::Key_Escape) {
    row.edit->setText(row.shown);
    row.edit->selectAll();
    return true;
  }
  if (event->type() != QEvent::ShortcutOverride) return false;
  // Enter ends the typing here instead of opening the block's properties.
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    event->accept();
    return true;
  }
  if (row.edit->text() != row.shown) return false;
  // Left unaccepted, the key goes on to the window's action.
  const QKeySequence pressed(key->keyCombination());
  for (const char* name : {"editundo", "editredo"}) {
    if (actions_.value(QString::fromLatin1(name))->shortcuts().contains(pressed)) return true;
  }
  return false;
}

// The frame shows while the first selected block has fields to show (every
// block but a plain data record). The first time it needs room the window
// grows, so that the list keeps the width of a new window beside it; the
// window never shrinks by itself.
void Form1::ShowHeaderInfo() {
  if (!headerFrame_) return;
  headerBlock_ = SelectedBlock();
  const TapeBlock& block = BlockAt(state_.project, headerBlock_);
  const BlockFields fields = BlockFieldsOf(block);
  const bool show = !fields.rows.empty();
  if (show) {
    headerFrame_->setTitle(QString::fromStdString(fields.title));
    headerFrame_->setToolTip(QString::fromStdString(TurboTimingsText(block)));
    ShowFieldRows(fields.rows);
    const int rowsBottom = kFirstRowTop + static_cast<int>(fields.rows.size()) * kRowHeight;
    headerTimings_->setVisible(fields.turbo);
    headerTimings_->setGeometry(kCaptionLeft, rowsBottom + kButtonGap, kValueLeft + kValueWidth - kCaptionLeft, kButtonHeight);
    headerFrame_->resize(kFrameWidth, fields.turbo ? rowsBottom + kButtonGap + kButtonHeight + kButtonBottomMargin
                                                   : rowsBottom + kRowsBottomMargin);
  }
  if (show == headerFrame_->isVisibleTo(this)) return;
  headerFrame_->setVisible(show);
  const int missing = kClientWidth + kHeaderFrameRoom - client_->width();
  if (show && missing > 0 && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
    resize(width() + missing, height());
  }
  Form_Resize();
}

}  // namespace reelo
