// Undo and redo of each kind of edit on a full project (1000 blocks, a header
// and a 6912-byte data block in turn, about 3.5 MB, every other pair a turbo
// header and a data block with a pause of its own), New and Open among them
// (through the document, as the window makes them), and the memory the
// history holds after many edits: bounded by its limit, whatever the count.
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "blocks/block_makers.h"
#include "project/edits.h"
#include "project/tape_document.h"

namespace {

using reelo::EditHistory;
using reelo::TapeBlock;
using reelo::TapeProject;

constexpr int kBlocks = 1000;
constexpr int kDataBytes = 6912;

TapeProject FullProject() {
  TapeProject project;
  std::mt19937 gen(5);
  std::vector<std::uint8_t> data(kDataBytes);
  for (int i = 0; i < kBlocks / 2; ++i) {
    for (auto& b : data) b = static_cast<std::uint8_t>(gen());
    reelo::MadeBlocks made = reelo::MakeCodeBlocks(data, "block", 16384);
    if (i % 2 == 1) {
      made.blocks[0].kept = std::make_shared<const reelo::KeptFields>(reelo::KeptFields{
          reelo::tzx::kTurbo, {0x78, 0x08, 0x9B, 0x02, 0xDF, 0x02, 0x57, 0x03, 0xAE, 0x06, 0x97, 0x0C, 8, 0xF4, 0x01}});
      made.blocks[1].kept =
          std::make_shared<const reelo::KeptFields>(reelo::KeptFields{reelo::tzx::kStandard, {0xD0, 0x07}});
    }
    project.blocks.insert(project.blocks.end(), made.blocks.begin(), made.blocks.end());
  }
  return project;
}

using Edit = std::function<void(TapeProject&, EditHistory&)>;

// One edit made once; each iteration undoes and redoes it.
void UndoRedo(benchmark::State& state, const Edit& edit) {
  TapeProject project = FullProject();
  EditHistory history;
  edit(project, history);
  if (!history.canUndo()) state.SkipWithError("the edit changed nothing");
  for (auto _ : state) {
    history.Undo(project);
    history.Redo(project);
  }
  state.counters["blocks"] = project.blockCount();
  state.counters["history_bytes"] = static_cast<double>(history.memoryUsed());
}

void BM_UndoRedo_MoveRunUp(benchmark::State& state) {
  UndoRedo(state, [](auto& p, auto& h) { reelo::MoveBlocks(p, h, 500, 10, -1); });
}
void BM_UndoRedo_DragToTop(benchmark::State& state) {
  UndoRedo(state, [](auto& p, auto& h) { reelo::MoveBlocksTo(p, h, {998, 999, 3, 500}, 0); });
}
void BM_UndoRedo_DeleteOne(benchmark::State& state) {
  UndoRedo(state, [](auto& p, auto& h) { reelo::DeleteBlocks(p, h, {1}); });
}
void BM_UndoRedo_DeleteHalf(benchmark::State& state) {
  UndoRedo(state, [](auto& p, auto& h) {
    std::vector<int> odd;
    for (int i = 1; i < kBlocks; i += 2) odd.push_back(i);
    reelo::DeleteBlocks(p, h, odd);
  });
}
void BM_UndoRedo_InsertAtTop(benchmark::State& state) {
  UndoRedo(state, [](auto& p, auto& h) {
    reelo::DeleteBlocks(p, h, {0, 1});  // room for the two new blocks
    reelo::InsertBlocks(p, h, 0, reelo::MakeCodeBlocks(std::vector<std::uint8_t>(kDataBytes, 1), "new", 0).blocks);
  });
}
void BM_UndoRedo_EditHeader(benchmark::State& state) {
  UndoRedo(state, [](auto& p, auto& h) {
    reelo::HeaderFields fields = reelo::FieldsOfHeader(*reelo::ReadHeader(p.blocks[0]));
    fields.name = "renamed";
    reelo::EditHeader(p, h, 0, fields);
  });
}
// Through the document: the step, and the listeners told (none here).
void DocumentUndoRedo(benchmark::State& state, const std::function<void(reelo::TapeDocument&)>& edit) {
  reelo::TapeDocument document;
  document.Reset(FullProject());
  edit(document);
  if (!document.canUndo()) state.SkipWithError("the edit changed nothing");
  for (auto _ : state) {
    document.Undo();
    document.Redo();
  }
  state.counters["blocks"] = document.project().blockCount();
}
void BM_UndoRedo_New(benchmark::State& state) {
  DocumentUndoRedo(state, [](reelo::TapeDocument& d) { d.New(); });
}
// Another full tape of 1000 blocks opened over the first.
void BM_UndoRedo_Open(benchmark::State& state) {
  DocumentUndoRedo(state, [](reelo::TapeDocument& d) {
    TapeProject other = FullProject();
    std::swap(other.blocks.front(), other.blocks.back());
    d.Open("other.tap", {std::move(other.blocks), reelo::OpResult::Success()});
  });
}
void BM_UndoRedo_DocumentDeleteHalf(benchmark::State& state) {
  DocumentUndoRedo(state, [](reelo::TapeDocument& d) {
    std::vector<int> odd;
    for (int i = 1; i < kBlocks; i += 2) odd.push_back(i);
    d.Delete(odd);
  });
}
BENCHMARK(BM_UndoRedo_MoveRunUp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedo_DragToTop)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedo_DeleteOne)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedo_DeleteHalf)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedo_InsertAtTop)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedo_EditHeader)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedo_New)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedo_Open)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedo_DocumentDeleteHalf)->Unit(benchmark::kMicrosecond);

// 2000 edits that each keep a 6914-byte block in the history (a delete and a
// re-insert of the same block), under a limit of 8 MiB and the default 256 MiB.
void BM_HistoryMemoryAfter2000Edits(benchmark::State& state) {
  const auto limit = static_cast<std::size_t>(state.range(0)) << 20;
  std::size_t used = 0, steps = 0;
  for (auto _ : state) {
    TapeProject project = FullProject();
    EditHistory history(limit);
    for (int k = 0; k < 1000; ++k) {
      const TapeBlock block = project.blocks[1];
      reelo::DeleteBlocks(project, history, {1});
      reelo::InsertBlocks(project, history, 1, {block});
    }
    used = history.memoryUsed();
    steps = history.undoCount();
  }
  state.counters["limit_MiB"] = static_cast<double>(state.range(0));
  state.counters["history_MiB"] = static_cast<double>(used) / (1 << 20);
  state.counters["steps_kept"] = static_cast<double>(steps);
}
BENCHMARK(BM_HistoryMemoryAfter2000Edits)->Arg(8)->Arg(256)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
