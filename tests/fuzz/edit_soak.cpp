// Random edits with undo and redo on a full project, run by tests/fuzz/soak.sh.
//
//   edit_soak [edits] [seed]     (defaults: 10000 edits, seed 1)
//
// Starts from 1000 blocks (headers, data blocks, some with a wrong checksum),
// applies seeded random edits through the undo history and, between them,
// random runs of undos and redos. The tape after every step is kept as a hash,
// so each undo and redo is checked against the state it must give back. At the
// end every step is undone (the tape byte for byte as at the start, not
// modified) and redone (byte for byte as after the last edit, modified).
// Prints the counts and exits 1 at the first mismatch.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "project/edits.h"
#include "project/header_info.h"
#include "project/tape_project.h"

namespace {

using namespace reelo;

std::vector<std::uint8_t> TapeBytes(const TapeProject& project) {
  std::vector<std::uint8_t> bytes;
  for (const TapeBlock& block : project.blocks) bytes.insert(bytes.end(), block.begin(), block.end());
  return bytes;
}

// FNV-1a over the blocks with their boundaries, enough to tell states apart.
std::uint64_t TapeHash(const TapeProject& project) {
  std::uint64_t h = 1469598103934665603ull;
  auto mix = [&h](std::uint64_t byte) { h = (h ^ byte) * 1099511628211ull; };
  for (const TapeBlock& block : project.blocks) {
    mix(0x100 + (block.size() & 0xff));
    for (std::uint8_t b : block) mix(b);
  }
  return h;
}

[[noreturn]] void Fail(const std::string& what, long long step) {
  std::fprintf(stderr, "edit_soak: MISMATCH at step %lld: %s\n", step, what.c_str());
  std::exit(1);
}

class Soak {
 public:
  explicit Soak(unsigned seed) : rng_(seed) {}

  TapeBlock RandomBlock() {
    if (Chance(30)) {  // a header, valid or not, of any type
      std::vector<std::uint8_t> body = {0x00, static_cast<std::uint8_t>(Below(4))};
      for (int i = 0; i < 10; ++i) body.push_back(static_cast<std::uint8_t>(0x20 + Below(0x5f)));
      for (int i = 0; i < 6; ++i) body.push_back(static_cast<std::uint8_t>(Below(256)));
      return Finish(body);
    }
    std::vector<std::uint8_t> body = {static_cast<std::uint8_t>(Chance(90) ? 0xff : Below(256))};
    const int length = static_cast<int>(Below(200));
    for (int i = 0; i < length; ++i) body.push_back(static_cast<std::uint8_t>(Below(256)));
    return Finish(body);
  }

  std::vector<int> RandomIndices(int blockCount, int most) {
    std::vector<int> indices;
    const int n = static_cast<int>(Below(static_cast<std::uint32_t>(most) + 1));
    for (int i = 0; i < n; ++i) indices.push_back(static_cast<int>(Below(static_cast<std::uint32_t>(blockCount + 2))) - 1);
    return indices;  // unsorted, maybe repeated or out of range: the edits must cope
  }

  int RandomIndex(int blockCount) { return blockCount == 0 ? 0 : static_cast<int>(Below(static_cast<std::uint32_t>(blockCount))); }

  EditResult RandomEdit(TapeProject& project, EditHistory& history) {
    const int n = project.blockCount();
    switch (Below(9)) {
      case 0:
        return MoveBlocks(project, history, RandomIndex(n), 1 + static_cast<int>(Below(20)), Chance(50) ? -1 : 1);
      case 1:
        return MoveBlocksTo(project, history, RandomIndices(n, 30), static_cast<int>(Below(static_cast<std::uint32_t>(n + 1))));
      case 2:
        return DeleteBlocks(project, history, RandomIndices(n, Chance(5) ? 400 : 10));
      case 3: {
        std::vector<TapeBlock> blocks(Below(Chance(10) ? 300 : 8));
        for (TapeBlock& block : blocks) block = RandomBlock();
        return InsertBlocks(project, history, static_cast<int>(Below(static_cast<std::uint32_t>(n + 3))) - 1, blocks);
      }
      case 4:
        return ReplaceBlock(project, history, RandomIndex(n), RandomBlock());
      case 5: {
        HeaderFields fields;
        fields.type = static_cast<std::uint8_t>(Below(4));
        fields.name = "soak" + std::to_string(Below(100000));
        fields.dataLength = static_cast<int>(Below(65534));
        if (Chance(50)) fields.autostart = static_cast<int>(Below(10000));
        fields.start = static_cast<int>(Below(65536));
        fields.variable = static_cast<char>('a' + Below(26));
        return EditHeader(project, history, RandomIndex(n), fields);  // refused on a data block
      }
      case 6: {
        std::vector<BlockReplacement> replacements;
        for (int i = static_cast<int>(Below(6)); i > 0 && n > 0; --i) replacements.push_back({RandomIndex(n), RandomBlock()});
        return ReplaceBlocks(project, history, replacements);
      }
      case 7: {
        ChecksumOutcome outcome{};
        return RepairChecksums(project, history, [this](const ChecksumMismatch&) { return Chance(70); }, outcome);
      }
      default: {  // a reader's append, recorded afterwards
        const int countBefore = n;
        for (int i = static_cast<int>(Below(5)); i > 0 && project.blockCount() < kMaxBlocks; --i) project.blocks.push_back(RandomBlock());
        return RecordAppended(project, history, countBefore);
      }
    }
  }

