#include "ui/import/form5_bad_signal.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "ui/import/import_layout.h"
#include "ui/import/picture_box.h"

namespace reelo {
namespace {

constexpr QSize kClientSize = TwipSize(6735, 4470);
constexpr QRect kPictureGeometry = TwipRect(0, 0, 6735, 3135);
constexpr QRect kLabelGeometry = TwipRect(0, 3240, 3735, 255);
// Left of "Остановить загрузку", on its row.
constexpr QRect kApplyToRestGeometry = TwipRect(60, 4080, 4080, 375);

struct ReplyButton {
  const char* name;
  const char* caption;
  QRect geometry;
  QuestionReply reply;
};

constexpr ReplyButton kButtons[] = {
    {"Command4", "Шум", TwipRect(0, 3600, 1650, 375), QuestionReply::Noise},
    {"Command1", "Пилот-тон", TwipRect(1680, 3600, 1650, 375), QuestionReply::Pilot},
    {"Command2", "\"1\"", TwipRect(3360, 3600, 1650, 375), QuestionReply::One},
    {"Command3", "\"0\" / подготовка", TwipRect(5040, 3600, 1650, 375), QuestionReply::Zero},
    {"Command5", "Остановить загрузку", TwipRect(4200, 4080, 2535, 375), QuestionReply::StopLoading},
};

QColor ToColour(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

}  // namespace

Form5::Form5(const QuestionPicture& picture, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("Form5"));
  setWindowTitle(QString::fromUtf8(kQuestionCaption));
  setFixedSize(kClientSize);
  setFont(ImportWindowFont());

  picture_ = new PictureBox(kPictureGeometry, kQuestionScaleWidth, kQuestionScaleHeight, this);
  picture_->setObjectName(QStringLiteral("Picture1"));
  auto* label = new QLabel(QString::fromUtf8(kQuestionText), this);
  label->setObjectName(QStringLiteral("Label1"));
  label->setGeometry(kLabelGeometry);
  applyToRest_ = new QCheckBox(QString::fromUtf8(kApplyToRestText), this);
  applyToRest_->setObjectName(QStringLiteral("Check1"));
  applyToRest_->setGeometry(kApplyToRestGeometry);
  createButtons();
  DrawView(picture);
}

void Form5::createButtons() {
  for (const ReplyButton& entry : kButtons) {
    auto* button = new QPushButton(QString::fromUtf8(entry.caption), this);
    button->setObjectName(QString::fromLatin1(entry.name));
    button->setGeometry(entry.geometry);
    button->setAutoDefault(false);
    const QuestionReply reply = entry.reply;
    connect(button, &QPushButton::clicked, this, [this, reply] { Answer(reply); });
  }
}

// The questioned half-wave as a yellow band, the middle level in red, and the
// samples as one blue polyline that starts from the middle level at x = 0.
void Form5::DrawView(const QuestionPicture& picture) {
  UserPainter painter(*picture_);
  painter.Clear(Qt::white);
  painter.Point(0, kQuestionMiddleLevel, Qt::black);
  painter.FillBox(picture.bandRight, 0, picture.bandLeft, kQuestionScaleHeight, ToColour(kQuestionBandColour));
  painter.Line(kQuestionScaleWidth, kQuestionMiddleLevel, 0, kQuestionMiddleLevel, ToColour(kQuestionMiddleColour));
  for (int i = 0; i < kQuestionSampleCount; ++i) {
    painter.LineTo(i, picture.samples[static_cast<std::size_t>(i)], ToColour(kQuestionLineColour));
  }
}

bool Form5::applyToRest() const { return reply_ != QuestionReply::Closed && applyToRest_->isChecked(); }

void Form5::Answer(QuestionReply reply) {
  reply_ = reply;
  accept();
}

}  // namespace reelo
