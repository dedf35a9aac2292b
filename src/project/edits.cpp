#include "project/edits.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "project/block_access.h"

namespace reelo {

// One recorded edit. A step is made before its edit is applied and holds what
// the edit needs; the history's Push applies it by its Redo. Undo and Redo
// return the blocks to select afterwards.
class EditStep {
 public:
  virtual ~EditStep() = default;
  virtual std::vector<int> Undo(TapeProject& project) = 0;
  virtual std::vector<int> Redo(TapeProject& project) = 0;
  // The memory the step holds or may hold (its blocks' bytes and its tables).
  virtual std::size_t memory() const = 0;
  // A step that replaces the whole tape keeps the saved position of the tape
  // on its other side here; the history swaps it with its own as it passes.
  virtual long long* otherSavedPoint() { return nullptr; }
};

namespace {

constexpr std::size_t kStepOverhead = 64;

std::vector<int> Range(int first, int count) {
  std::vector<int> indices(static_cast<std::size_t>(std::max(count, 0)));
  std::iota(indices.begin(), indices.end(), first);
  return indices;
}

// The valid indices of a set, ascending and without repeats.
std::vector<int> CleanIndices(std::vector<int> indices, int blockCount) {
  std::erase_if(indices, [blockCount](int i) { return i < 0 || i >= blockCount; });
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  return indices;
}

// Rearranges blocks[start .. start + order.size()): the block that stood at
// start + order[k] comes to start + k.
void Permute(std::vector<TapeBlock>& blocks, int start, const std::vector<int>& order) {
  std::vector<TapeBlock> moved(order.size());
  const auto base = blocks.begin() + start;
  for (std::size_t k = 0; k < order.size(); ++k) moved[k] = std::move(base[order[k]]);
  std::move(moved.begin(), moved.end(), base);
}

std::vector<int> Inverse(const std::vector<int>& order) {
  std::vector<int> inverse(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) inverse[static_cast<std::size_t>(order[k])] = static_cast<int>(k);
  return inverse;
}

// A rearrangement of a span of blocks (moves and drags).
class PermuteStep final : public EditStep {
 public:
  PermuteStep(int start, std::vector<int> order, std::vector<int> selectionBefore, std::vector<int> selectionAfter)
      : start_(start),
        order_(std::move(order)),
        selectionBefore_(std::move(selectionBefore)),
        selectionAfter_(std::move(selectionAfter)) {}
  std::vector<int> Undo(TapeProject& project) override {
    Permute(project.blocks, start_, Inverse(order_));
    return selectionBefore_;
  }
  std::vector<int> Redo(TapeProject& project) override {
    Permute(project.blocks, start_, order_);
    return selectionAfter_;
  }
  std::size_t memory() const override {
    return kStepOverhead + sizeof(int) * (order_.size() + selectionBefore_.size() + selectionAfter_.size());
  }

