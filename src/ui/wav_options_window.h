// The WAV export's options window, shown after its save dialog: sample rate,
// sample size, polarity, the Spectrum ROM's own timings instead of the
// export's usual signal, and whether to read the file back once written.
// "Как обычно" puts back the choices that give the export's usual file.
#pragma once

#include <QDialog>

#include "ui/prompts.h"

class QCheckBox;
class QComboBox;

namespace reelo {

class WavOptionsWindow final : public QDialog {
  Q_OBJECT

 public:
  WavOptionsWindow(const WavExportChoice& proposed, QWidget* parent = nullptr);

  // What the controls show now.
  WavExportChoice choice() const;
  void Show(const WavExportChoice& choice);

 private:
  QComboBox* sampleRate_ = nullptr;
  QComboBox* bitsPerSample_ = nullptr;
  QCheckBox* inverted_ = nullptr;
  QCheckBox* romTimings_ = nullptr;
  QCheckBox* verify_ = nullptr;
};

}  // namespace reelo
