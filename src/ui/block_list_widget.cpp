#include "ui/block_list_widget.h"

#include <QBrush>
#include <QColor>
#include <QDropEvent>
#include <QItemSelection>
#include <algorithm>

namespace reelo {
namespace {

// A damaged block: dark red on a pale red ground, readable when selected too.
const QColor kDamagedText(0xB0, 0x00, 0x00);
const QColor kDamagedGround(0xFF, 0xE4, 0xE4);

}  // namespace

BlockListWidget::BlockListWidget(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::InternalMove);
  setDefaultDropAction(Qt::MoveAction);
}

// The lines go in as one batch: a row inserted at a time would be announced
// to every listener (the deck among them) once per line. The damaged lines
// are coloured afterwards with the model's signals held back, since each of
// their three changes would otherwise be announced to the view on its own;
// the colours change no line's size, so one repaint is all the view needs.
void BlockListWidget::ShowEntries(const std::vector<BlockListEntry>& entries) {
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(entries.size()));
  for (const BlockListEntry& entry : entries) lines << QString::fromStdString(entry.line);
  setUpdatesEnabled(false);
  clear();
  addItems(lines);
  const QBrush text(kDamagedText), ground(kDamagedGround);
  const bool wasBlocked = model()->blockSignals(true);
  for (std::size_t row = 0; row < entries.size(); ++row) {
    if (entries[row].damage.empty()) continue;
    QListWidgetItem* line = item(static_cast<int>(row));
    line->setForeground(text);
    line->setBackground(ground);
    line->setToolTip(QString::fromStdString(entries[row].damage));
  }
  model()->blockSignals(wasBlocked);
  setUpdatesEnabled(true);
  viewport()->update();
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
