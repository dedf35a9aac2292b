// The document under random changes of every kind (moves, drags, deletes,
// inserts, replacements, appends of read blocks, New, Open, saves, renames,
// the lock of a playing deck) with undo and redo between them, each checked
// against a plain model: the list of tapes the history has passed through,
// each tape's file name and saved state kept per file (New and Open start a
// new one), written with nothing but vectors and copies of blocks.
//
// Input: one byte for the start (how many blocks, modified or not), then a
// byte per choice; the run ends when the bytes do.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "project/tape_document.h"

namespace reelo::fuzz {
namespace {

class Choices {
 public:
  Choices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  // A number below n (0 once the input has run out).
  int Below(int n) { return n <= 0 || done() ? 0 : data_[at_++] % n; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Few different blocks, so that equal blocks meet often.
TapeBlock BlockOf(int label) {
  const auto b = static_cast<std::uint8_t>(label);
  return MakeRecord({0xFF, b, static_cast<std::uint8_t>(0xFF ^ b)});
}

std::vector<TapeBlock> Blocks(Choices& in, int most) {
  std::vector<TapeBlock> blocks(static_cast<std::size_t>(in.Below(most + 1)));
  for (TapeBlock& block : blocks) block = BlockOf(in.Below(6));
  return blocks;
}

std::vector<int> Indices(Choices& in, int blockCount) {
  std::vector<int> indices(static_cast<std::size_t>(in.Below(6)));
  for (int& i : indices) i = in.Below(blockCount + 3) - 1;  // out of range and repeats too
  return indices;
}

std::vector<int> Clean(std::vector<int> indices, int blockCount) {
  std::erase_if(indices, [blockCount](int i) { return i < 0 || i >= blockCount; });
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  return indices;
}

std::vector<int> Range(int first, int count) {
  std::vector<int> range;
  for (int k = 0; k < count; ++k) range.push_back(first + k);
  return range;
}

// The plain model: every tape the history can reach, in order, and for each
// file lineage (started by the first tape, New or Open) its name and the tape
// that is saved (-1: none).
struct Model {
  std::vector<std::vector<TapeBlock>> tapes;
  std::vector<int> lineageOf;  // of each tape
  std::vector<std::string> names;
  std::vector<int> saved;
  int at = 0;

  const std::vector<TapeBlock>& blocks() const { return tapes[static_cast<std::size_t>(at)]; }
  int lineage() const { return lineageOf[static_cast<std::size_t>(at)]; }
  bool modified() const { return saved[static_cast<std::size_t>(lineage())] != at; }
  const std::string& name() const { return names[static_cast<std::size_t>(lineage())]; }

  // A new tape after the present one; the tapes that could be redone are gone.
  void Push(std::vector<TapeBlock> blocks, int newLineage) {
    tapes.resize(static_cast<std::size_t>(at) + 1);
    lineageOf.resize(static_cast<std::size_t>(at) + 1);
    for (int& s : saved) {
      if (s > at) s = -1;
    }
    tapes.push_back(std::move(blocks));
    lineageOf.push_back(newLineage < 0 ? lineage() : newLineage);
    ++at;
  }
  void PushFile(std::vector<TapeBlock> blocks, const std::string& name) {
    names.push_back(name);
    saved.push_back(-1);
    Push(std::move(blocks), static_cast<int>(names.size()) - 1);
    saved.back() = at;
  }
};

struct Told : TapeDocumentListener {
  void TapeChanged(const TapeChange& change) override {
    ++tapeChanges;
    selection = change.selection;
  }
  void ModifiedChanged(bool modified) override {
    ++modifiedChanges;
    lastModified = modified;
  }
  void HistoryChanged() override {}
  int tapeChanges = 0, modifiedChanges = 0;
  bool lastModified = false;
  std::vector<int> selection;
};

void Check(const TapeDocument& document, const Model& model) {
  FUZZ_CHECK(document.project().blocks == model.blocks());
  FUZZ_CHECK(document.project().fileName == model.name());
  FUZZ_CHECK(document.modified() == model.modified());
  FUZZ_CHECK(document.history().undoCount() == static_cast<std::size_t>(model.at));
  FUZZ_CHECK(document.history().redoCount() == model.tapes.size() - 1 - static_cast<std::size_t>(model.at));
}

// One random change made on both; returns what the model expects of it.
struct Expected {
  bool changed = false;
  bool refused = false;
  bool checkSelection = false;
  std::vector<int> selection;
  std::string message;
};

Expected Step(Choices& in, TapeDocument& document, Model& model, EditResult& result) {
  const std::vector<TapeBlock>& now = model.blocks();
  const int n = static_cast<int>(now.size());
  Expected e;
  const bool locked = document.locked();
  auto change = [&](std::vector<TapeBlock> blocks, std::vector<int> selection) {
    e.changed = true;
    e.checkSelection = true;
    e.selection = std::move(selection);
    model.Push(std::move(blocks), -1);
  };
  switch (in.Below(14)) {
    case 0: {  // a run one place up or down
      const int first = in.Below(n + 1), count = 1 + in.Below(4), offset = in.Below(2) ? 1 : -1;
      result = document.Move(first, count, offset);
      if (locked) break;
      if (first + count > n || first + offset < 0 || first + count + offset > n) break;
      std::vector<TapeBlock> blocks = now;
      std::vector<TapeBlock> run(blocks.begin() + first, blocks.begin() + first + count);
      blocks.erase(blocks.begin() + first, blocks.begin() + first + count);
      blocks.insert(blocks.begin() + first + offset, run.begin(), run.end());
      change(std::move(blocks), Range(first + offset, count));
      break;
    }
    case 1: {  // a drag and drop
      const std::vector<int> indices = Indices(in, n);
      const int target = in.Below(n + 2);
      result = document.MoveTo(indices, target);
      if (locked) break;
      const std::vector<int> moved = Clean(indices, n);
      if (moved.empty()) break;
      std::vector<int> rest;
      int insertAt = 0;
      for (int i = 0; i < n; ++i) {
        if (std::find(moved.begin(), moved.end(), i) != moved.end()) continue;
        if (i < std::min(target, n)) ++insertAt;
        rest.push_back(i);
      }
      std::vector<int> order(rest.begin(), rest.begin() + insertAt);
      order.insert(order.end(), moved.begin(), moved.end());
      order.insert(order.end(), rest.begin() + insertAt, rest.end());
      if (order == Range(0, n)) break;
      std::vector<TapeBlock> blocks;
      for (int i : order) blocks.push_back(now[static_cast<std::size_t>(i)]);
      change(std::move(blocks), Range(insertAt, static_cast<int>(moved.size())));
      break;
    }
    case 2: {
      const std::vector<int> indices = Indices(in, n);
      result = document.Delete(indices);
      if (locked) break;
      const std::vector<int> gone = Clean(indices, n);
      if (gone.empty()) break;
      std::vector<TapeBlock> blocks;
      for (int i = 0; i < n; ++i) {
        if (!std::binary_search(gone.begin(), gone.end(), i)) blocks.push_back(now[static_cast<std::size_t>(i)]);
      }
      change(std::move(blocks), {});
      break;
    }
    case 3: {
      const int index = in.Below(n + 3) - 1;
      const std::vector<TapeBlock> added = Blocks(in, 4);
      result = document.Insert(index, added);
      if (locked || added.empty()) break;
      if (n + static_cast<int>(added.size()) > kMaxBlocks) {
        e.refused = true;
        e.message = kTooManyBlocksText;
        break;
      }
      const int at = std::clamp(index, 0, n);
      std::vector<TapeBlock> blocks = now;
      blocks.insert(blocks.begin() + at, added.begin(), added.end());
      change(std::move(blocks), Range(at, static_cast<int>(added.size())));
      break;
    }
    case 4: {
      std::vector<BlockReplacement> replacements(static_cast<std::size_t>(in.Below(4)));
      for (BlockReplacement& r : replacements) r = {in.Below(n + 1), BlockOf(in.Below(6))};
      result = document.Replace(replacements);
      if (locked) break;
      if (std::any_of(replacements.begin(), replacements.end(), [n](const auto& r) { return r.index >= n; })) {
        e.refused = true;
        e.message = "Блок не найден";
        break;
      }
      std::vector<TapeBlock> blocks = now;
      for (const BlockReplacement& r : replacements) blocks[static_cast<std::size_t>(r.index)] = r.block;
      if (blocks == now) break;
      std::vector<int> selection;
      for (int i = 0; i < n; ++i) {
        if (blocks[static_cast<std::size_t>(i)] != now[static_cast<std::size_t>(i)]) selection.push_back(i);
      }
      change(std::move(blocks), selection);
      break;
    }
    case 5: {  // what a reader gives: blocks, perhaps with a warning, or a failure
      const int kind = in.Below(3);
      TapeRead read{Blocks(in, 5), kind == 2 ? OpResult::Fail("Не удалось открыть файл")
                                             : kind == 1 ? OpResult::Warn("обрезан") : OpResult::Success()};
      if (kind == 2) read.blocks.clear();
      const std::vector<TapeBlock> added = read.blocks;
      result = document.Append(std::move(read));
      if (kind == 2) {
        e.refused = true;
        e.message = "Не удалось открыть файл";
        break;
      }
      if (locked) break;
      e.message = kind == 1 ? "обрезан" : "";
      if (added.empty()) break;
      if (n + static_cast<int>(added.size()) > kMaxBlocks) {
        e.refused = true;
        e.message = kTooManyBlocksText;
        break;
      }
      std::vector<TapeBlock> blocks = now;
      blocks.insert(blocks.end(), added.begin(), added.end());
      change(std::move(blocks), {});
      break;
    }
    case 6: {
      result = document.New();
      if (locked) break;
      if (now.empty() && model.name() == kNoFileName && !model.modified()) break;
      e.changed = true;
      model.PushFile({}, kNoFileName);
      break;
    }
    case 7: {
      const bool fails = in.Below(4) == 0;
      const std::string name = "t" + std::to_string(in.Below(3)) + ".tap";
      std::vector<TapeBlock> read = fails ? std::vector<TapeBlock>{} : Blocks(in, 6);
      result = document.Open(name, {read, fails ? OpResult::Fail("Не удалось открыть файл") : OpResult::Success()});
      if (fails) {
        e.refused = true;
        e.message = "Не удалось открыть файл";
        break;
      }
      if (locked) break;
      if (read == now && name == model.name() && !model.modified()) break;
      e.changed = true;
      model.PushFile(std::move(read), name);
      break;
    }
    case 8:
    case 9: {
      result = document.Undo();
      if (locked || model.at == 0) break;
      --model.at;
      e.changed = true;
      break;
    }
    case 10: {
      result = document.Redo();
      if (locked || model.at + 1 == static_cast<int>(model.tapes.size())) break;
      ++model.at;
      e.changed = true;
      break;
    }
    case 11: {
      const bool fails = in.Below(3) == 0;
      result = {document.Save([fails](TapeProject&) { return fails ? OpResult::Fail("нет места") : OpResult::Success(); }),
                false, {}};
      if (fails) {
        e.refused = true;
        e.message = "нет места";
      } else {
        model.saved[static_cast<std::size_t>(model.lineage())] = model.at;
      }
      return e;  // allowed while locked
    }
    case 12: {
      const std::string name = "s" + std::to_string(in.Below(3)) + ".tap";
      document.SetFileName(name);
      model.names[static_cast<std::size_t>(model.lineage())] = name;
      result = {};
      return e;
    }
    default:
      document.SetLocked(!locked);
      result = {};
      return e;
  }
  if (locked) {
    const bool readFailed = e.refused && e.message == "Не удалось открыть файл";
    if (!readFailed) {
      e = {};
      e.refused = true;
      e.message = kTapeLockedText;
    }
  }
  return e;
}

}  // namespace
}  // namespace reelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace reelo;
  using namespace reelo::fuzz;
  Choices in(data, size);
  const int startKind = in.Below(8);
  // Near the limit now and then, so that inserts are refused.
  const int startBlocks = startKind == 7 ? kMaxBlocks - 2 : startKind;
  const bool startModified = in.Below(2) == 1;

