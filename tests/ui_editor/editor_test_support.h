// What the editing tests share: a tape of headers and data blocks that tell
// themselves apart, the order of a project in a few letters, and a small
// script of user steps (clicks, answers, commands) a table row can hold.
#pragma once

#include <algorithm>

#include "ui/block_list_widget.h"
#include "ui_test_support.h"

namespace reelo::testing {

// Six blocks: a program pair, a CODE pair, a lone data block, a lone header.
inline std::vector<TapeBlock> SampleTape() {
  return {MakeHeader(0, "prog", 3, 10, 3), MakeDataBlock({0x00, 0x0A, 0x0D}),   // a b
          MakeHeader(3, "code", 4, 32768), MakeDataBlock({1, 2, 3, 4}),         // c d
          MakeDataBlock({9, 9, 9, 9, 9}),                                       // e
          MakeHeader(3, "lone", 2, 16384)};                                     // f
}

// Each block of the project as the letter of its place in SampleTape()
// ("?" for a block not there): "abcdef" for the tape as built.
inline QString Letters(const TapeProject& project) {
  const std::vector<TapeBlock> sample = SampleTape();
  QString out;
  for (const TapeBlock& block : project.blocks) {
    const auto found = std::find(sample.begin(), sample.end(), block);
    out += found == sample.end() ? QChar(u'?') : QChar(char16_t(u'a' + (found - sample.begin())));
  }
  return out;
}

inline QList<int> Selection(const MainWindow& w) {
  QList<int> rows;
  for (int row : w.form->SelectedBlocks()) rows << row;
  return rows;
}

// Ends a drag of the selected lines over line `row` (in its upper or lower
// half, or below the last line when row is the count): the place the list
// computes from the point, handed to the window as a finished drop does.
inline void DropSelectedAt(const MainWindow& w, int row, bool lowerHalf) {
  auto* list = static_cast<BlockListWidget*>(w.List());
  QPoint pos;
  if (row < list->count()) {
    const QRect rect = list->visualItemRect(list->item(row));
    pos = QPoint(rect.center().x(), lowerHalf ? rect.bottom() - 1 : rect.top() + 1);
  } else {
    pos = QPoint(5, list->visualItemRect(list->item(list->count() - 1)).bottom() + 20);
  }
  emit list->linesDropped(list->DropRow(pos));
}

// Runs a script of steps, separated by spaces:
//   click:N  ctrl:N  shift:N   a plain, Ctrl and Shift click on line N
//   key:Up / key:Down with shift+ in front for Shift+arrow
//   yes no ok                  the answer to the next box
//   run:NAME                   the menu item's command
inline void RunSteps(MainWindow& w, const QString& steps) {
  for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
    const QString what = step.section(u':', 0, 0);
    const QString arg = step.section(u':', 1);
    QListWidget* list = w.List();
    const auto clickLine = [&](Qt::KeyboardModifiers modifiers) {
      const QRect rect = list->visualItemRect(list->item(arg.toInt()));
      QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
    };
    if (what == "click") {
      clickLine({});
    } else if (what == "ctrl") {
      clickLine(Qt::ControlModifier);
    } else if (what == "shift") {
      clickLine(Qt::ShiftModifier);
    } else if (what == "key") {
      const bool shift = arg.startsWith("shift+");
      const Qt::Key key = arg.endsWith("Up") ? Qt::Key_Up : Qt::Key_Down;
      QTest::keyClick(list, key, shift ? Qt::ShiftModifier : Qt::NoModifier);
    } else if (what == "yes") {
      w.prompts.PlanAnswer(Answer::Yes);
    } else if (what == "no") {
      w.prompts.PlanAnswer(Answer::No);
    } else if (what == "ok") {
      w.prompts.PlanAnswer(Answer::Ok);
    } else if (what == "run") {
      w.Run(qPrintable(arg));
    } else {
      QTest::qFail(qPrintable("unknown step " + step), __FILE__, __LINE__);
      return;
    }
  }
}

}  // namespace reelo::testing
