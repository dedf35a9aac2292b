// The "Справка" menu: the help page and the About window.
#include "ui/form1.h"
#include "ui/frame/form4_about.h"
#include "ui/frame/help_page.h"

namespace reelo {

// Hands the help page to the desktop's viewer; nothing is said on failure.
void Form1::helpme_Click() { OpenHelpPage(); }

// The About window, modal: the main window takes no input until it closes.
void Form1::helpabout_Click() {
  Form4 about(this);
  about.exec();
}

}  // namespace reelo
