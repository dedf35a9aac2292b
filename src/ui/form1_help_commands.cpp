// The "Справка" menu: the help page and the About window.
#include "ui/form1.h"
#include "ui/frame/form4_about.h"
#include "ui/frame/help_window.h"

namespace reelo {

// The help page in the program's own help window, which works whatever the
// desktop has for HTML files; a box says so when the page is missing.
void Form1::helpme_Click() { ShowHelp(*this, prompts_); }

// The About window, modal: the main window takes no input until it closes.
void Form1::helpabout_Click() {
  Form4 about(this);
  about.exec();
}

}  // namespace reelo
