#include "ui/viewers/form7_dump.h"

#include "viewers/dump_view.h"

namespace reelo {

// Rows are 88 characters wide: no wrapping, a horizontal scroll bar instead.
Form7::Form7(const TapeProject& project, Progress& progress, const QWidget* mainWindow)
    : TextViewWindow("Form7", "Просмотр 10-ричного кода", Wrap::None, TabOrder::ButtonFirst, mainWindow),
      project_(project),
      progress_(progress) {}

void Form7::Start(int index) { ShowModal(BuildDumpView(BlockAt(project_, index), progress_)); }

}  // namespace reelo
