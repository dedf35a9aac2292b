// Random edits with undo and redo on a full tape through the document, run by
// tests/fuzz/soak.sh.
//
//   edit_soak [edits] [seed]     (defaults: 10000 edits, seed 1)
//
// Starts from 1000 blocks of mixed kinds: TAP records (headers, data blocks,
// some with a wrong checksum) and the other kinds a TZX holds (turbo, pure
// data and standard blocks with a pause of their own; tones, pulses, pauses,
// texts, groups, loops, archive information). Applies seeded random edits
// through the document (moves, drags, deletes, inserts, replacements, header
// fields, turbo timings, checksum repairs, appends of what a reader read) and,
// between them, random runs of undos and redos and now and then a save.
//
// A plain model says what every step must give: each tape the history passes
// through as a list of numbers into a pool of every block ever made, edited
// with nothing but vector operations. After every step the document's blocks
// must equal the model's one by one (bytes, kind and fields), with the undo
// and redo counts and the modified flag the model gives. At the end every step
// is undone (the first tape back) and redone (the last one back).
// Prints the counts and exits 1 at the first mismatch.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "project/block_kinds.h"
#include "project/checksum.h"
#include "project/header_info.h"
#include "project/tape_document.h"

namespace {

using namespace reelo;
using Ids = std::vector<std::uint32_t>;

long long gStep = 0;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "edit_soak: MISMATCH at step %lld: %s\n", gStep, what.c_str());
  std::exit(1);
}

// Every tape the history can reach, in order; the saved one (-1: none).
struct Model {
  std::vector<TapeBlock> pool;
  std::vector<Ids> tapes;
  int at = 0;
  int saved = 0;

  std::uint32_t Add(TapeBlock block) {
    pool.push_back(std::move(block));
    return static_cast<std::uint32_t>(pool.size() - 1);
  }
  const Ids& now() const { return tapes[static_cast<std::size_t>(at)]; }
  const TapeBlock& block(int i) const { return pool[now()[static_cast<std::size_t>(i)]]; }
  int size() const { return static_cast<int>(now().size()); }
  bool modified() const { return saved != at; }
  // A new tape after the present one; those that could be redone are gone.
  void Push(Ids tape) {
    tapes.resize(static_cast<std::size_t>(at) + 1);
    if (saved > at) saved = -1;
    tapes.push_back(std::move(tape));
    ++at;
  }
};

void Check(const TapeDocument& document, const Model& model, const char* what) {
  const std::vector<TapeBlock>& blocks = document.project().blocks;
  if (blocks.size() != model.now().size()) Fail(std::string(what) + ": the block count differs from the model's");
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (!(blocks[i] == model.pool[model.now()[i]])) {
      Fail(std::string(what) + ": block " + std::to_string(i) + " differs from the model's");
    }
  }
  if (document.history().undoCount() != static_cast<std::size_t>(model.at) ||
      document.history().redoCount() != model.tapes.size() - 1 - static_cast<std::size_t>(model.at)) {
    Fail(std::string(what) + ": the history's counts disagree with the model's");
  }
  if (document.modified() != model.modified()) Fail(std::string(what) + ": wrong modified flag");
}

std::vector<int> Clean(std::vector<int> indices, int n) {
  std::erase_if(indices, [n](int i) { return i < 0 || i >= n; });
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  return indices;
}

class Soak {
 public:
  explicit Soak(unsigned seed) : rng_(seed) {}

