// "Загрузить из WAV-файла": the load-from-WAV window, modal over the main window.
#include "ui/form1.h"
#include "ui/import/form11_load_wav.h"

namespace reelo {

// The window appends the decoded records itself when it closes accepted; they
// become one undoable insertion, and the list and the summary follow.
void Form1::loadwav_Click() {
  const int before = state_.project.blockCount();
  Form11 form(state_, prompts_, this);
  if (form.exec() == QDialog::Accepted) {
    RecordAppendedBlocks(before);
    RefreshBlockList();
    UpdateSummary();
  }
}

}  // namespace reelo
