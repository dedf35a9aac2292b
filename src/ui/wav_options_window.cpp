#include "ui/wav_options_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/startup.h"

namespace reelo {
namespace {

constexpr const char* kWindowTitle = "Параметры WAV-файла";
constexpr const char* kUsualNote =
    "22050 Гц, 8 бит, без галочек — тот же файл, что программа писала всегда. "
    "Тайминги ПЗУ — длины импульсов, число импульсов пилот-тона и пауза в 1 секунду, "
    "как у команды SAVE самого Spectrum.";

// The sample sizes offered, with their captions; the rates come from the
// signal generator's own list.
struct SampleSize {
  int bits;
  const char* caption;
};
const SampleSize kSampleSizes[] = {{8, "8 бит"}, {16, "16 бит"}};

QComboBox* AddCombo(QFormLayout& form, const char* name, const char* label, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QString::fromLatin1(name));
  form.addRow(QString::fromUtf8(label), combo);
  return combo;
}

QCheckBox* AddCheck(QVBoxLayout& layout, const char* name, const char* caption, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
  box->setObjectName(QString::fromLatin1(name));
  layout.addWidget(box);
  return box;
}

void SelectData(QComboBox& combo, int value) {
  const int index = combo.findData(value);
  combo.setCurrentIndex(index >= 0 ? index : 0);
}

}  // namespace

WavOptionsWindow::WavOptionsWindow(const WavExportChoice& proposed, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("WavOptions"));
  setWindowTitle(QString::fromUtf8(kWindowTitle));
  setWindowIcon(ProgramIcon());

  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  sampleRate_ = AddCombo(*form, "SampleRate", "Частота дискретизации:", this);
  for (int rate : kSupportedSampleRates) sampleRate_->addItem(QStringLiteral("%1 Гц").arg(rate), rate);
  bitsPerSample_ = AddCombo(*form, "BitsPerSample", "Разрядность:", this);
  for (const SampleSize& size : kSampleSizes) bitsPerSample_->addItem(QString::fromUtf8(size.caption), size.bits);
  inverted_ = AddCheck(*layout, "Inverted", "Обратная полярность", this);
  romTimings_ = AddCheck(*layout, "RomTimings", "Тайминги ПЗУ Spectrum (как у SAVE)", this);
  verify_ = AddCheck(*layout, "Verify", "Проверить после записи", this);

  auto* note = new QLabel(QString::fromUtf8(kUsualNote), this);
  note->setObjectName(QStringLiteral("UsualNote"));
  note->setWordWrap(true);
  layout->addWidget(note);

  auto* buttons = new QDialogButtonBox(this);
  buttons->setObjectName(QStringLiteral("Buttons"));
  QPushButton* write = buttons->addButton(QStringLiteral("Записать"), QDialogButtonBox::AcceptRole);
  write->setObjectName(QStringLiteral("Write"));
  write->setDefault(true);
  buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("Cancel"));
  QPushButton* usual = buttons->addButton(QStringLiteral("Как обычно"), QDialogButtonBox::ResetRole);
  usual->setObjectName(QStringLiteral("Usual"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(usual, &QPushButton::clicked, this, [this] { Show({}); });
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  Show(proposed);
}

WavExportChoice WavOptionsWindow::choice() const {
  WavExportChoice choice;
  choice.signal.sampleRate = sampleRate_->currentData().toInt();
  choice.signal.bitsPerSample = bitsPerSample_->currentData().toInt();
  choice.signal.inverted = inverted_->isChecked();
  choice.signal.timings = romTimings_->isChecked() ? SignalTimings::Rom : SignalTimings::Exact;
  choice.verify = verify_->isChecked();
  return choice;
}

// A proposal the generator cannot make (a rate or size it does not offer)
// shows the usual one in its place.
void WavOptionsWindow::Show(const WavExportChoice& choice) {
  SelectData(*sampleRate_, choice.signal.sampleRate);
  SelectData(*bitsPerSample_, choice.signal.bitsPerSample);
  inverted_->setChecked(choice.signal.inverted);
  romTimings_->setChecked(choice.signal.timings == SignalTimings::Rom);
  verify_->setChecked(choice.verify);
}

}  // namespace reelo