 private:
  int start_;
  std::vector<int> order_;
  std::vector<int> selectionBefore_, selectionAfter_;
};

// Blocks that leave the project (delete) or enter it (insert at one place).
// `entries` holds the blocks out of the project, each with its index in the
// project where it stands: ascending, so inserting them in order restores them.
struct PlacedBlock {
  int index;
  TapeBlock block;
};

std::size_t PlacedMemory(const std::vector<PlacedBlock>& entries) {
  std::size_t total = kStepOverhead;
  for (const PlacedBlock& entry : entries) total += sizeof(PlacedBlock) + entry.block.size();
  return total;
}

// Takes the blocks at the (ascending) indices out of the project in one pass.
std::vector<PlacedBlock> TakeOut(std::vector<TapeBlock>& blocks, const std::vector<int>& indices) {
  std::vector<PlacedBlock> taken;
  taken.reserve(indices.size());
  std::vector<TapeBlock> kept;
  kept.reserve(blocks.size() - indices.size());
  std::size_t next = 0;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (next < indices.size() && static_cast<std::size_t>(indices[next]) == i) {
      taken.push_back({indices[next], std::move(blocks[i])});
      ++next;
    } else {
      kept.push_back(std::move(blocks[i]));
    }
  }
  blocks = std::move(kept);
  return taken;
}

// Puts blocks back at their indices (ascending) in one pass; returns the indices.
std::vector<int> PutBack(std::vector<TapeBlock>& blocks, std::vector<PlacedBlock>& entries) {
  std::vector<TapeBlock> merged;
  merged.reserve(blocks.size() + entries.size());
  std::vector<int> indices;
  indices.reserve(entries.size());
  std::size_t from = 0;
  for (PlacedBlock& entry : entries) {
    while (static_cast<int>(merged.size()) < entry.index && from < blocks.size()) {
      merged.push_back(std::move(blocks[from++]));
    }
    indices.push_back(static_cast<int>(merged.size()));
    merged.push_back(std::move(entry.block));
  }
  while (from < blocks.size()) merged.push_back(std::move(blocks[from++]));
  blocks = std::move(merged);
  entries.clear();
  return indices;
}

// Holds the blocks that are out of the project: before an insert and after
// it has been undone, the blocks to insert; after a delete, the deleted ones.
class MoveInOutStep final : public EditStep {
 public:
  // removing: a delete of the blocks at the indices `inserted`; otherwise an
  // insert of the blocks in `out`, each at its index.
  MoveInOutStep(bool removing, std::vector<PlacedBlock> out, std::vector<int> inserted, std::size_t bytes)
      : removing_(removing), out_(std::move(out)), inserted_(std::move(inserted)), memory_(bytes) {}
  std::vector<int> Undo(TapeProject& project) override { return removing_ ? In(project) : Out(project); }
  std::vector<int> Redo(TapeProject& project) override { return removing_ ? Out(project) : In(project); }
  std::size_t memory() const override { return memory_; }

 private:
  std::vector<int> In(TapeProject& project) {
    inserted_ = PutBack(project.blocks, out_);
    return inserted_;
  }
  std::vector<int> Out(TapeProject& project) {
    out_ = TakeOut(project.blocks, inserted_);
    // After a delete nothing stays selected; after an undone insert neither.
    return {};
  }

  bool removing_;
  std::vector<PlacedBlock> out_;
  std::vector<int> inserted_;
  std::size_t memory_;
};

// Blocks replaced in place: the step holds the other version of each (before
// it is applied, the new blocks).
class SwapStep final : public EditStep {
 public:
  explicit SwapStep(std::vector<PlacedBlock> others) : others_(std::move(others)) {}
  std::vector<int> Undo(TapeProject& project) override { return Swap(project); }
  std::vector<int> Redo(TapeProject& project) override { return Swap(project); }
  // Counted once, as the history first sees the step, so that what it adds
  // and later takes away is the same whichever version the step then holds.
  std::size_t memory() const override {
    if (memory_ == 0) memory_ = PlacedMemory(others_);
    return memory_;
  }

 private:
  std::vector<int> Swap(TapeProject& project) {
    std::vector<int> indices;
    for (PlacedBlock& other : others_) {
      std::swap(project.blocks[static_cast<std::size_t>(other.index)], other.block);
      indices.push_back(other.index);
    }
    return indices;
  }
  std::vector<PlacedBlock> others_;
  mutable std::size_t memory_ = 0;
};

// The whole tape and its file name, swapped with the project's (New, Open).
class TapeStep final : public EditStep {
 public:
  TapeStep(std::vector<TapeBlock> blocks, std::string fileName)
      : blocks_(std::move(blocks)), fileName_(std::move(fileName)) {
    memory_ = kStepOverhead + fileName_.size();
    for (const TapeBlock& block : blocks_) memory_ += sizeof(TapeBlock) + block.size();
  }
  std::vector<int> Undo(TapeProject& project) override { return Swap(project); }
  std::vector<int> Redo(TapeProject& project) override { return Swap(project); }
  // Fixed when the step is made, so that the history's total stays exact; the
  // two tapes it holds in turn are both counted.
  std::size_t memory() const override { return memory_; }
  long long* otherSavedPoint() override { return &otherSaved_; }
  void CountOtherTape(const TapeProject& project) {
    memory_ += project.fileName.size();
    for (const TapeBlock& block : project.blocks) memory_ += sizeof(TapeBlock) + block.size();
  }