  bool Chance(int percent) { return Below(100) < static_cast<std::uint32_t>(percent); }
  std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng_); }

 private:
  // A record with its checksum, wrong in one block of eight.
  TapeBlock Finish(std::vector<std::uint8_t> body) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : body) sum ^= b;
    body.push_back(Chance(12) ? static_cast<std::uint8_t>(sum ^ (1 + Below(255))) : sum);
    return MakeRecord(body);
  }

  std::mt19937 rng_;
};

}  // namespace

int main(int argc, char** argv) {
  const long long edits = argc > 1 ? std::atoll(argv[1]) : 10000;
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoll(argv[2])) : 1u;
  Soak soak(seed);

  TapeProject project;
  // No step may be dropped, or undoing everything could not reach the start.
  EditHistory history(std::size_t{16} << 30);
  ClearProject(project, history);
  for (int i = 0; i < kMaxBlocks; ++i) project.blocks.push_back(soak.RandomBlock());
  const std::vector<std::uint8_t> start = TapeBytes(project);

  // states[k]: the tape's hash with k steps applied; the history's position.
  std::vector<std::uint64_t> states = {TapeHash(project)};
  std::size_t position = 0;
  long long changed = 0, refused = 0, unchanged = 0, undos = 0, redos = 0;

  auto check = [&](long long step, const char* what) {
    if (history.undoCount() != position || history.redoCount() != states.size() - 1 - position)
      Fail(std::string(what) + ": the history's counts disagree", step);
    if (TapeHash(project) != states[position]) Fail(std::string(what) + ": the tape differs from its recorded state", step);
    if (project.blockCount() > kMaxBlocks) Fail(std::string(what) + ": more than 1000 blocks", step);
    if (project.modified != (position != 0)) Fail(std::string(what) + ": wrong modified flag", step);
  };

  for (long long step = 1; step <= edits; ++step) {
    const EditResult result = soak.RandomEdit(project, history);
    if (!result.status.ok()) {
      ++refused;
      if (result.changed) Fail("a refused edit says it changed the tape", step);
    } else if (result.changed) {
      ++changed;
      states.resize(position + 1);
      states.push_back(TapeHash(project));
      ++position;
    } else {
      ++unchanged;
    }
    check(step, "edit");
    // Now and then a run of undos, then some redos.
    if (soak.Chance(20)) {
      for (int i = static_cast<int>(soak.Below(15)); i > 0 && history.canUndo(); --i) {
        history.Undo(project);
        --position;
        ++undos;
        check(step, "undo");
      }
      for (int i = static_cast<int>(soak.Below(15)); i > 0 && history.canRedo(); --i) {
        history.Redo(project);
        ++position;
        ++redos;
        check(step, "redo");
      }
    }
  }
  // The last step is an edit, so nothing is left to redo beyond it.
  while (true) {
    const EditResult result = soak.RandomEdit(project, history);
    if (result.changed) {
      states.resize(position + 1);
      states.push_back(TapeHash(project));
      ++position;
      break;
    }
  }
  check(edits + 1, "last edit");
  const std::vector<std::uint8_t> end = TapeBytes(project);

  while (history.canUndo()) history.Undo(project);
  if (TapeBytes(project) != start) Fail("undoing everything does not give the first tape back", edits + 1);
  if (project.modified) Fail("the first tape, undone to, counts as modified", edits + 1);
  while (history.canRedo()) history.Redo(project);
  if (TapeBytes(project) != end) Fail("redoing everything does not give the last tape back", edits + 1);
  if (!project.modified) Fail("the last tape, redone to, does not count as modified", edits + 1);
  if (history.undoCount() != position) Fail("steps were lost", edits + 1);

  std::printf("edit_soak: %lld edits (seed %u): %lld changed, %lld unchanged, %lld refused; %lld undos, %lld redos "
              "between; undid and redid all %zu steps: OK (%d blocks at the end, history %zu bytes)\n",
              edits, seed, changed, unchanged, refused, undos, redos, position, project.blockCount(),
              history.memoryUsed());
  return 0;
}
