// Every edit of the project goes through one history: an edit and its undo
// give back the very same blocks and `modified`, and the history keeps to its
// memory bound.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "project/edits.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::MakeDataBlock;
using testing::MakeHeader;

// Blocks told apart by one data byte, the label.
TapeBlock Labelled(int label) { return MakeDataBlock({static_cast<std::uint8_t>(label)}); }

std::vector<TapeBlock> LabelledBlocks(std::initializer_list<int> labels) {
  std::vector<TapeBlock> blocks;
  for (int label : labels) blocks.push_back(Labelled(label));
  return blocks;
}

TapeProject SixBlocks() {
  TapeProject project;
  project.blocks = LabelledBlocks({0, 1, 2, 3, 4, 5});
  return project;
}

using Edit = std::function<EditResult(TapeProject&, EditHistory&)>;

struct EditRow {
  const char* name;
  Edit edit;
  std::optional<std::vector<TapeBlock>> after;  // none: the edit changes nothing
  std::vector<int> selection;
};

class EditTable : public ::testing::TestWithParam<EditRow> {};

TEST_P(EditTable, UndoGivesBackTheProjectAndRedoTheEdit) {
  const EditRow& row = GetParam();
  for (const bool modifiedBefore : {false, true}) {
    SCOPED_TRACE(modifiedBefore ? "unsaved before the edit" : "saved before the edit");
    TapeProject project = SixBlocks();
    EditHistory history;
    project.modified = modifiedBefore;
    const TapeProject before = project;

    const EditResult result = row.edit(project, history);
    ASSERT_TRUE(result.status.ok()) << result.status.message;
    if (!row.after) {
      EXPECT_FALSE(result.changed);
      EXPECT_EQ(project.blocks, before.blocks);
      EXPECT_EQ(project.modified, modifiedBefore);
      EXPECT_FALSE(history.canUndo());
      continue;
    }
    EXPECT_TRUE(result.changed);
    EXPECT_EQ(project.blocks, *row.after);
    EXPECT_EQ(result.selection, row.selection);
    EXPECT_TRUE(project.modified);

    ASSERT_TRUE(history.Undo(project).changed);
    EXPECT_EQ(project.blocks, before.blocks);
    EXPECT_EQ(project.modified, modifiedBefore);
    EXPECT_EQ(project.fileName, before.fileName);

    const EditResult redone = history.Redo(project);
    EXPECT_EQ(project.blocks, *row.after);
    EXPECT_EQ(redone.selection, row.selection);
    EXPECT_TRUE(project.modified);
    EXPECT_FALSE(history.canRedo());
  }
}

