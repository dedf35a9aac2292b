// What the editing tests share: a tape whose blocks tell themselves apart,
// the order of a project in letters, and a script of user steps a table row
// can hold.
#pragma once

#include <algorithm>
#include <map>

#include "ui/block_list_widget.h"
#include "ui_test_support.h"

namespace reelo::testing {

// A program pair, a CODE pair, a lone data block, a lone header: "abcdef".
inline std::vector<TapeBlock> SampleTape() {
  return {MakeHeader(0, "prog", 3, 10, 3), MakeDataBlock({0x00, 0x0A, 0x0D}), MakeHeader(3, "code", 4, 32768),
          MakeDataBlock({1, 2, 3, 4}),     MakeDataBlock({9, 9, 9, 9, 9}),     MakeHeader(3, "lone", 2, 16384)};
}

// Each block as the letter of its place in SampleTape(), "?" for any other.
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

// Runs steps separated by spaces: click:N ctrl:N shift:N (clicks on line N),
// key:Up key:shift+Down (keys in the list), yes no ok (the next box's
// answer), file:PATH (the next dialog's file), run:NAME (a menu command),
// drop:N / dropbelow:N (the selected lines dragged onto the upper or lower
// half of line N; N = the count: below the last line).
inline void RunSteps(MainWindow& w, const QString& steps) {
  const std::map<QString, Answer> answers{{"yes", Answer::Yes}, {"no", Answer::No}, {"ok", Answer::Ok}};
  auto* list = static_cast<BlockListWidget*>(w.List());
  for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
    const QString what = step.section(u':', 0, 0);
    const QString arg = step.section(u':', 1);
    const int row = arg.toInt();
    const QRect line = row < list->count() ? list->visualItemRect(list->item(row)) : QRect();
    if (what == "click" || what == "ctrl" || what == "shift") {
      const Qt::KeyboardModifiers modifiers = what == "ctrl"    ? Qt::ControlModifier
                                              : what == "shift" ? Qt::ShiftModifier
                                                                : Qt::NoModifier;
      QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, line.center());
    } else if (what == "key") {
      QTest::keyClick(list, arg.endsWith("Up") ? Qt::Key_Up : Qt::Key_Down,
                      arg.startsWith("shift+") ? Qt::ShiftModifier : Qt::NoModifier);
    } else if (answers.count(what)) {
      w.prompts.PlanAnswer(answers.at(what));
    } else if (what == "file") {
      w.prompts.PlanFile(arg);
    } else if (what == "run") {
      w.Run(qPrintable(arg));
    } else if (what == "drop" || what == "dropbelow") {
      // What the list makes of the point where a drag of its own lines ends.
      const QPoint pos = line.isNull() ? QPoint(5, list->visualItemRect(list->item(list->count() - 1)).bottom() + 20)
                                       : QPoint(line.center().x(), what == "drop" ? line.top() + 1 : line.bottom() - 1);
      emit list->linesDropped(list->DropRow(pos));
    } else {
      QTest::qFail(qPrintable("unknown step " + step), __FILE__, __LINE__);
      return;
    }
  }
}

}  // namespace reelo::testing
