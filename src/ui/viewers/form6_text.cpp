#include "ui/viewers/form6_text.h"

#include "viewers/text_view.h"

namespace reelo {

Form6::Form6(const TapeProject& project, Progress& progress, const QWidget* mainWindow)
    : TextViewWindow("Form6", "Просмотр в виде текста", Wrap::AtRightEdge, TabOrder::ButtonFirst, mainWindow),
      project_(project),
      progress_(progress) {}

void Form6::Start(int index) { ShowModal(BuildTextView(BlockAt(project_, index), progress_)); }

}  // namespace reelo
