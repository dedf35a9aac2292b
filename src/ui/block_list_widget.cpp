#include "ui/block_list_widget.h"

#include <QDropEvent>
#include <QItemSelection>
#include <algorithm>

namespace reelo {

BlockListWidget::BlockListWidget(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::InternalMove);
  setDefaultDropAction(Qt::MoveAction);
}

std::vector<int> BlockListWidget::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedIndexes()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void BlockListWidget::SelectRows(const std::vector<int>& rows) {
  QItemSelection selection;
  int current = -1;
  for (int row : rows) {
    if (row < 0 || row >= count()) continue;
    if (current < 0) current = row;
    selection.select(model()->index(row, 0), model()->index(row, 0));
  }
  if (current < 0) return;
  selectionModel()->setCurrentIndex(model()->index(current, 0), QItemSelectionModel::NoUpdate);
  selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

int BlockListWidget::DropRow(const QPoint& pos) const {
  const QModelIndex index = indexAt(pos);
  if (!index.isValid()) return count();
  return pos.y() > visualRect(index).center().y() ? index.row() + 1 : index.row();
}

// Only lines dragged within this list are taken. The drop is answered as a
// copy so that the view does not remove the dragged lines itself; the window
// is told once the drag has finished, and rebuilds the list.
void BlockListWidget::dropEvent(QDropEvent* event) {
  if (event->source() != this) {
    event->ignore();
    return;
  }
  const int row = DropRow(event->position().toPoint());
  event->setDropAction(Qt::CopyAction);
  event->accept();
  QMetaObject::invokeMethod(this, [this, row] { emit linesDropped(row); }, Qt::QueuedConnection);
}

}  // namespace reelo