  TapeDocument document(std::size_t{1} << 30);  // no step is dropped
  TapeProject start;
  for (int i = 0; i < startBlocks; ++i) start.blocks.push_back(BlockOf(i % 6));
  start.fileName = "a.tap";
  start.modified = startModified;
  document.Reset(start);
  Model model;
  model.tapes = {start.blocks};
  model.lineageOf = {0};
  model.names = {"a.tap"};
  model.saved = {startModified ? -1 : 0};
  Check(document, model);

  Told told;
  document.AddListener(told);
  for (int steps = 0; !in.done() && steps < 400; ++steps) {
    const int tapeChangesBefore = told.tapeChanges;
    const int modifiedChangesBefore = told.modifiedChanges;
    const bool modifiedBefore = document.modified();
    EditResult result;
    const Expected e = Step(in, document, model, result);
    Check(document, model);
    FUZZ_CHECK(result.changed == e.changed);
    FUZZ_CHECK(result.status.ok() == !(e.refused && e.message != "обрезан"));
    FUZZ_CHECK(result.status.message == e.message);
    if (e.checkSelection) FUZZ_CHECK(result.selection == e.selection);
    // The listeners hear of a change of the blocks exactly when there was one,
    // with its selection, and of `modified` exactly when it flipped.
    if (e.changed) {
      FUZZ_CHECK(told.tapeChanges == tapeChangesBefore + 1);
      FUZZ_CHECK(told.selection == result.selection);
    } else {
      FUZZ_CHECK(told.tapeChanges <= tapeChangesBefore + 1);  // a rename alone tells the name
    }
    FUZZ_CHECK(told.modifiedChanges == modifiedChangesBefore + (document.modified() != modifiedBefore ? 1 : 0));
    if (told.modifiedChanges != modifiedChangesBefore) FUZZ_CHECK(told.lastModified == document.modified());
  }
  document.RemoveListener(told);

  // Everything undone gives the first tape back, everything redone the last.
  document.SetLocked(false);
  while (document.canUndo()) document.Undo();
  model.at = 0;
  Check(document, model);
  while (document.canRedo()) document.Redo();
  model.at = static_cast<int>(model.tapes.size()) - 1;
  Check(document, model);
  return 0;
}