 private:
  std::vector<int> Swap(TapeProject& project) {
    std::swap(project.blocks, blocks_);
    std::swap(project.fileName, fileName_);
    return {};
  }
  std::vector<TapeBlock> blocks_;
  std::string fileName_;
  long long otherSaved_ = -1;
  std::size_t memory_;
};

std::size_t BlocksMemory(const std::vector<TapeBlock>& blocks) {
  std::size_t total = kStepOverhead;
  for (const TapeBlock& block : blocks) total += sizeof(PlacedBlock) + block.size();
  return total;
}

EditResult Changed(std::vector<int> selection) { return {OpResult::Success(), true, std::move(selection)}; }
EditResult Unchanged() { return {}; }

// Applies a rearrangement (new position k takes the block at old position
// order[k]) over the changed span only, and records it.
EditResult ApplyOrder(TapeProject& project, EditHistory& history, const std::vector<int>& order,
                      std::vector<int> selectionBefore, std::vector<int> selectionAfter) {
  int first = 0;
  int last = static_cast<int>(order.size()) - 1;
  while (first <= last && order[static_cast<std::size_t>(first)] == first) ++first;
  while (last >= first && order[static_cast<std::size_t>(last)] == last) --last;
  if (first > last) return Unchanged();
  std::vector<int> span;
  span.reserve(static_cast<std::size_t>(last - first + 1));
  for (int k = first; k <= last; ++k) span.push_back(order[static_cast<std::size_t>(k)] - first);
  return Changed(history.Push(
      std::make_unique<PermuteStep>(first, std::move(span), std::move(selectionBefore), std::move(selectionAfter)),
      project));
}

}  // namespace

// ---- the history ----

EditHistory::EditHistory(std::size_t memoryLimit) : memoryLimit_(memoryLimit) {}
EditHistory::~EditHistory() = default;

bool EditHistory::canUndo() const { return current_ > 0; }
bool EditHistory::canRedo() const { return current_ < steps_.size(); }
std::size_t EditHistory::undoCount() const { return current_; }
std::size_t EditHistory::redoCount() const { return steps_.size() - current_; }

void EditHistory::SetModified(TapeProject& project) const {
  project.modified = savedAt_ != base_ + static_cast<long long>(current_);
}

EditResult EditHistory::Undo(TapeProject& project) {
  if (!canUndo()) return Unchanged();
  --current_;
  std::vector<int> selection = steps_[current_]->Undo(project);
  if (long long* other = steps_[current_]->otherSavedPoint()) std::swap(savedAt_, *other);
  SetModified(project);
  return Changed(std::move(selection));
}

EditResult EditHistory::Redo(TapeProject& project) {
  if (!canRedo()) return Unchanged();
  std::vector<int> selection = steps_[current_]->Redo(project);
  if (long long* other = steps_[current_]->otherSavedPoint()) std::swap(savedAt_, *other);
  ++current_;
  SetModified(project);
  return Changed(std::move(selection));
}

void EditHistory::MarkSaved(TapeProject& project) {
  savedAt_ = base_ + static_cast<long long>(current_);
  project.modified = false;
}

void EditHistory::MarkUnsaved(TapeProject& project) {
  savedAt_ = -1;
  project.modified = true;
}

void EditHistory::Clear() {
  steps_.clear();
  current_ = 0;
  base_ = 0;
  savedAt_ = 0;
  memoryUsed_ = 0;
}

void EditHistory::DropOldest() {
  memoryUsed_ -= steps_.front()->memory();
  steps_.pop_front();
  ++base_;
  --current_;
}

