// The BASIC listing window: a block's data as a Spectrum BASIC program, as the
// Spectrum's LIST shows it, or with the hidden bytes shown as marks.
#pragma once

#include "project/tape_project.h"
#include "ui/viewers/text_view_window.h"

class QCheckBox;

namespace reelo {

class Form2 final : public TextViewWindow {
  Q_OBJECT

 public:
  explicit Form2(const TapeProject& project);

  // Lists the block at `index` and shows the window modally, centred on the
  // screen; returns once the window has been closed.
  void Start(int index);

 private:
  // "Показывать скрытые байты": lists the block again, with or without the
  // hidden bytes.
  void Check1_Click();

  const TapeProject& project_;
  QCheckBox* Check1_ = nullptr;
  int index_ = -1;
};

}  // namespace reelo
