// The "Справка" menu: the help page and the About window.
#include "ui/form1.h"

namespace reelo {

// The help page and the About window are not part of the program yet; the
// commands are in the menu and do nothing until they are.
void Form1::helpme_Click() {}

void Form1::helpabout_Click() {}

}  // namespace reelo
