// The "Просмотр" menu: the four views of the selected block.
#include "ui/form1.h"

namespace reelo {

// The viewer windows are not part of the program yet; the commands are in the
// menu and on the toolbar and do nothing until they are.
void Form1::viewcode_Click() {}

void Form1::viewtext_Click() {}

void Form1::viewbasic_Click() {}

void Form1::viewscreen_Click() {}

}  // namespace reelo
