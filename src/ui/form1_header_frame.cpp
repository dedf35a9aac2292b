// The frame at the right of the block list: the fields of the selected block.
// "Информация о заголовке" shows a header's type, start address, data length
// and autostart line; "Информация о блоке" the fields of the other kinds (a
// tone, a pause, a text, a message, the archive information ...). A turbo
// block's timings show in it too, with a button that changes them.
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
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

// One caption and one value per row; labels are made as rows first need them
// and hidden (and unnamed, so that no one finds a stale one) when not used.
void Form1::ShowFieldRows(const std::vector<BlockField>& rows) {
  while (headerValues_.size() < rows.size()) {
    const int top = kFirstRowTop + static_cast<int>(headerValues_.size()) * kRowHeight;
    auto* caption = new QLabel(headerFrame_);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    caption->setGeometry(kCaptionLeft, top, kCaptionWidth, kFieldHeight);
    auto* value = new QLabel(headerFrame_);
    value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    value->setGeometry(kValueLeft, top, kValueWidth, kFieldHeight);
    headerCaptions_.push_back(caption);
    headerValues_.push_back(value);
  }
  for (std::size_t i = 0; i < headerValues_.size(); ++i) {
    QLabel* caption = headerCaptions_[i];
    QLabel* value = headerValues_[i];
    const bool used = i < rows.size();
    caption->setVisible(used);
    value->setVisible(used);
    if (!used) {
      value->setObjectName(QString());
      continue;
    }
    caption->setText(QString::fromStdString(rows[i].caption));
    value->setObjectName(QStringLiteral("Frame1_") + QString::fromStdString(rows[i].key));
    // A text longer than the field ends in "..."; its tooltip holds it whole.
    const QString full = QString::fromStdString(rows[i].value);
    const QString shown = value->fontMetrics().elidedText(full, Qt::ElideRight, kValueWidth - kValueFrameRoom);
    value->setText(shown);
    value->setToolTip(shown == full ? QString() : full);
  }
}

// The frame shows while the first selected block has fields to show (every
// block but a plain data record). The first time it needs room the window
// grows, so that the list keeps the width of a new window beside it; the
// window never shrinks by itself.
void Form1::ShowHeaderInfo() {
  if (!headerFrame_) return;
  const TapeBlock& block = BlockAt(state_.project, SelectedBlock());
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
