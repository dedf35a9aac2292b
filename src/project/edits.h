// Every change of the project's blocks, each with its rule for `modified`, and
// the one undo history they all go through.
//
// Every edit builds a step and hands it to the history's Push, which applies
// it (the step's Redo) and records it in one go, so what is applied and what
// is recorded cannot drift apart.
//
// An edit that changes nothing (a move at the end of the list, an empty set,
// a replacement by the same bytes) records nothing and leaves `modified` as it
// was. An edit that changes the blocks records itself in the history and sets
// `modified`. Undo and Redo set `modified` from the history: it is false
// exactly when the blocks are back in the state of the last save (or of the
// last New or Open), true otherwise. Edits never touch blockSelected, and only
// New and Open (ReplaceTape) touch fileName; each result names the blocks to
// select afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "project/checksum.h"
#include "project/header_info.h"
#include "project/op_result.h"
#include "project/tape_project.h"

namespace reelo {

inline constexpr const char* kTooManyBlocksText = "В проекте может быть не больше 1000 блоков";

// What an edit, an undo or a redo did.
struct EditResult {
  OpResult status;             // Error: refused, nothing changed (message in Russian)
  bool changed = false;        // the blocks changed and the history has a new step
  std::vector<int> selection;  // blocks to select afterwards, ascending (may be empty)
};

class EditStep;  // one recorded edit (edits.cpp)

// The undo history: the steps done, New and Open among them, and those undone
// that can be redone. Bounded by the memory its steps hold (the bytes
// of the blocks they keep), not by a count: when a new step takes it over the
// limit, the oldest steps are dropped (the newest step is always kept).
class EditHistory {
 public:
  static constexpr std::size_t kDefaultMemoryLimit = std::size_t{256} << 20;  // 256 MiB

  explicit EditHistory(std::size_t memoryLimit = kDefaultMemoryLimit);
  ~EditHistory();
  EditHistory(const EditHistory&) = delete;
  EditHistory& operator=(const EditHistory&) = delete;

  bool canUndo() const;
  bool canRedo() const;
  // Undoes the last step (nothing when there is none); `modified` follows the
  // saved point. The selection is the blocks the step touched, as they are now.
  EditResult Undo(TapeProject& project);
  EditResult Redo(TapeProject& project);

  // The project's blocks now match its file: call after a successful save.
  // Clears `modified`; undoing or redoing back here clears it again.
  void MarkSaved(TapeProject& project);
  // The project differs from its file though no step says so (a tape set up
  // as modified): sets `modified`; no state in the history counts as saved.
  void MarkUnsaved(TapeProject& project);
  // Forgets every step; the present state counts as saved (program start).
  void Clear();

  std::size_t undoCount() const;
  std::size_t redoCount() const;
  std::size_t memoryUsed() const { return memoryUsed_; }
  std::size_t memoryLimit() const { return memoryLimit_; }

  // Used by the edits below: applies the step (its Redo) and records it as
  // the newest, ending every redo. Returns the blocks to select.
  std::vector<int> Push(std::unique_ptr<EditStep> step, TapeProject& project);

 private:
  void SetModified(TapeProject& project) const;
  void DropOldest();

  std::deque<std::unique_ptr<EditStep>> steps_;
  std::size_t current_ = 0;           // steps_[0..current_) are applied
  long long base_ = 0;                // absolute number of steps_[0]
  // Absolute position of the saved state; -1: unreachable. New and Open steps
  // each keep the saved position of the tape on their other side, so undoing
  // an Open gives the earlier tape its own saved state back.
  long long savedAt_ = 0;
  std::size_t memoryUsed_ = 0;
  std::size_t memoryLimit_;
};

// A fresh start: no blocks, no file ("*"), not modified, no selection, an
// empty history.
void ClearProject(TapeProject& project, EditHistory& history);

// New and Open: the whole tape and its file name replaced in one step, after
// which the project counts as saved (its blocks are those of its file, or of
// nothing for New). Undo gives back the earlier tape with its name and its own
// saved state. Nothing is recorded when blocks and name stay the same and the
// project was not modified. Refused, with nothing changed, beyond 1000 blocks.
// Selection: empty.
EditResult ReplaceTape(TapeProject& project, EditHistory& history, std::vector<TapeBlock> blocks,
                       std::string fileName);

// Moves the contiguous run of `count` blocks starting at `first` one place up
// (offset -1) or down (+1) as one. Nothing happens at the ends of the list.
// Selection: the run in its new place.
EditResult MoveBlocks(TapeProject& project, EditHistory& history, int first, int count, int offset);

// Moves the given blocks (any set, kept in their order) so that they stand
// together before the block that was at `target` (0..blockCount; blockCount:
// at the end) before the move: what a drag and drop in the list does.
// Selection: the moved blocks in their new place.
EditResult MoveBlocksTo(TapeProject& project, EditHistory& history, std::vector<int> indices, int target);

// Deletes the given blocks (any set; indices out of range are ignored).
// Selection: empty.
EditResult DeleteBlocks(TapeProject& project, EditHistory& history, std::vector<int> indices);

// Inserts blocks before index (0..blockCount; clamped). Refused, with nothing
// inserted, when the project would hold more than 1000 blocks.
// Selection: the inserted blocks.
EditResult InsertBlocks(TapeProject& project, EditHistory& history, int index, std::vector<TapeBlock> blocks);

// Makes blocks that a caller has already appended to a bare project one
// undoable step: the blocks from `countBefore` to the end are taken out and
// inserted again through the history. (The document never needs it: readers
// give their blocks as values.) Selection: the appended blocks.
EditResult RecordAppended(TapeProject& project, EditHistory& history, int countBefore);

// Replaces block `index` by `block` (a header edit, one checksum repair).
// Selection: that block.
EditResult ReplaceBlock(TapeProject& project, EditHistory& history, int index, TapeBlock block);

// Rewrites the header at `index` from the dialog's fields (BuildHeader: the
// checksum recomputed). Refused when the block is not a header or a field is
// wrong (the message says which). Selection: that header.
EditResult EditHeader(TapeProject& project, EditHistory& history, int index, const HeaderFields& fields);

// Replaces several blocks at once as one step (pairs of index and new block).
// Selection: the replaced blocks.
struct BlockReplacement {
  int index;
  TapeBlock block;
};
EditResult ReplaceBlocks(TapeProject& project, EditHistory& history, std::vector<BlockReplacement> replacements);

// The checksum walk of the checksum tool: asks `repair` about every block
// whose checksum differs and gives the accepted repairs, changing nothing.
// `outcome` receives the closing message's case.
std::vector<BlockReplacement> ChecksumRepairs(const TapeProject& project,
                                              const std::function<bool(const ChecksumMismatch&)>& repair,
                                              ChecksumOutcome& outcome);

// The same walk with every accepted repair gathered into one undoable step.
EditResult RepairChecksums(TapeProject& project, EditHistory& history,
                           const std::function<bool(const ChecksumMismatch&)>& repair, ChecksumOutcome& outcome);

}  // namespace reelo
