// "Загрузить из WAV-файла": opens the load-from-WAV window.
#include "ui/form1.h"

namespace reelo {

// The load-from-WAV window is not part of the program yet; the command is in
// the menu and on the toolbar and does nothing until it is.
void Form1::loadwav_Click() {}

}  // namespace reelo