  bool Chance(int percent) { return Below(100) < static_cast<std::uint32_t>(percent); }
  std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng_); }
  int Index(int n) { return static_cast<int>(Below(static_cast<std::uint32_t>(std::max(n, 0)))); }

  // A TAP record, or, one time in three, a block of another kind.
  TapeBlock RandomBlock() {
    if (Chance(66)) return RandomRecord();
    switch (Below(10)) {
      case 0: return Kept(RandomRecord(), tzx::kTurbo, Head(15, {{12, 1 + Below(8)}}));
      case 1: return Kept(RandomRecord(), tzx::kPureData, Head(7, {{4, 1 + Below(8)}}));
      case 2: return StandardBlock(RandomRecord(), static_cast<int>(Below(3000)));
      case 3: return Kept({}, tzx::kPureTone, Head(4, {}));
      case 4: return Kept({}, tzx::kPulseSequence, Pulses());
      case 5: return Kept({}, tzx::kPause, Head(2, {}));
      case 6: return Kept({}, Chance(50) ? tzx::kText : tzx::kGroupStart, Text());
      case 7: return Kept({}, Chance(50) ? tzx::kGroupEnd : tzx::kLoopEnd, {});
      case 8: return Kept({}, tzx::kLoopStart, Head(2, {}));
      default: {
        std::vector<std::uint8_t> text = Text();
        std::vector<std::uint8_t> info{static_cast<std::uint8_t>(text.size() + 2), 0, 1, 0x00};
        info.insert(info.end(), text.begin(), text.end());
        return Kept({}, tzx::kArchiveInfo, info);
      }
    }
  }

  std::vector<int> Indices(int n, int most) {
    std::vector<int> indices(Below(static_cast<std::uint32_t>(most) + 1));
    for (int& i : indices) i = Index(n + 2) - 1;  // unsorted, repeated or out of range: the edits must cope
    return indices;
  }

  std::vector<TapeBlock> Blocks(int most) {
    std::vector<TapeBlock> blocks(Below(static_cast<std::uint32_t>(most) + 1));
    for (TapeBlock& block : blocks) block = RandomBlock();
    return blocks;
  }

  HeaderFields Fields() {
    HeaderFields fields;
    fields.type = static_cast<std::uint8_t>(Below(4));
    fields.name = "soak" + std::to_string(Below(100000));
    fields.dataLength = static_cast<int>(Below(65534));
    if (Chance(50)) fields.autostart = static_cast<int>(Below(10000));
    fields.start = static_cast<int>(Below(65536));
    fields.variable = static_cast<char>('a' + Below(26));
    return fields;
  }

  // Timings a user could type, a few of them out of range.
  TurboTimings Timings() {
    TurboTimings t;
    for (int* v : {&t.pilot, &t.sync1, &t.sync2, &t.zero, &t.one, &t.pilotPulses}) *v = static_cast<int>(Below(66000));
    t.usedBits = static_cast<int>(Below(10));
    t.pause = static_cast<int>(Below(66000));
    return t;
  }

 private:
  // A record with its checksum, wrong in one block of eight.
  TapeBlock RandomRecord() {
    std::vector<std::uint8_t> body;
    if (Chance(30)) {  // a header, valid or not, of any type
      body = {0x00, static_cast<std::uint8_t>(Below(4))};
      for (int i = 0; i < 10; ++i) body.push_back(static_cast<std::uint8_t>(0x20 + Below(0x5f)));
      for (int i = 0; i < 6; ++i) body.push_back(static_cast<std::uint8_t>(Below(256)));
    } else {
      body = {static_cast<std::uint8_t>(Chance(90) ? 0xff : Below(256))};
      for (int i = static_cast<int>(Below(200)); i > 0; --i) body.push_back(static_cast<std::uint8_t>(Below(256)));
    }
    std::uint8_t sum = 0;
    for (std::uint8_t b : body) sum ^= b;
    body.push_back(Chance(12) ? static_cast<std::uint8_t>(sum ^ (1 + Below(255))) : sum);
    return MakeRecord(body);
  }
  static TapeBlock Kept(TapeBlock record, std::uint8_t id, std::vector<std::uint8_t> head) {
    return TapeBlock(record.bytes(), std::make_shared<const KeptFields>(KeptFields{id, std::move(head)}));
  }
  // Random bytes of a head, with fixed values at some offsets.
  std::vector<std::uint8_t> Head(std::size_t size, std::initializer_list<std::pair<std::size_t, std::uint32_t>> fixed) {
    std::vector<std::uint8_t> head(size);
    for (auto& b : head) b = static_cast<std::uint8_t>(Below(256));
    for (const auto& [at, value] : fixed) head[at] = static_cast<std::uint8_t>(value);
    return head;
  }
  std::vector<std::uint8_t> Pulses() {
    const std::uint32_t count = 1 + Below(6);
    std::vector<std::uint8_t> head = Head(1 + 2 * count, {});
    head[0] = static_cast<std::uint8_t>(count);
    return head;
  }
  std::vector<std::uint8_t> Text() {
    std::vector<std::uint8_t> text(1 + Below(30));
    for (auto& c : text) c = static_cast<std::uint8_t>(0x20 + Below(0x5f));
    text.insert(text.begin(), static_cast<std::uint8_t>(text.size()));
    return text;
  }

  std::mt19937 rng_;
};

// Counts of what the edits did.
struct Counts {
  long long changed = 0, unchanged = 0, refused = 0, undos = 0, redos = 0, saves = 0;
};