std::vector<BlockReplacement> Replacements(std::initializer_list<std::pair<int, int>> labelled) {
  std::vector<BlockReplacement> list;
  for (auto [index, label] : labelled) list.push_back({index, Labelled(label)});
  return list;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EditTable,
    ::testing::Values(
        EditRow{"move_run_up", [](auto& p, auto& h) { return MoveBlocks(p, h, 2, 2, -1); },
                LabelledBlocks({0, 2, 3, 1, 4, 5}), {1, 2}},
        EditRow{"move_run_down", [](auto& p, auto& h) { return MoveBlocks(p, h, 1, 2, +1); },
                LabelledBlocks({0, 3, 1, 2, 4, 5}), {2, 3}},
        EditRow{"move_first_up", [](auto& p, auto& h) { return MoveBlocks(p, h, 0, 2, -1); }, std::nullopt, {}},
        EditRow{"move_last_down", [](auto& p, auto& h) { return MoveBlocks(p, h, 5, 1, +1); }, std::nullopt, {}},
        EditRow{"move_run_past_end", [](auto& p, auto& h) { return MoveBlocks(p, h, 4, 3, -1); }, std::nullopt, {}},
        EditRow{"drag_scattered_to_top", [](auto& p, auto& h) { return MoveBlocksTo(p, h, {4, 1}, 0); },
                LabelledBlocks({1, 4, 0, 2, 3, 5}), {0, 1}},
        EditRow{"drag_to_end", [](auto& p, auto& h) { return MoveBlocksTo(p, h, {0, 1}, 6); },
                LabelledBlocks({2, 3, 4, 5, 0, 1}), {4, 5}},
        EditRow{"drag_into_own_gap", [](auto& p, auto& h) { return MoveBlocksTo(p, h, {1, 3}, 3); },
                LabelledBlocks({0, 2, 1, 3, 4, 5}), {2, 3}},
        EditRow{"drag_onto_itself", [](auto& p, auto& h) { return MoveBlocksTo(p, h, {2, 3}, 4); }, std::nullopt, {}},
        EditRow{"delete_scattered", [](auto& p, auto& h) { return DeleteBlocks(p, h, {5, 1, 3, 3}); },
                LabelledBlocks({0, 2, 4}), {}},
        EditRow{"delete_all", [](auto& p, auto& h) { return DeleteBlocks(p, h, {0, 1, 2, 3, 4, 5}); },
                std::vector<TapeBlock>{}, {}},
        EditRow{"delete_nothing_valid", [](auto& p, auto& h) { return DeleteBlocks(p, h, {-1, 6}); }, std::nullopt, {}},
        EditRow{"insert_in_middle",
                [](auto& p, auto& h) { return InsertBlocks(p, h, 2, LabelledBlocks({10, 11})); },
                LabelledBlocks({0, 1, 10, 11, 2, 3, 4, 5}), {2, 3}},
        EditRow{"insert_past_end_appends",
                [](auto& p, auto& h) { return InsertBlocks(p, h, 99, LabelledBlocks({10})); },
                LabelledBlocks({0, 1, 2, 3, 4, 5, 10}), {6}},
        EditRow{"insert_nothing", [](auto& p, auto& h) { return InsertBlocks(p, h, 0, {}); }, std::nullopt, {}},
        EditRow{"appended_by_a_reader",
                [](auto& p, auto& h) {
                  p.blocks.push_back(Labelled(16));
                  p.blocks.push_back(Labelled(17));
                  return RecordAppended(p, h, 6);
                },
                LabelledBlocks({0, 1, 2, 3, 4, 5, 16, 17}), {6, 7}},
        EditRow{"nothing_appended", [](auto& p, auto& h) { return RecordAppended(p, h, 6); }, std::nullopt, {}},
        EditRow{"replace_one", [](auto& p, auto& h) { return ReplaceBlock(p, h, 3, Labelled(12)); },
                LabelledBlocks({0, 1, 2, 12, 4, 5}), {3}},
        EditRow{"replace_by_same_bytes", [](auto& p, auto& h) { return ReplaceBlock(p, h, 3, Labelled(3)); },
                std::nullopt, {}},
        EditRow{"replace_several_last_wins",
                [](auto& p, auto& h) { return ReplaceBlocks(p, h, Replacements({{4, 13}, {0, 14}, {4, 15}})); },
                LabelledBlocks({14, 1, 2, 3, 15, 5}), {0, 4}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EditHistory, UndoAllThenRedoAllFollowsTheSavedPoint) {
  TapeProject project = SixBlocks();
  EditHistory history;
  const std::vector<Edit> edits = {
      [](auto& p, auto& h) { return MoveBlocks(p, h, 0, 1, +1); },
      [](auto& p, auto& h) { return DeleteBlocks(p, h, {2, 4}); },
      [](auto& p, auto& h) { return InsertBlocks(p, h, 1, LabelledBlocks({20, 21, 22})); },
      [](auto& p, auto& h) { return ReplaceBlock(p, h, 0, Labelled(30)); },
      [](auto& p, auto& h) { return MoveBlocksTo(p, h, {0, 6}, 3); },
  };
  std::vector<std::vector<TapeBlock>> states = {project.blocks};
  for (const Edit& edit : edits) {
    ASSERT_TRUE(edit(project, history).changed);
    states.push_back(project.blocks);
    if (states.size() == 3) history.MarkSaved(project);  // saved after the second edit
  }
  for (std::size_t k = states.size() - 1; k-- > 0;) {
    history.Undo(project);
    EXPECT_EQ(project.blocks, states[k]) << "after undoing back to state " << k;
    EXPECT_EQ(project.modified, k != 2) << k;
  }
  EXPECT_FALSE(history.Undo(project).changed);
  for (std::size_t k = 1; k < states.size(); ++k) {
    history.Redo(project);
    EXPECT_EQ(project.blocks, states[k]) << "after redoing to state " << k;
    EXPECT_EQ(project.modified, k != 2) << k;
  }
}

TEST(EditHistory, ANewEditAfterUndoEndsTheRedoAndTheSavedStateInIt) {
  TapeProject project = SixBlocks();
  EditHistory history;
  MoveBlocks(project, history, 0, 1, +1);
  MoveBlocks(project, history, 1, 1, +1);
  history.MarkSaved(project);
  history.Undo(project);
  DeleteBlocks(project, history, {0});
  EXPECT_FALSE(history.canRedo());
  history.Undo(project);
  EXPECT_TRUE(project.modified);  // the saved state is gone for good
  history.Redo(project);
  EXPECT_TRUE(project.modified);
}

TEST(EditHistory, AChangeMadeOutsideTheHistoryKeepsModifiedAfterUndo) {
  TapeProject project = SixBlocks();
  EditHistory history;
  project.modified = true;  // e.g. blocks appended by a reader that does not record a step
  MoveBlocks(project, history, 0, 1, +1);
  history.Undo(project);
  EXPECT_TRUE(project.modified);
}

TEST(EditHistory, KeepsToItsMemoryLimitAndUndoesWhatItKept) {
  constexpr std::size_t kLimit = 20000;
  TapeProject project;
  EditHistory history(kLimit);
  std::vector<std::vector<TapeBlock>> states = {project.blocks};
  for (int k = 0; k < 40; ++k) {
    const std::vector<std::uint8_t> data(1000, static_cast<std::uint8_t>(k));
    InsertBlocks(project, history, 0, {MakeDataBlock(data)});
    states.push_back(project.blocks);
    EXPECT_LE(history.memoryUsed(), kLimit);
  }
  ASSERT_LT(history.undoCount(), 40u);
  ASSERT_GT(history.undoCount(), 10u);
  const std::size_t kept = history.undoCount();
  while (history.canUndo()) history.Undo(project);
  EXPECT_EQ(project.blocks, states[40 - kept]);
  EXPECT_TRUE(project.modified);  // the opened state lies beyond the kept steps
  while (history.canRedo()) history.Redo(project);
  EXPECT_EQ(project.blocks, states.back());

  // One step larger than the whole limit is still kept, alone.
  DeleteBlocks(project, history, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21});
  EXPECT_EQ(history.undoCount(), 1u);
  history.Undo(project);
  EXPECT_EQ(project.blocks, states.back());
}

TEST(EditHistory, InsertBeyondTheBlockLimitIsRefusedWithoutChange) {
  TapeProject project;
  project.blocks.assign(kMaxBlocks - 1, Labelled(0));
  EditHistory history;
  const EditResult result = InsertBlocks(project, history, 0, LabelledBlocks({1, 2}));
  EXPECT_FALSE(result.status.ok());
  EXPECT_EQ(result.status.message, "В проекте может быть не больше 1000 блоков");
  EXPECT_EQ(project.blockCount(), kMaxBlocks - 1);
  EXPECT_FALSE(project.modified);
  EXPECT_FALSE(history.canUndo());
  EXPECT_TRUE(InsertBlocks(project, history, 0, LabelledBlocks({1})).changed);
}

TEST(EditHistory, ClearProjectForgetsBlocksNameAndSteps) {
  TapeProject project = SixBlocks();
  EditHistory history;
  project.fileName = "/tmp/a.tap";
  project.blockSelected = true;
  DeleteBlocks(project, history, {0});
  ClearProject(project, history);
  EXPECT_TRUE(project.blocks.empty());
  EXPECT_FALSE(project.hasFileName());
  EXPECT_FALSE(project.modified);
  EXPECT_FALSE(project.blockSelected);
  EXPECT_FALSE(history.canUndo());
  EXPECT_EQ(history.memoryUsed(), 0u);
}

TEST(RepairChecksums, GathersTheAcceptedRepairsIntoOneStep) {
  TapeProject project;
  TapeBlock bad1 = Labelled(1), bad2 = Labelled(2);
  bad1.mutableBytes().back() ^= 0x55;
  bad2.mutableBytes().back() ^= 0x0F;
  project.blocks = {Labelled(0), bad1, bad2};
  const TapeProject before = project;
  EditHistory history;
  std::vector<int> asked;
  ChecksumOutcome outcome{};
  const EditResult result = RepairChecksums(project, history, [&](const ChecksumMismatch& m) {
    asked.push_back(m.blockNumber);
    return m.blockNumber == 2;
  }, outcome);
  EXPECT_EQ(asked, (std::vector<int>{2, 3}));
  EXPECT_EQ(outcome, ChecksumOutcome::SomeLeft);
  EXPECT_EQ(result.selection, std::vector<int>{1});
  EXPECT_EQ(project.blocks[1], Labelled(1));
  EXPECT_EQ(project.blocks[2], bad2);
  EXPECT_EQ(history.undoCount(), 1u);
  history.Undo(project);
  EXPECT_EQ(project.blocks, before.blocks);
  EXPECT_FALSE(project.modified);
}

}  // namespace
}  // namespace reelo