std::vector<int> EditHistory::Push(std::unique_ptr<EditStep> step, TapeProject& project) {
  std::vector<int> selection = step->Redo(project);
  const long long position = base_ + static_cast<long long>(current_);
  // A project marked modified by a change made outside the history is not the
  // saved state, even where the history thinks it is.
  if (project.modified && savedAt_ == position) savedAt_ = -1;
  // A new step ends every redo; a saved state among them cannot come back.
  while (steps_.size() > current_) {
    memoryUsed_ -= steps_.back()->memory();
    steps_.pop_back();
  }
  if (savedAt_ > position) savedAt_ = -1;
  // A step that replaces the tape leaves it saved; the tape before keeps its
  // saved position in the step.
  if (long long* other = step->otherSavedPoint()) {
    *other = savedAt_;
    savedAt_ = position + 1;
  }
  memoryUsed_ += step->memory();
  steps_.push_back(std::move(step));
  ++current_;
  while (memoryUsed_ > memoryLimit_ && steps_.size() > 1) DropOldest();
  SetModified(project);
  return selection;
}

// ---- the edits ----

void ClearProject(TapeProject& project, EditHistory& history) {
  project.blocks.clear();
  project.blocks.shrink_to_fit();
  project.forgetFileName();
  project.modified = false;
  project.blockSelected = false;
  history.Clear();
}

EditResult ReplaceTape(TapeProject& project, EditHistory& history, std::vector<TapeBlock> blocks,
                       std::string fileName) {
  if (blocks.size() > static_cast<std::size_t>(kMaxBlocks)) return {OpResult::Fail(kTooManyBlocksText), false, {}};
  if (!project.modified && fileName == project.fileName && blocks == project.blocks) return Unchanged();
  auto step = std::make_unique<TapeStep>(std::move(blocks), std::move(fileName));
  step->CountOtherTape(project);
  return Changed(history.Push(std::move(step), project));
}

EditResult MoveBlocks(TapeProject& project, EditHistory& history, int first, int count, int offset) {
  const int n = project.blockCount();
  if (count < 1 || first < 0 || first + count > n || (offset != -1 && offset != 1)) return Unchanged();
  if (first + offset < 0 || first + count + offset > n) return Unchanged();
  std::vector<int> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  if (offset < 0) {
    std::rotate(order.begin() + first - 1, order.begin() + first, order.begin() + first + count);
  } else {
    std::rotate(order.begin() + first, order.begin() + first + count, order.begin() + first + count + 1);
  }
  return ApplyOrder(project, history, order, Range(first, count), Range(first + offset, count));
}

EditResult MoveBlocksTo(TapeProject& project, EditHistory& history, std::vector<int> indices, int target) {
  const int n = project.blockCount();
  indices = CleanIndices(std::move(indices), n);
  if (indices.empty()) return Unchanged();
  target = std::clamp(target, 0, n);
  std::vector<int> rest;
  rest.reserve(static_cast<std::size_t>(n) - indices.size());
  int insertAt = 0;
  std::size_t next = 0;
  for (int i = 0; i < n; ++i) {
    if (next < indices.size() && indices[next] == i) {
      ++next;
      continue;
    }
    if (i < target) ++insertAt;
    rest.push_back(i);
  }
  std::vector<int> order(rest.begin(), rest.begin() + insertAt);
  order.insert(order.end(), indices.begin(), indices.end());
  order.insert(order.end(), rest.begin() + insertAt, rest.end());
  const int count = static_cast<int>(indices.size());
  return ApplyOrder(project, history, order, indices, Range(insertAt, count));
}

EditResult DeleteBlocks(TapeProject& project, EditHistory& history, std::vector<int> indices) {
  indices = CleanIndices(std::move(indices), project.blockCount());
  if (indices.empty()) return Unchanged();
  std::size_t bytes = kStepOverhead;
  for (int i : indices) bytes += sizeof(PlacedBlock) + project.blocks[static_cast<std::size_t>(i)].size();
  return Changed(history.Push(
      std::make_unique<MoveInOutStep>(true, std::vector<PlacedBlock>{}, std::move(indices), bytes), project));
}

EditResult InsertBlocks(TapeProject& project, EditHistory& history, int index, std::vector<TapeBlock> blocks) {
  if (blocks.empty()) return Unchanged();
  if (blocks.size() > static_cast<std::size_t>(project.freeSlots())) {
    return {OpResult::Fail(kTooManyBlocksText), false, {}};
  }
  index = std::clamp(index, 0, project.blockCount());
  const std::size_t bytes = BlocksMemory(blocks);
  std::vector<PlacedBlock> placed;
  placed.reserve(blocks.size());
  for (TapeBlock& block : blocks) placed.push_back({index + static_cast<int>(placed.size()), std::move(block)});
  return Changed(
      history.Push(std::make_unique<MoveInOutStep>(false, std::move(placed), std::vector<int>{}, bytes), project));
}

