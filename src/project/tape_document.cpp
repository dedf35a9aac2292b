#include "project/tape_document.h"

#include <algorithm>
#include <utility>

namespace reelo {

TapeDocument::TapeDocument(std::size_t historyLimit) : history_(historyLimit) {}

void TapeDocument::AddListener(TapeDocumentListener& listener) { listeners_.push_back(&listener); }

void TapeDocument::RemoveListener(TapeDocumentListener& listener) { std::erase(listeners_, &listener); }

void TapeDocument::Tell(const TapeChange& change, bool modifiedBefore) {
  // A listener may add or remove listeners while it is told.
  const std::vector<TapeDocumentListener*> listeners = listeners_;
  if (change.blocks || change.fileName) {
    for (TapeDocumentListener* listener : listeners) listener->TapeChanged(change);
  }
  if (project_.modified != modifiedBefore) {
    for (TapeDocumentListener* listener : listeners) listener->ModifiedChanged(project_.modified);
  }
  for (TapeDocumentListener* listener : listeners) listener->HistoryChanged();
}

void TapeDocument::SetLocked(bool locked) {
  if (locked == locked_) return;
  locked_ = locked;
  Tell({}, project_.modified);
}

void TapeDocument::Reset(TapeProject project) {
  const bool modifiedBefore = project_.modified;
  const bool modified = project.modified;
  ClearProject(project_, history_);
  project_ = std::move(project);
  project_.modified = false;
  // A tape set up as modified must not count as saved when Undo comes back to it.
  if (modified) history_.MarkUnsaved(project_);
  Tell({true, true, {}}, modifiedBefore);
}

EditResult TapeDocument::Change(const std::function<EditResult()>& edit, bool namesFile) {
  if (locked_) return {OpResult::Fail(kTapeLockedText), false, {}};
  const bool modifiedBefore = project_.modified;
  EditResult result = edit();
  Tell({result.changed, result.changed && namesFile, result.selection}, modifiedBefore);
  return result;
}

EditResult TapeDocument::Move(int first, int count, int offset) {
  return Change([&] { return MoveBlocks(project_, history_, first, count, offset); });
}

EditResult TapeDocument::MoveTo(std::vector<int> indices, int target) {
  return Change([&] { return MoveBlocksTo(project_, history_, std::move(indices), target); });
}

EditResult TapeDocument::Delete(std::vector<int> indices) {
  return Change([&] { return DeleteBlocks(project_, history_, std::move(indices)); });
}

EditResult TapeDocument::Insert(int index, std::vector<TapeBlock> blocks) {
  return Change([&] { return InsertBlocks(project_, history_, index, std::move(blocks)); });
}

EditResult TapeDocument::Replace(std::vector<BlockReplacement> replacements) {
  return Change([&] { return ReplaceBlocks(project_, history_, std::move(replacements)); });
}

EditResult TapeDocument::EditHeader(int index, const HeaderFields& fields) {
  return Change([&] { return reelo::EditHeader(project_, history_, index, fields); });
}

EditResult TapeDocument::RepairChecksums(const std::function<bool(const ChecksumMismatch&)>& repair,
                                         ChecksumOutcome& outcome) {
  return Change([&] { return ReplaceBlocks(project_, history_, ChecksumRepairs(project_, repair, outcome)); });
}

EditResult TapeDocument::Append(TapeRead read) {
  if (!read.status.ok()) return {std::move(read.status), false, {}};
  return Change([&] {
    EditResult result = InsertBlocks(project_, history_, project_.blockCount(), std::move(read.blocks));
    if (result.status.ok()) result.status = std::move(read.status);
    // Added blocks have never been selected after an Add file or an import.
    result.selection.clear();
    return result;
  });
}

EditResult TapeDocument::New() {
  return Change([&] { return ReplaceTape(project_, history_, {}, kNoFileName); }, true);
}

EditResult TapeDocument::Open(const std::string& fileName, TapeRead read) {
  if (!read.status.ok()) return {std::move(read.status), false, {}};
  return Change(
      [&] {
        EditResult result = ReplaceTape(project_, history_, std::move(read.blocks), fileName);
        if (result.status.ok()) result.status = std::move(read.status);
        return result;
      },
      true);
}

EditResult TapeDocument::Undo() {
  return Change([&] { return history_.Undo(project_); }, true);
}

EditResult TapeDocument::Redo() {
  return Change([&] { return history_.Redo(project_); }, true);
}

void TapeDocument::SetFileName(const std::string& fileName) {
  if (fileName == project_.fileName) return;
  project_.fileName = fileName;
  Tell({false, true, {}}, project_.modified);
}

OpResult TapeDocument::Save(const std::function<OpResult(TapeProject&)>& write) {
  const bool modifiedBefore = project_.modified;
  OpResult result = write(project_);
  if (result.ok()) {
    history_.MarkSaved(project_);
  } else {
    project_.modified = modifiedBefore;
  }
  Tell({}, modifiedBefore);
  return result;
}

}  // namespace reelo
