// The "Просмотр" menu: the four views of the selected block.
#include "ui/form1.h"
#include "ui/form9_progress.h"
#include "ui/viewers/form2_basic_listing.h"
#include "ui/viewers/form3_screen.h"
#include "ui/viewers/form6_text.h"
#include "ui/viewers/form7_dump.h"

namespace reelo {

void Form1::viewcode_Click() {
  const int index = SelectedBlockOrSay();
  if (index < 0) return;
  Form7 form(state_.project, *progress_, this);
  form.Start(index);
}

void Form1::viewtext_Click() {
  const int index = SelectedBlockOrSay();
  if (index < 0) return;
  Form6 form(state_.project, *progress_, this);
  form.Start(index);
}

void Form1::viewbasic_Click() {
  const int index = SelectedBlockOrSay();
  if (index < 0) return;
  Form2 form(state_.project);
  form.Start(index);
}

// The screen window stays open beside the main window; a later command reuses
// it for the newly selected block.
void Form1::viewscreen_Click() {
  const int index = SelectedBlockOrSay();
  if (index < 0) return;
  auto* form = findChild<Form3*>(QStringLiteral("Form3"), Qt::FindDirectChildrenOnly);
  if (!form) form = new Form3(state_.project, this);
  form->ShowModeless();
  form->repaint();
  form->Start(index);
  form->draw();
}

}  // namespace reelo
