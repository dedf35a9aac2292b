// The "Блок" menu (Up, Down, Delete, Add file) and the "Инструменты" menu's
// checksum tool.
#include <QListWidget>
#include <utility>

#include "project/checksum.h"
#include "project/tap_file.h"
#include "ui/file_names.h"
#include "ui/form1.h"
#include "ui/form9_progress.h"
#include "ui/tape_filters.h"

namespace reelo {
namespace {

constexpr const char* kDeleteText = "Удалить выбранный блок?";
// The last letter is a Latin "a", as the program has always shown it.
constexpr const char* kDeleteTitle = "Удаление блокa";
constexpr const char* kAddDialogTitle = "Добавить в проект образ ленты TAP";

}  // namespace

void Form1::editup_Click() { MoveSelectedBlock(-1); }

void Form1::editdowd_Click() { MoveSelectedBlock(+1); }

// Exchanges the selected block with its neighbour; the selection follows the
// block. Nothing happens at the ends of the list.
void Form1::MoveSelectedBlock(int offset) {
  const int i = SelectedBlock();
  if (!state_.project.blockSelected || i < 0) {
    NoBlockSelected();
    return;
  }
  const int j = i + offset;
  auto& blocks = state_.project.blocks;
  if (j < 0 || j >= static_cast<int>(blocks.size())) return;
  std::swap(blocks[static_cast<std::size_t>(i)], blocks[static_cast<std::size_t>(j)]);
  RefreshBlockList();
  list_->setCurrentRow(j);
  state_.project.modified = true;
}

void Form1::editdel_Click() {
  const int i = SelectedBlock();
  if (!state_.project.blockSelected || i < 0) {
    NoBlockSelected();
    return;
  }
  if (ShowBox(kDeleteText, kDeleteTitle, Buttons::YesNo, BoxIcon::None) != Answer::Yes) return;
  auto& blocks = state_.project.blocks;
  blocks.erase(blocks.begin() + i);
  state_.project.modified = true;
  RefreshBlockList();
  UpdateSummary();
}

// Appends the blocks of another tape file (TAP, TZX, PZX or CSW). The project
// keeps its own file name: the added file is a source, not the place the
// project is saved to.
void Form1::editadd_Click() {
  const QString chosen = ChooseFile(FileDialogKind::Open, kAddDialogTitle, kTapeOpenFilter);
  if (chosen.isEmpty()) return;
  AddChosenFile(ToLocalPath(chosen));
}

void Form1::toolsksum_Click() {
  const ChecksumOutcome outcome = CheckAndRepairChecksums(state_.project, [this](const ChecksumMismatch& mismatch) {
    return ShowBox(ChecksumQuestionText(mismatch), kChecksumQuestionTitle, Buttons::YesNo, BoxIcon::None) ==
           Answer::Yes;
  });
  const BoxIcon icon = outcome == ChecksumOutcome::SomeLeft ? BoxIcon::Critical : BoxIcon::Information;
  ShowBox(ChecksumClosingText(outcome), kChecksumClosingTitle, Buttons::Ok, icon);
}

}  // namespace reelo
