// The "Просмотр" menu: the four views of the selected block. They show the
// bytes of a record (standard, turbo and pure data blocks); a block of a kind
// that carries none is named in a box that says so.
#include "project/block_access.h"
#include "project/block_list.h"
#include "ui/form1.h"
#include "ui/form9_progress.h"
#include "ui/viewers/form2_basic_listing.h"
#include "ui/viewers/form3_screen.h"
#include "ui/viewers/form6_text.h"
#include "ui/viewers/form7_dump.h"

namespace reelo {
namespace {

constexpr const char* kNoDataText =
    "В блоке %1 «%2» нет данных для просмотра.\n"
    "Просмотреть можно блоки с данными: стандартные, турбо и чистые данные.";
constexpr const char* kNoDataTitle = "Просмотр блока";

}  // namespace

int Form1::SelectedDataBlockOrSay() {
  const int index = SelectedBlockOrSay();
  if (index < 0) return -1;
  const TapeBlock& block = BlockAt(state_.project, index);
  if (block.holdsRecord()) return index;
  const QString line = QString::fromStdString(BlockListLine(block)).trimmed();
  ShowBox(QString::fromUtf8(kNoDataText).arg(index + 1).arg(line).toStdString(), kNoDataTitle, Buttons::Ok,
          BoxIcon::Information);
  return -1;
}

void Form1::viewcode_Click() {
  const int index = SelectedDataBlockOrSay();
  if (index < 0) return;
  Form7 form(state_.project, *progress_, this);
  form.Start(index);
}

void Form1::viewtext_Click() {
  const int index = SelectedDataBlockOrSay();
  if (index < 0) return;
  Form6 form(state_.project, *progress_, this);
  form.Start(index);
}

void Form1::viewbasic_Click() {
  const int index = SelectedDataBlockOrSay();
  if (index < 0) return;
  Form2 form(state_.project);
  form.Start(index);
}

// The screen window stays open beside the main window; a later command reuses
// it for the newly selected block.
void Form1::viewscreen_Click() {
  const int index = SelectedDataBlockOrSay();
  if (index < 0) return;
  auto* form = findChild<Form3*>(QStringLiteral("Form3"), Qt::FindDirectChildrenOnly);
  if (!form) form = new Form3(state_.project, this);
  form->ShowModeless();
  form->repaint();
  form->Start(index);
  form->draw();
}

}  // namespace reelo
