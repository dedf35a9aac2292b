#include "ui/playback/deck_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaDevices>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace reelo {
namespace {

constexpr const char* kTitle = "Вывод звука";
constexpr const char* kNoDeviceNote = "Устройств вывода звука не найдено.";
constexpr const char* kLaterNote = "Частота, разрядность, полярность и тайминги\nдействуют со следующего воспроизведения.";
constexpr int kVolumeSteps = 100;

struct TimingChoice {
  SignalTimings timings;
  const char* caption;
};
const TimingChoice kTimingChoices[] = {
    {SignalTimings::Exact, "Как в WAV-экспорте"},
    {SignalTimings::Rom, "Как у ПЗУ Spectrum (SAVE)"},
};
constexpr int kBitChoices[] = {8, 16};

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

QComboBox* NamedCombo(const char* name, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QString::fromLatin1(name));
  return combo;
}

}  // namespace

DeckWindow::DeckWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("DeckWindow"));
  setWindowTitle(Text(kTitle));
  auto* form = new QFormLayout;

  device_ = NamedCombo("DeckDevice", this);
  noDevice_ = new QLabel(Text(kNoDeviceNote), this);
  noDevice_->setObjectName(QStringLiteral("DeckNoDevice"));
  auto* deviceColumn = new QVBoxLayout;
  deviceColumn->addWidget(device_);
  deviceColumn->addWidget(noDevice_);
  form->addRow(Text("Устройство:"), deviceColumn);

  volume_ = new QSlider(Qt::Horizontal, this);
  volume_->setObjectName(QStringLiteral("DeckVolume"));
  volume_->setRange(0, kVolumeSteps);
  volumeText_ = new QLabel(this);
  volumeText_->setObjectName(QStringLiteral("DeckVolumeText"));
  volumeText_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
  auto* volumeRow = new QHBoxLayout;
  volumeRow->addWidget(volume_, 1);
  volumeRow->addWidget(volumeText_);
  form->addRow(Text("Громкость:"), volumeRow);

  rate_ = NamedCombo("DeckRate", this);
  for (int rate : kSupportedSampleRates) rate_->addItem(QStringLiteral("%1 Гц").arg(rate), rate);
  form->addRow(Text("Частота:"), rate_);
  bits_ = NamedCombo("DeckBits", this);
  for (int bits : kBitChoices) bits_->addItem(QStringLiteral("%1 бит").arg(bits), bits);
  form->addRow(Text("Разрядность:"), bits_);
  timings_ = NamedCombo("DeckTimings", this);
  for (const TimingChoice& choice : kTimingChoices) timings_->addItem(Text(choice.caption), static_cast<int>(choice.timings));
  form->addRow(Text("Тайминги:"), timings_);
  inverted_ = new QCheckBox(Text("Обратная полярность"), this);
  inverted_->setObjectName(QStringLiteral("DeckInverted"));
  form->addRow(QString(), inverted_);

  auto* note = new QLabel(Text(kLaterNote), this);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* close = buttons->addButton(Text("Закрыть"), QDialogButtonBox::RejectRole);
  close->setObjectName(QStringLiteral("DeckClose"));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(note);
  layout->addWidget(buttons);

  connect(device_, &QComboBox::currentIndexChanged, this, [this] {
    if (!filling_) emit DeviceChosen(device());
  });
  connect(volume_, &QSlider::valueChanged, this, [this](int value) {
    volumeText_->setText(QStringLiteral("%1 %").arg(value));
    if (!filling_) emit VolumeChanged(value);
  });
  for (QComboBox* combo : {rate_, bits_, timings_}) {
    connect(combo, &QComboBox::currentIndexChanged, this, [this] {
      if (!filling_) emit OptionsChanged(options());
    });
  }
  connect(inverted_, &QCheckBox::toggled, this, [this] {
    if (!filling_) emit OptionsChanged(options());
  });
  // Devices plugged in or out while the window is open show up at once.
  auto* devices = new QMediaDevices(this);
  connect(devices, &QMediaDevices::audioOutputsChanged, this, &DeckWindow::RefreshDevices);
}

void DeckWindow::Show(const QByteArray& device, int volumePercent, const SignalOptions& options) {
  filling_ = true;
  volume_->setValue(volumePercent);
  volumeText_->setText(QStringLiteral("%1 %").arg(volumePercent));
  rate_->setCurrentIndex(std::max(0, rate_->findData(options.sampleRate)));
  bits_->setCurrentIndex(std::max(0, bits_->findData(options.bitsPerSample)));
  timings_->setCurrentIndex(std::max(0, timings_->findData(static_cast<int>(options.timings))));
  inverted_->setChecked(options.inverted);
  filling_ = false;
  RefreshDevices();
  SelectDevice(device);
  show();
  raise();
  activateWindow();
}

void DeckWindow::RefreshDevices() {
  const QByteArray chosen = device();
  filling_ = true;
  device_->clear();
  for (const AudioDeviceChoice& choice : AudioOutputChoices()) device_->addItem(choice.description, choice.id);
  filling_ = false;
  const bool any = device_->count() > 0;
  device_->setEnabled(any);
  noDevice_->setVisible(!any);
  SelectDevice(chosen);
}

// A device that is not offered now falls back to the default entry; the
// choice itself is kept by the deck until the user picks another.
void DeckWindow::SelectDevice(const QByteArray& id) {
  filling_ = true;
  const int index = device_->findData(id);
  device_->setCurrentIndex(index >= 0 ? index : 0);
  filling_ = false;
}

QByteArray DeckWindow::device() const { return device_->currentData().toByteArray(); }

int DeckWindow::volumePercent() const { return volume_->value(); }

SignalOptions DeckWindow::options() const {
  SignalOptions options;
  options.sampleRate = rate_->currentData().toInt();
  options.bitsPerSample = bits_->currentData().toInt();
  options.timings = static_cast<SignalTimings>(timings_->currentData().toInt());
  options.inverted = inverted_->isChecked();
  return options;
}

}  // namespace reelo
