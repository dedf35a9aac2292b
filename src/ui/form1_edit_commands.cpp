// The "Правка" menu (Undo, Redo), how the window follows the document,
// dragging blocks within the list, and the properties of a header.
#include <QAction>
#include <QLineEdit>
#include <QPushButton>

#include "project/block_access.h"
#include "project/block_kinds.h"
#include "project/header_info.h"
#include "ui/block_list_widget.h"
#include "ui/editor/form12_block_properties.h"
#include "ui/editor/form13_turbo_timings.h"
#include "ui/form1.h"

namespace reelo {
namespace {

constexpr const char* kNotAHeaderText = "Свойства можно изменить только у заголовка блока";

}  // namespace

void Form1::editundo_Click() { ShowEdit(state_.document.Undo()); }

void Form1::editredo_Click() { ShowEdit(state_.document.Redo()); }

void Form1::TapeChanged(const TapeChange& change) {
  if (change.blocks) {
    // The deck reads the blocks as it plays: it stops before the list shows
    // the new ones.
    TapeBlocksChanged();
    RefreshBlockList();
    list_->SelectRows(change.selection);
  }
  UpdateSummary();
}

// The title does not show the state; the save question and the exit read it
// from the document when they need it.
void Form1::ModifiedChanged(bool) {}

void Form1::HistoryChanged() { UpdateEditActions(); }

void Form1::ShowEdit(const EditResult& edit) { ShowResult(edit.status); }

void Form1::UpdateEditActions() {
  const TapeDocument& document = state_.document;
  for (QAction* action : std::as_const(actions_)) {
    if (action->property("changesTape").toBool()) action->setEnabled(!document.locked());
  }
  actions_.value(QStringLiteral("editundo"))->setEnabled(document.canUndo());
  actions_.value(QStringLiteral("editredo"))->setEnabled(document.canRedo());
  if (headerTimings_) headerTimings_->setEnabled(!document.locked());
  for (const FrameRow& row : headerRows_) row.edit->setReadOnly(document.locked());
}

void Form1::List1_DragDrop(int row) {
  const std::vector<int> rows = SelectedBlocks();
  if (rows.empty()) return;
  ShowEdit(state_.document.MoveTo(rows, row));
}

void Form1::List1_DblClick(QListWidgetItem* item) {
  if (!item) return;
  const TapeBlock& block = BlockAt(state_.project, list_->row(item));
  if (IsHeader(block) || TurboTimingsOf(block)) editprops_Click();
}

// The properties of the first selected block, which must be a header or a
// turbo block. The header dialog offers the length of the data block after it
// and marks a header whose length differs; a turbo block's timings follow in
// their own dialog. What the user changed in both becomes one undoable edit.
void Form1::editprops_Click() {
  const int index = SelectedBlockOrSay();
  if (index < 0) return;
  const TapeBlock& block = BlockAt(state_.project, index);
  const std::optional<HeaderInfo> info = ReadHeader(block);
  const bool turbo = TurboTimingsOf(block).has_value();
  if (!info && !turbo) {
    ShowBox(kNotAHeaderText, "", Buttons::Ok, BoxIcon::Information);
    return;
  }
  if (!info) {
    EditTurboTimings(index, block);
    return;
  }
  Form12 dialog(prompts_, block, DataLengthAfter(state_.project, index), this);
  const std::optional<HeaderFields> fields = dialog.Start();
  if (!fields) return;
  if (!turbo) {
    ShowEdit(state_.document.EditHeader(index, *fields));
    return;
  }
  const HeaderBuild built = BuildHeader(block, *fields);
  if (!built.status.ok()) {
    ShowResult(built.status);
    return;
  }
  EditTurboTimings(index, built.block);
}

void Form1::Frame1_Timings_Click() {
  const int index = SelectedBlockOrSay();
  if (index < 0 || !TurboTimingsOf(BlockAt(state_.project, index))) return;
  EditTurboTimings(index, BlockAt(state_.project, index));
}

// Cancel in the timings dialog keeps the block as given: a header edited just
// before still changes.
void Form1::EditTurboTimings(int index, const TapeBlock& block) {
  Form13 timings(prompts_, block, this);
  TapeBlock changed = timings.Start().value_or(block);
  ShowEdit(state_.document.Replace({{index, std::move(changed)}}));
}

}  // namespace reelo