// One random edit on the document and the model; fails when they disagree
// about whether the tape changed or the edit was refused.
void RandomEdit(Soak& soak, TapeDocument& document, Model& model, Counts& counts) {
  const int n = model.size();
  Ids expected = model.now();
  bool refused = false;
  EditResult result;
  auto block = [&model](std::uint32_t id) -> const TapeBlock& { return model.pool[id]; };
  switch (soak.Below(10)) {
    case 0: {  // a run one place up or down
      const int first = soak.Index(n + 1), count = 1 + soak.Index(20), offset = soak.Chance(50) ? -1 : 1;
      result = document.Move(first, count, offset);
      if (first + count > n || first + offset < 0 || first + count + offset > n) break;
      Ids run(expected.begin() + first, expected.begin() + first + count);
      expected.erase(expected.begin() + first, expected.begin() + first + count);
      expected.insert(expected.begin() + first + offset, run.begin(), run.end());
      break;
    }
    case 1: {  // a drag and drop
      const std::vector<int> indices = soak.Indices(n, 30);
      const int target = soak.Index(n + 2);
      result = document.MoveTo(indices, target);
      const std::vector<int> moved = Clean(indices, n);
      Ids before, after, run;
      for (int i = 0; i < n; ++i) {
        const std::uint32_t id = expected[static_cast<std::size_t>(i)];
        if (std::binary_search(moved.begin(), moved.end(), i)) {
          run.push_back(id);
        } else {
          (i < target ? before : after).push_back(id);
        }
      }
      expected = before;
      expected.insert(expected.end(), run.begin(), run.end());
      expected.insert(expected.end(), after.begin(), after.end());
      break;
    }
    case 2: {
      const std::vector<int> indices = soak.Indices(n, soak.Chance(5) ? 400 : 10);
      result = document.Delete(indices);
      const std::vector<int> gone = Clean(indices, n);
      for (auto i = gone.rbegin(); i != gone.rend(); ++i) expected.erase(expected.begin() + *i);
      break;
    }
    case 3: {
      const int index = soak.Index(n + 3) - 1;
      const std::vector<TapeBlock> added = soak.Blocks(soak.Chance(10) ? 300 : 8);
      result = document.Insert(index, added);
      if (n + static_cast<int>(added.size()) > kMaxBlocks && !added.empty()) {
        refused = true;
        break;
      }
      Ids ids;
      for (const TapeBlock& b : added) ids.push_back(model.Add(b));
      expected.insert(expected.begin() + std::clamp(index, 0, n), ids.begin(), ids.end());
      break;
    }
    case 4: {
      std::vector<BlockReplacement> replacements(soak.Below(6));
      for (BlockReplacement& r : replacements) r = {soak.Index(n + 1), soak.RandomBlock()};
      refused = std::any_of(replacements.begin(), replacements.end(), [n](const auto& r) { return r.index >= n; });
      for (const BlockReplacement& r : replacements) {
        if (!refused) expected[static_cast<std::size_t>(r.index)] = model.Add(r.block);
      }
      result = document.Replace(std::move(replacements));
      break;
    }
    case 5: {  // the properties dialog of a header
      const int index = soak.Index(n);
      const HeaderFields fields = soak.Fields();
      result = document.EditHeader(index, fields);
      const TapeBlock& old = index < n ? model.block(index) : TapeBlock();
      const HeaderBuild built = BuildHeader(old, fields);
      refused = !IsHeader(old) || !built.status.ok();
      if (!refused) expected[static_cast<std::size_t>(index)] = model.Add(built.block);
      break;
    }
    case 6: {  // a turbo block's timings (a turbo block near a random place)
      int index = soak.Index(n);
      while (index < n && model.block(index).kind() != tzx::kTurbo) ++index;
      if (index >= n) return;
      TapeBlock changed;
      if (!WithTurboTimings(model.block(index), soak.Timings(), changed).ok()) return;  // the dialog refuses it
      result = document.Replace({{index, changed}});
      expected[static_cast<std::size_t>(index)] = model.Add(changed);
      break;
    }
    case 7: {  // the checksum tool, the user answering Yes seven times in ten
      std::vector<bool> answers;
      ChecksumOutcome outcome{};
      result = document.RepairChecksums(
          [&](const ChecksumMismatch&) {
            answers.push_back(soak.Chance(70));
            return answers.back();
          },
          outcome);
      std::size_t asked = 0;
      for (int i = 0; i < n; ++i) {
        const TapeBlock& b = block(expected[static_cast<std::size_t>(i)]);
        if (ChecksumMatches(b)) continue;
        if (asked >= answers.size()) Fail("the checksum tool skipped a block whose checksum is wrong");
        const auto position = static_cast<std::size_t>(RecordLength(b) + 1);
        if (!answers[asked++] || position >= b.size()) continue;
        TapeBlock repaired = b;
        repaired.set(position, ComputedChecksum(b));
        expected[static_cast<std::size_t>(i)] = model.Add(std::move(repaired));
      }
      if (asked != answers.size()) Fail("the checksum tool asked about a block whose checksum is right");
      break;
    }
    case 8: {  // what a reader read, added at the end
      const int kind = static_cast<int>(soak.Below(5));
      TapeRead read{soak.Blocks(6), kind == 0   ? OpResult::Fail("Не удалось открыть файл")
                                    : kind == 1 ? OpResult::Warn("обрезан")
                                                : OpResult::Success()};
      if (kind == 0) read.blocks.clear();
      const std::vector<TapeBlock> added = read.blocks;
      result = document.Append(std::move(read));
      refused = kind == 0 || (n + static_cast<int>(added.size()) > kMaxBlocks && !added.empty());
      if (refused) break;
      for (const TapeBlock& b : added) expected.push_back(model.Add(b));
      break;
    }
    default: {  // a save, failing now and then
      const bool fails = soak.Chance(10);
      const OpResult saved = document.Save([fails](TapeProject&) {
        return fails ? OpResult::Fail("нет места") : OpResult::Success();
      });
      if (saved.ok() == fails) Fail("a save's outcome differs from its write's");
      if (!fails) model.saved = model.at;
      ++counts.saves;
      Check(document, model, "save");
      return;
    }
  }
  bool same = expected.size() == model.now().size();
  for (std::size_t i = 0; same && i < expected.size(); ++i) same = block(expected[i]) == block(model.now()[i]);
  if (refused) {
    ++counts.refused;
    if (result.status.ok() || result.changed) Fail("an edit the model refuses was made");
  } else if (same) {
    ++counts.unchanged;
    if (result.changed || !result.status.ok()) Fail("an edit that changes nothing was recorded or refused");
  } else {
    ++counts.changed;
    if (!result.changed) Fail("an edit that changes the tape was not made: " + result.status.message);
    model.Push(std::move(expected));
  }
  Check(document, model, "edit");
}

}  // namespace

