// The "Блок" menu (Up, Down, Delete, Add file) and the "Инструменты" menu's
// checksum tool. Every change goes through the project's edits, so Undo can
// take it back.
#include <algorithm>

#include "project/checksum.h"
#include "project/pair_check.h"
#include "project/tap_file.h"
#include "ui/file_names.h"
#include "ui/form1.h"
#include "ui/form9_progress.h"
#include "ui/tape_filters.h"

namespace reelo {
namespace {

constexpr const char* kDeleteText = "Удалить выбранный блок?";
constexpr const char* kDeleteSeveralText = "Удалить выбранные блоки (%1)?";
// The last letter is a Latin "a", as the program has always shown it.
constexpr const char* kDeleteTitle = "Удаление блокa";
constexpr const char* kAddDialogTitle = "Добавить в проект образ ленты TAP";
constexpr const char* kNotTogetherText = "Вверх и вниз передвигаются только блоки, выбранные подряд";

bool Contiguous(const std::vector<int>& rows) { return !rows.empty() && rows.back() - rows.front() + 1 == int(rows.size()); }

}  // namespace

void Form1::editup_Click() { MoveSelectedBlock(-1); }

void Form1::editdowd_Click() { MoveSelectedBlock(+1); }

// Moves the selected blocks one place as one run; the selection follows them.
// Nothing happens at the ends of the list.
void Form1::MoveSelectedBlock(int offset) {
  const std::vector<int> rows = SelectedBlocksOrSay();
  if (rows.empty()) return;
  if (!Contiguous(rows)) {
    ShowBox(kNotTogetherText, "", Buttons::Ok, BoxIcon::Information);
    return;
  }
  ShowEdit(state_.document.Move(rows.front(), int(rows.size()), offset));
}

void Form1::editdel_Click() {
  const std::vector<int> rows = SelectedBlocksOrSay();
  if (rows.empty()) return;
  const std::string question =
      rows.size() == 1 ? std::string(kDeleteText) : QString::fromUtf8(kDeleteSeveralText).arg(rows.size()).toStdString();
  if (ShowBox(question, kDeleteTitle, Buttons::YesNo, BoxIcon::None) != Answer::Yes) return;
  ShowEdit(state_.document.Delete(rows));
}

// Appends the blocks of another tape file (TAP, TZX, PZX or CSW). The project
// keeps its own file name: the added file is a source, not the place the
// project is saved to.
void Form1::editadd_Click() {
  const QString chosen = ChooseFile(FileDialogKind::Open, kAddDialogTitle, kTapeOpenFilter);
  if (chosen.isEmpty()) return;
  AddChosenFile(ToLocalPath(chosen));
}

// The checksum walk, every accepted repair one undoable step; then, in one
// message, the headers and data blocks that do not pair up. The one repair
// that can be made for them (a header's length) is made only on the user's Yes.
void Form1::toolsksum_Click() {
  ChecksumOutcome outcome = ChecksumOutcome::AllMatched;
  state_.document.RepairChecksums(
      [this](const ChecksumMismatch& mismatch) {
        return ShowBox(ChecksumQuestionText(mismatch), kChecksumQuestionTitle, Buttons::YesNo, BoxIcon::None) ==
               Answer::Yes;
      },
      outcome);
  const BoxIcon icon = outcome == ChecksumOutcome::SomeLeft ? BoxIcon::Critical : BoxIcon::Information;
  ShowBox(ChecksumClosingText(outcome), kChecksumClosingTitle, Buttons::Ok, icon);

  const std::vector<PairProblem> problems = CheckPairs(state_.project);
  if (problems.empty()) return;
  const bool lengthsToFix = std::any_of(problems.begin(), problems.end(), [](const PairProblem& problem) {
    return problem.kind == PairProblemKind::LengthDiffers;
  });
  std::string text = PairProblemsText(problems);
  if (!lengthsToFix) {
    ShowBox(text, kPairProblemsTitle, Buttons::Ok, BoxIcon::Warning);
    return;
  }
  text += "\n\n";
  text += kFixLengthsQuestion;
  if (ShowBox(text, kPairProblemsTitle, Buttons::YesNo, BoxIcon::Warning) != Answer::Yes) return;
  ShowEdit(state_.document.Replace(HeaderLengthFixes(state_.project, problems)));
}

}  // namespace reelo
