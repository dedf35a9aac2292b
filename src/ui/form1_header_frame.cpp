// The frame "Информация о заголовке" at the right of the block list: the type,
// start address, data length and autostart line of the selected header.
#include <QGroupBox>
#include <QLabel>

#include "project/block_access.h"
#include "project/block_kinds.h"
#include "project/header_info.h"
#include "ui/block_list_widget.h"
#include "ui/form1.h"

namespace reelo {
namespace {

constexpr QSize kFrameSize{177, 89};
constexpr int kCaptionLeft = 4;
constexpr int kCaptionWidth = 60;
constexpr int kValueLeft = 68;
constexpr int kValueWidth = 105;
constexpr int kFirstRowTop = 16;
constexpr int kRowHeight = 18;
constexpr int kFieldHeight = 17;

constexpr const char* kCaptions[] = {"Тип:", "Старт:", "Размер:", "Запуск:"};
constexpr const char* kValueNames[] = {"Frame1_Type", "Frame1_Start", "Frame1_Size", "Frame1_Autostart"};

QString OptionalNumber(const std::optional<int>& value) {
  return value ? QString::number(*value) : QString();
}

}  // namespace

void Form1::createHeaderFrame() {
  headerFrame_ = new QGroupBox(QStringLiteral("Информация о заголовке"), client_);
  headerFrame_->setObjectName(QStringLiteral("Frame1"));
  headerFrame_->resize(kFrameSize);
  for (int row = 0; row < 4; ++row) {
    const int top = kFirstRowTop + row * kRowHeight;
    auto* caption = new QLabel(QString::fromUtf8(kCaptions[row]), headerFrame_);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    caption->setGeometry(kCaptionLeft, top, kCaptionWidth, kFieldHeight);
    headerValues_[row] = new QLabel(headerFrame_);
    headerValues_[row]->setObjectName(QString::fromLatin1(kValueNames[row]));
    headerValues_[row]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    headerValues_[row]->setGeometry(kValueLeft, top, kValueWidth, kFieldHeight);
  }
  headerFrame_->hide();
}

// The frame shows while the first selected block is a header. The first time
// it needs room the window grows, so that the list keeps the width of a new
// window beside it; the window never shrinks by itself.
void Form1::ShowHeaderInfo() {
  if (!headerFrame_) return;
  const TapeBlock& block = BlockAt(state_.project, SelectedBlock());
  const std::optional<HeaderInfo> info = ReadHeader(block);
  headerFrame_->setToolTip(QString::fromStdString(TurboTimingsText(block)));
  if (info) {
    headerValues_[0]->setText(QString::fromStdString(info->typeName));
    headerValues_[1]->setText(OptionalNumber(info->start));
    headerValues_[2]->setText(QString::number(info->dataLength));
    headerValues_[3]->setText(OptionalNumber(info->autostart));
  }
  if (info.has_value() == headerFrame_->isVisibleTo(this)) return;
  headerFrame_->setVisible(info.has_value());
  const int missing = kClientWidth + kHeaderFrameRoom - client_->width();
  if (info && missing > 0 && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
    resize(width() + missing, height());
  }
  Form_Resize();
}

}  // namespace reelo