int main(int argc, char** argv) {
  const long long edits = argc > 1 ? std::atoll(argv[1]) : 10000;
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoll(argv[2])) : 1u;
  Soak soak(seed);

  // No step may be dropped, or undoing everything could not reach the start.
  TapeDocument document(std::size_t{16} << 30);
  Model model;
  TapeProject start;
  Ids startIds;
  for (int i = 0; i < kMaxBlocks; ++i) {
    start.blocks.push_back(soak.RandomBlock());
    startIds.push_back(model.Add(start.blocks.back()));
  }
  document.Reset(std::move(start));
  model.tapes = {startIds};
  Check(document, model, "start");

  Counts counts;
  for (gStep = 1; gStep <= edits; ++gStep) {
    RandomEdit(soak, document, model, counts);
    // Now and then a run of undos, then some redos.
    if (!soak.Chance(20)) continue;
    for (int i = static_cast<int>(soak.Below(15)); i > 0 && model.at > 0; --i) {
      if (!document.Undo().changed) Fail("an undo did nothing");
      --model.at;
      ++counts.undos;
      Check(document, model, "undo");
    }
    for (int i = static_cast<int>(soak.Below(15)); i > 0 && model.at + 1 < static_cast<int>(model.tapes.size()); --i) {
      if (!document.Redo().changed) Fail("a redo did nothing");
      ++model.at;
      ++counts.redos;
      Check(document, model, "redo");
    }
  }
  if (document.Undo().changed != (model.at > 0)) Fail("Undo and the model disagree at the end");
  if (model.at > 0) --model.at;
  while (model.at > 0) {
    document.Undo();
    --model.at;
  }
  Check(document, model, "everything undone");
  while (model.at + 1 < static_cast<int>(model.tapes.size())) {
    document.Redo();
    ++model.at;
  }
  Check(document, model, "everything redone");
  if (document.canRedo()) Fail("something is left to redo");

  std::printf("edit_soak: %lld edits of mixed kinds (seed %u): %lld changed, %lld unchanged, %lld refused, "
              "%lld saves; %lld undos, %lld redos between; undid and redid all %d steps against the model: OK "
              "(%d blocks at the end, %zu blocks made, history %zu bytes)\n",
              edits, seed, counts.changed, counts.unchanged, counts.refused, counts.saves, counts.undos,
              counts.redos, model.at, document.project().blockCount(), model.pool.size(),
              document.history().memoryUsed());
  return 0;
}