EditResult RecordAppended(TapeProject& project, EditHistory& history, int countBefore) {
  const int n = project.blockCount();
  if (countBefore < 0 || countBefore >= n) return Unchanged();
  std::vector<TapeBlock> appended(std::make_move_iterator(project.blocks.begin() + countBefore),
                                  std::make_move_iterator(project.blocks.end()));
  project.blocks.resize(static_cast<std::size_t>(countBefore));
  return InsertBlocks(project, history, countBefore, std::move(appended));
}

EditResult ReplaceBlocks(TapeProject& project, EditHistory& history, std::vector<BlockReplacement> replacements) {
  const int n = project.blockCount();
  for (const BlockReplacement& r : replacements) {
    if (r.index < 0 || r.index >= n) return {OpResult::Fail("Блок не найден"), false, {}};
  }
  // The last replacement of a block wins; a block that would stay the same is left out.
  std::stable_sort(replacements.begin(), replacements.end(),
                   [](const BlockReplacement& a, const BlockReplacement& b) { return a.index < b.index; });
  std::vector<PlacedBlock> others;
  for (std::size_t k = 0; k < replacements.size(); ++k) {
    if (k + 1 < replacements.size() && replacements[k + 1].index == replacements[k].index) continue;
    TapeBlock& slot = project.blocks[static_cast<std::size_t>(replacements[k].index)];
    if (slot == replacements[k].block) continue;
    others.push_back({replacements[k].index, std::move(replacements[k].block)});
  }
  if (others.empty()) return Unchanged();
  return Changed(history.Push(std::make_unique<SwapStep>(std::move(others)), project));
}

EditResult ReplaceBlock(TapeProject& project, EditHistory& history, int index, TapeBlock block) {
  std::vector<BlockReplacement> one;
  one.push_back({index, std::move(block)});
  return ReplaceBlocks(project, history, std::move(one));
}

EditResult EditHeader(TapeProject& project, EditHistory& history, int index, const HeaderFields& fields) {
  const TapeBlock& old = BlockAt(project, index);
  if (!IsHeader(old)) return {OpResult::Fail("Выбранный блок - не заголовок"), false, {}};
  HeaderBuild built = BuildHeader(old, fields);
  if (!built.status.ok()) return {built.status, false, {}};
  EditResult result = ReplaceBlock(project, history, index, std::move(built.block));
  if (!result.changed) result.selection = {index};
  return result;
}

std::vector<BlockReplacement> ChecksumRepairs(const TapeProject& project,
                                              const std::function<bool(const ChecksumMismatch&)>& repair,
                                              ChecksumOutcome& outcome) {
  bool mismatchFound = false;
  bool leftUnrepaired = false;
  std::vector<BlockReplacement> repairs;
  for (int i = 0; i < project.blockCount(); ++i) {
    const TapeBlock& block = project.blocks[static_cast<std::size_t>(i)];
    if (ChecksumMatches(block)) continue;
    mismatchFound = true;
    const std::uint8_t computed = ComputedChecksum(block);
    const auto position = static_cast<std::size_t>(RecordLength(block) + 1);
    if (repair({i + 1, StoredChecksum(block), computed}) && position < block.size()) {
      TapeBlock repaired = block;
      repaired.set(position, computed);
      repairs.push_back({i, std::move(repaired)});
    } else {
      leftUnrepaired = true;
    }
  }
  outcome = !mismatchFound ? ChecksumOutcome::AllMatched
                           : (leftUnrepaired ? ChecksumOutcome::SomeLeft : ChecksumOutcome::AllRepaired);
  return repairs;
}

EditResult RepairChecksums(TapeProject& project, EditHistory& history,
                           const std::function<bool(const ChecksumMismatch&)>& repair, ChecksumOutcome& outcome) {
  return ReplaceBlocks(project, history, ChecksumRepairs(project, repair, outcome));
}

}  // namespace reelo
