#include "ui/editor/form12_block_properties.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/window_helpers.h"

namespace reelo {
namespace {

constexpr const char* kTitle = "Свойства блока";
constexpr int kFieldWidth = 160;
constexpr const char* kSaveAnywayQuestion = "Всё равно изменить заголовок?";

// The types the dialog offers, in the order of their type bytes.
constexpr const char* kTypeNames[] = {"Program", "Number array", "Character array", "Bytes"};

const char* ParameterCaption(int type) {
  switch (type) {
    case kProgramType: return "Строка запуска:";
    case kNumberArrayType:
    case kCharacterArrayType: return "Имя массива:";
    case kBytesType: return "Адрес загрузки:";
    default: return "Параметр:";
  }
}

const char* ParameterHint(int type) {
  switch (type) {
    case kProgramType: return "пусто: без автозапуска";
    case kNumberArrayType:
    case kCharacterArrayType: return "буква a-z";
    case kBytesType: return "0-65535";
    default: return "";
  }
}

// A whole decimal number, or nothing for any other text.
std::optional<int> WholeNumber(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  return ok ? std::optional<int>(value) : std::nullopt;
}

OpResult NotANumber(const char* field) {
  return OpResult::Fail(std::string("В поле «") + field + "» должно быть целое число");
}

}  // namespace

Form12::Form12(Prompts& prompts, const TapeBlock& header, std::optional<int> dataLengthAfter, QWidget* parent)
    : QDialog(parent), prompts_(prompts), header_(header), dataLengthAfter_(dataLengthAfter) {
  setObjectName(QStringLiteral("Form12"));
  setWindowTitle(QString::fromUtf8(kTitle));
  createControls();
  if (const std::optional<HeaderInfo> info = ReadHeader(header_)) fillFrom(*info);
  TypeBox_Change();
  LengthEdit_Change();
}

void Form12::createControls() {
  typeBox_ = new QComboBox(this);
  typeBox_->setObjectName(QStringLiteral("TypeBox"));
  for (int type = 0; type < static_cast<int>(std::size(kTypeNames)); ++type) {
    typeBox_->addItem(QString::fromLatin1(kTypeNames[type]), type);
  }
  nameEdit_ = new QLineEdit(this);
  nameEdit_->setObjectName(QStringLiteral("NameEdit"));
  nameEdit_->setMaxLength(kNameLength);
  parameterLabel_ = new QLabel(this);
  parameterEdit_ = new QLineEdit(this);
  parameterEdit_->setObjectName(QStringLiteral("ParameterEdit"));
  lengthEdit_ = new QLineEdit(this);
  lengthEdit_->setObjectName(QStringLiteral("LengthEdit"));
  dataLengthButton_ = new QPushButton(this);
  dataLengthButton_->setObjectName(QStringLiteral("DataLengthButton"));
  dataLengthButton_->setAutoDefault(false);
  lengthMark_ = new QLabel(this);
  lengthMark_->setObjectName(QStringLiteral("LengthMark"));
  lengthMark_->setStyleSheet(QStringLiteral("color: #c00000"));
  lengthMark_->setWordWrap(true);
  for (QWidget* field : {static_cast<QWidget*>(typeBox_), static_cast<QWidget*>(nameEdit_),
                         static_cast<QWidget*>(parameterEdit_), static_cast<QWidget*>(lengthEdit_)}) {
    field->setFixedWidth(kFieldWidth);
  }

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Тип:"), typeBox_);
  form->addRow(QStringLiteral("Имя:"), nameEdit_);
  form->addRow(parameterLabel_, parameterEdit_);
  auto* lengthRow = new QHBoxLayout;
  lengthRow->addWidget(lengthEdit_);
  lengthRow->addWidget(dataLengthButton_);
  form->addRow(QStringLiteral("Длина:"), lengthRow);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OkButton"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelButton"));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(lengthMark_);
  layout->addWidget(buttons);

  connect(typeBox_, &QComboBox::currentIndexChanged, this, &Form12::TypeBox_Change);
  connect(lengthEdit_, &QLineEdit::textChanged, this, &Form12::LengthEdit_Change);
  connect(dataLengthButton_, &QPushButton::clicked, this,
          [this] { lengthEdit_->setText(QString::number(dataLengthAfter_.value_or(0))); });
  connect(buttons, &QDialogButtonBox::accepted, this, &Form12::OkButton_Click);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void Form12::fillFrom(const HeaderInfo& info) {
  const HeaderFields fields = FieldsOfHeader(info);
  // A type byte the Spectrum does not know stays what it is.
  if (typeBox_->findData(int(fields.type)) < 0) {
    typeBox_->addItem(QString::fromStdString(info.typeName), int(fields.type));
  }
  typeBox_->setCurrentIndex(typeBox_->findData(int(fields.type)));
  originalName_ = QString::fromStdString(fields.name);
  QString shown = originalName_;
  while (shown.endsWith(u' ')) shown.chop(1);
  nameEdit_->setText(shown);
  switch (fields.type) {
    case kProgramType:
      parameterEdit_->setText(fields.autostart ? QString::number(*fields.autostart) : QString());
      break;
    case kNumberArrayType:
    case kCharacterArrayType: parameterEdit_->setText(QString(QChar::fromLatin1(fields.variable))); break;
    case kBytesType: parameterEdit_->setText(QString::number(fields.start)); break;
    default: parameterEdit_->setText(QString::number(info.param1)); break;
  }
  lengthEdit_->setText(QString::number(fields.dataLength));
}

