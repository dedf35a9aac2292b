// The BASIC listing window: a block's data as a Spectrum BASIC program.
#pragma once

#include "project/tape_project.h"
#include "ui/viewers/text_view_window.h"

namespace reelo {

class Form2 final : public TextViewWindow {
  Q_OBJECT

 public:
  explicit Form2(const TapeProject& project);

  // Lists the block at `index` and shows the window modally, centred on the
  // screen; returns once the window has been closed.
  void Start(int index);

 private:
  const TapeProject& project_;
};

}  // namespace reelo
