// The main window's block list: several lines can be selected, and the
// selected lines can be dragged to another place in the list. The list never
// moves its own lines: it reports where the user dropped them, and the window
// moves the blocks and rebuilds the list from the project.
#pragma once

#include <QListWidget>
#include <vector>

#include "project/block_list.h"

namespace reelo {

class BlockListWidget final : public QListWidget {
  Q_OBJECT

 public:
  explicit BlockListWidget(QWidget* parent = nullptr);

  // Puts one line per entry in place of the list's lines. A damaged block's
  // line is drawn in red on a pink ground, with a tooltip saying what is
  // wrong; its text stays the block's line.
  void ShowEntries(const std::vector<BlockListEntry>& entries);

  // The selected rows, lowest first.
  std::vector<int> SelectedRows() const;
  // Selects exactly these rows (rows out of range are left out); the first
  // one becomes the current row.
  void SelectRows(const std::vector<int>& rows);
  // The place a drop at `pos` (viewport coordinates) puts the dragged lines:
  // the row they are to stand before, 0 .. count(); in the upper half of a
  // line before it, in the lower half after it, below the last line at the end.
  int DropRow(const QPoint& pos) const;

 signals:
  // The selected lines were dropped before `row` (0 .. count()).
  void linesDropped(int row);

 protected:
  void dropEvent(QDropEvent* event) override;
};

}  // namespace reelo
