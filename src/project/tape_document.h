// The tape as a document: it owns the project and its undo history, and every
// change goes through one of its calls, which applies the change and records
// it as one step. Readers give their blocks as values (TapeRead) and the
// document takes them in as one step. Whoever shows the tape (the main window,
// the deck) listens and follows: the tape changed, it became clean or
// modified, what Undo and Redo can do changed.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "project/checksum.h"
#include "project/edits.h"
#include "project/header_info.h"
#include "project/op_result.h"
#include "project/tape_project.h"

namespace reelo {

inline constexpr const char* kTapeLockedText = "Лента воспроизводится: остановите её, чтобы изменить проект";

// What a change did to the tape.
struct TapeChange {
  bool blocks = false;         // blocks came, went, moved or changed
  bool fileName = false;       // the project's file name changed
  std::vector<int> selection;  // blocks to select afterwards, ascending
};

class TapeDocumentListener {
 public:
  virtual ~TapeDocumentListener() = default;
  virtual void TapeChanged(const TapeChange& change) = 0;
  // The project became modified (true) or clean again (false).
  virtual void ModifiedChanged(bool modified) = 0;
  // What Undo and Redo can do, or whether the tape may be changed, may differ.
  virtual void HistoryChanged() = 0;
};

class TapeDocument {
 public:
  explicit TapeDocument(std::size_t historyLimit = EditHistory::kDefaultMemoryLimit);
  TapeDocument(const TapeDocument&) = delete;
  TapeDocument& operator=(const TapeDocument&) = delete;

  const TapeProject& project() const { return project_; }
  const EditHistory& history() const { return history_; }
  bool modified() const { return project_.modified; }
  bool canUndo() const { return !locked_ && history_.canUndo(); }
  bool canRedo() const { return !locked_ && history_.canRedo(); }

  // Listeners are told in the order they were added; each must be removed
  // before it goes.
  void AddListener(TapeDocumentListener& listener);
  void RemoveListener(TapeDocumentListener& listener);

  // While locked (the deck plays the blocks) every change of the tape, Undo
  // and Redo among them, is refused with kTapeLockedText and changes nothing.
  // Saving and naming the file stay possible.
  void SetLocked(bool locked);
  bool locked() const { return locked_; }

  // Starts again from this project with an empty history: the program's
  // start, and tests that set a tape up. Counts as saved unless
  // project.modified says otherwise.
  void Reset(TapeProject project);

  // The edits of edits.h, each one step; see there for their rules.
  EditResult Move(int first, int count, int offset);
  EditResult MoveTo(std::vector<int> indices, int target);
  EditResult Delete(std::vector<int> indices);
  EditResult Insert(int index, std::vector<TapeBlock> blocks);
  EditResult Replace(std::vector<BlockReplacement> replacements);
  EditResult EditHeader(int index, const HeaderFields& fields);
  // The checksum tool's walk: the accepted repairs as one step.
  EditResult RepairChecksums(const std::function<bool(const ChecksumMismatch&)>& repair, ChecksumOutcome& outcome);
  // What a reader read, after the last block (Add file, the WAV import): one
  // step, selecting nothing. The status is the read's (its warning shown after
  // the blocks are in); a failed read changes nothing.
  EditResult Append(TapeRead read);
  // New: an empty tape without a file, as one step that Undo takes back.
  EditResult New();
  // Open: the read tape replaces the whole tape and takes the file's name, as
  // one step that Undo takes back. A failed read changes nothing.
  EditResult Open(const std::string& fileName, TapeRead read);
  EditResult Undo();
  EditResult Redo();

  // The file the next Save writes to (Save as). Not a step.
  void SetFileName(const std::string& fileName);
  // Writes the project with `write` (which must only write); on success the
  // present state is the saved one.
  OpResult Save(const std::function<OpResult(TapeProject&)>& write);
  // The window's note that the user chose a line since the list was rebuilt.
  // Not part of the tape: nobody is told.
  void SetBlockSelected(bool selected) { project_.blockSelected = selected; }

 private:
  // Runs an edit unless locked, then tells the listeners what it did.
  EditResult Change(const std::function<EditResult()>& edit, bool namesFile = false);
  void Tell(const TapeChange& change, bool modifiedBefore);

  TapeProject project_;
  EditHistory history_;
  bool locked_ = false;
  std::vector<TapeDocumentListener*> listeners_;
};

}  // namespace reelo