void Form12::TypeBox_Change() {
  const int type = typeBox_->currentData().toInt();
  parameterLabel_->setText(QString::fromUtf8(ParameterCaption(type)));
  parameterEdit_->setPlaceholderText(QString::fromUtf8(ParameterHint(type)));
  parameterEdit_->setEnabled(type <= kBytesType);
}

void Form12::LengthEdit_Change() {
  dataLengthButton_->setVisible(dataLengthAfter_.has_value());
  if (dataLengthAfter_) {
    dataLengthButton_->setText(QStringLiteral("Как у блока данных: %1").arg(*dataLengthAfter_));
  }
  const std::optional<int> length = WholeNumber(lengthEdit_->text());
  QString mark;
  if (!dataLengthAfter_) {
    mark = QStringLiteral("После заголовка нет блока данных");
  } else if (length != dataLengthAfter_) {
    mark = QStringLiteral("Длина не совпадает с блоком данных после заголовка (%1 байт)").arg(*dataLengthAfter_);
  }
  // Offered while it would change something.
  dataLengthButton_->setEnabled(dataLengthAfter_.has_value() && length != dataLengthAfter_);
  lengthMark_->setText(mark);
  lengthMark_->setVisible(!mark.isEmpty());
}

Form12::Entry Form12::CurrentFields() const {
  Entry entry;
  HeaderFields& fields = entry.fields;
  fields.type = static_cast<std::uint8_t>(typeBox_->currentData().toInt());
  // An untouched name goes back as the core spelled it, so that name bytes
  // the field cannot show (graphics, tokens) are kept.
  QString name = nameEdit_->text();
  QString original = originalName_;
  while (original.endsWith(u' ')) original.chop(1);
  if (name == original) name = originalName_;
  fields.name = name.toStdString();
  const std::optional<int> length = WholeNumber(lengthEdit_->text());
  if (!length) {
    entry.status = NotANumber("Длина");
    return entry;
  }
  fields.dataLength = *length;
  const QString parameter = parameterEdit_->text().trimmed();
  switch (fields.type) {
    case kProgramType:
      if (!parameter.isEmpty()) {
        fields.autostart = WholeNumber(parameter);
        if (!fields.autostart) entry.status = NotANumber("Строка запуска");
      }
      break;
    case kNumberArrayType:
    case kCharacterArrayType:
      fields.variable = parameter.size() == 1 ? static_cast<char>(parameter.at(0).toLatin1()) : '?';
      break;
    case kBytesType:
      if (const std::optional<int> start = WholeNumber(parameter)) {
        fields.start = *start;
      } else {
        entry.status = NotANumber("Адрес загрузки");
      }
      break;
    default: break;
  }
  if (!entry.status.ok()) return entry;
  // The core's own rules decide the rest: the name's characters, the ranges.
  entry.status = BuildHeader(header_, fields).status;
  return entry;
}

void Form12::OkButton_Click() {
  Entry entry = CurrentFields();
  if (!entry.status.ok()) {
    ShowOpResult(prompts_, entry.status, kTitle);
    return;
  }
  // A start or length that makes the data run past address 65535 is kept
  // only on the user's Yes; a header that already did so and keeps its start
  // and length is not asked about again.
  const std::string pastEnd = PastMemoryEndWarning(entry.fields);
  const std::optional<HeaderInfo> old = ReadHeader(header_);
  if (!pastEnd.empty() && (!old || pastEnd != PastMemoryEndWarning(FieldsOfHeader(*old))) &&
      prompts_.Ask({QString::fromStdString(pastEnd + "\n\n" + kSaveAnywayQuestion), QString::fromUtf8(kTitle),
                    Buttons::YesNo, BoxIcon::Warning, {}}) != Answer::Yes) {
    return;
  }
  accepted_ = std::move(entry.fields);
  accept();
}

std::optional<HeaderFields> Form12::Start() {
  adjustSize();
  CentreWindow(*this, parentWidget());
  if (exec() != QDialog::Accepted) return std::nullopt;
  return accepted_;
}

}  // namespace reelo
