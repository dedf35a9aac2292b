// The decimal dump window: a block's data as rows of 20 decimal values.
#pragma once

#include "project/progress.h"
#include "project/tape_project.h"
#include "ui/viewers/text_view_window.h"

namespace reelo {

class Form7 final : public TextViewWindow {
  Q_OBJECT

 public:
  // `progress` shows the build (the progress window); the window opens
  // centred over `mainWindow`, which does not own it.
  Form7(const TapeProject& project, Progress& progress, const QWidget* mainWindow);

  // Builds the dump of the block at `index` while the progress is shown, then
  // shows the window modally; returns once the window has been closed.
  void Start(int index);

 private:
  const TapeProject& project_;
  Progress& progress_;
};

}  // namespace reelo
