// "Вывод звука": the small window of the tape deck's sound output: the device,
// the volume, and the signal's form (sample rate, bits, polarity, timings).
// It is modeless; the volume acts at once, the rest from the next Play.
#pragma once

#include <QDialog>

#include "sound/export/signal_stream.h"
#include "playback_qt/qt_audio_output.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;

namespace reelo {

class DeckWindow : public QDialog {
  Q_OBJECT

 public:
  explicit DeckWindow(QWidget* parent = nullptr);

  // Fills the controls from the present choices and the system's devices.
  void Show(const QByteArray& device, int volumePercent, const SignalOptions& options);
  // Lists the system's devices again, keeping the choice where it still exists.
  void RefreshDevices();

  QByteArray device() const;
  int volumePercent() const;
  SignalOptions options() const;

 signals:
  void DeviceChosen(const QByteArray& id);
  void VolumeChanged(int percent);
  void OptionsChanged(const SignalOptions& options);

 private:
  void SelectDevice(const QByteArray& id);

  QComboBox* device_ = nullptr;
  QLabel* noDevice_ = nullptr;
  QSlider* volume_ = nullptr;
  QLabel* volumeText_ = nullptr;
  QComboBox* rate_ = nullptr;
  QComboBox* bits_ = nullptr;
  QCheckBox* inverted_ = nullptr;
  QComboBox* timings_ = nullptr;
  bool filling_ = false;  // no signals while the window fills itself
};

}  // namespace reelo
