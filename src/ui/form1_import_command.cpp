// "Загрузить из WAV-файла": the load-from-WAV window, modal over the main window.
#include "ui/form1.h"
#include "ui/import/form11_load_wav.h"

namespace reelo {

// The window adds the decoded records to the document itself when it closes
// accepted, as one undoable step; the list and the summary follow the document.
void Form1::loadwav_Click() {
  Form11 form(state_, prompts_, this);
  form.exec();
}

}  // namespace reelo
