// The document: every change one step that Undo takes back, New and Open
// among them with each tape's own saved state; a failed read or a locked tape
// changes nothing; listeners hear of the tape and of modified.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "project/tape_document.h"
#include "tape_builders.h"

namespace reelo {
namespace {

// Blocks told apart by one data byte, the label.
TapeBlock Labelled(int label) { return testing::MakeDataBlock({static_cast<std::uint8_t>(label)}); }

std::string Labels(const std::vector<TapeBlock>& blocks) {
  std::string text;
  for (const TapeBlock& block : blocks) text += static_cast<char>('0' + block[3]);
  return text;
}

std::vector<TapeBlock> FromLabels(const std::string& labels) {
  std::vector<TapeBlock> blocks;
  for (char c : labels) blocks.push_back(Labelled(c - '0'));
  return blocks;
}

// Writes down what the document tells: "tape" for a change of the blocks,
// "name" for one of the file name alone, "modified" and "clean".
struct Log : TapeDocumentListener {
  void TapeChanged(const TapeChange& change) override { Add(change.blocks ? "tape" : "name"); }
  void ModifiedChanged(bool modified) override { Add(modified ? "modified" : "clean"); }
  void HistoryChanged() override {}
  void Add(const char* what) { text += (text.empty() ? "" : " ") + std::string(what); }
  std::string text;
};

// One step of a row's script, on a document that starts with tape "123" of
// file a.tap (modified or not, as the row says).
EditResult RunStep(TapeDocument& document, const std::string& step) {
  std::istringstream words(step);
  std::string verb, arg;
  words >> verb >> arg;
  if (verb == "undo") return document.Undo();
  if (verb == "redo") return document.Redo();
  if (verb == "new") return document.New();
  if (verb == "open") return document.Open(arg + ".tap", {FromLabels(arg), OpResult::Success()});
  if (verb == "open_cut") return document.Open(arg + ".tap", {FromLabels(arg), OpResult::Warn("обрезан")});
  if (verb == "open_fails") return document.Open("bad.tap", {{}, OpResult::Fail("Не удалось открыть файл")});
  if (verb == "add") return document.Append({FromLabels(arg), OpResult::Success()});
  if (verb == "add_fails") return document.Append({{}, OpResult::Fail("Не удалось открыть файл")});
  if (verb == "delete") return document.Delete({std::stoi(arg)});
  if (verb == "lock") document.SetLocked(true);
  if (verb == "unlock") document.SetLocked(false);
  if (verb == "save" || verb == "save_fails") {
    const bool fails = verb == "save_fails";
    return {document.Save([fails](TapeProject&) { return fails ? OpResult::Fail("нет места") : OpResult::Success(); }),
            false, {}};
  }
  return {};
}

struct DocumentRow {
  const char* name;
  bool modifiedAtStart;
  std::vector<std::string> script;
  const char* labels;      // the tape after the script
  const char* fileName;    // its file
  bool modified;
  const char* lastStatus;  // the last step's message ("" for none)
  const char* told;        // what the listener heard during the script
};

class DocumentTable : public ::testing::TestWithParam<DocumentRow> {};

TEST_P(DocumentTable, FollowsTheScript) {
  const DocumentRow& row = GetParam();
  TapeDocument document;
  TapeProject start;
  start.blocks = FromLabels("123");
  start.fileName = "a.tap";
  start.modified = row.modifiedAtStart;
  document.Reset(start);
  Log log;
  document.AddListener(log);
  EditResult last;
  for (const std::string& step : row.script) last = RunStep(document, step);
  document.RemoveListener(log);
  EXPECT_EQ(Labels(document.project().blocks), row.labels);
  EXPECT_EQ(document.project().fileName, row.fileName);
  EXPECT_EQ(document.modified(), row.modified);
  EXPECT_EQ(last.status.message, row.lastStatus);
  EXPECT_EQ(log.text, row.told);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DocumentTable,
    ::testing::Values(
        DocumentRow{"open_replaces_the_tape", false, {"open 45"}, "45", "45.tap", false, "", "tape"},
        DocumentRow{"undo_of_open_gives_back_a_saved_tape", false, {"open 45", "undo"}, "123", "a.tap", false, "",
                    "tape tape"},
        DocumentRow{"undo_of_open_gives_back_a_modified_tape", true, {"open 45", "undo"}, "123", "a.tap", true, "",
                    "tape clean tape modified"},
        DocumentRow{"redo_of_open_is_clean", true, {"open 45", "undo", "redo"}, "45", "45.tap", false, "",
                    "tape clean tape modified tape clean"},
        DocumentRow{"edit_after_open_then_undo_twice", false, {"open 45", "delete 0", "undo", "undo"}, "123",
                    "a.tap", false, "", "tape tape modified tape clean tape"},
        DocumentRow{"saved_before_the_open_after_undoing_it", true, {"open 45", "undo", "save", "redo", "undo"},
                    "123", "a.tap", false, "", "tape clean tape modified clean tape tape"},
        DocumentRow{"open_with_a_warning_keeps_what_was_read", true, {"open_cut 4"}, "4", "4.tap", false, "обрезан",
                    "tape clean"},
        DocumentRow{"a_failed_open_changes_nothing", true, {"open_fails"}, "123", "a.tap", true,
                    "Не удалось открыть файл", ""},
        DocumentRow{"new_empties_and_undo_brings_the_tape_back", true, {"new", "undo"}, "123", "a.tap", true, "",
                    "tape clean tape modified"},
        DocumentRow{"new_on_an_empty_nameless_tape_records_nothing", false, {"new", "new", "undo", "undo"}, "123",
                    "a.tap", false, "", "tape tape"},
        DocumentRow{"add_appends_as_one_step", false, {"add 45", "undo", "redo"}, "12345", "a.tap", true, "",
                    "tape modified tape clean tape modified"},
        DocumentRow{"a_failed_add_changes_nothing", false, {"add_fails"}, "123", "a.tap", false,
                    "Не удалось открыть файл", ""},
        DocumentRow{"locked_refuses_edits_undo_and_open", false, {"delete 0", "lock", "delete 0", "undo", "open 4"},
                    "23", "a.tap", true, "Лента воспроизводится: остановите её, чтобы изменить проект",
                    "tape modified"},
        DocumentRow{"unlocked_again_undo_works", false, {"delete 0", "lock", "unlock", "undo"}, "123", "a.tap",
                    false, "", "tape modified tape clean"},
        DocumentRow{"a_failed_save_keeps_modified", true, {"save_fails"}, "123", "a.tap", true, "нет места", ""},
        DocumentRow{"undo_past_a_save_is_modified", false, {"delete 0", "save", "undo"}, "123", "a.tap", true, "",
                    "tape modified clean tape modified"}),
    [](const auto& info) { return std::string(info.param.name); });

// The window selects what an edit names, and the name shows in the title.
TEST(TapeDocument, TellsTheSelectionAndTheFileName) {
  TapeDocument document;
  struct Last : TapeDocumentListener {
    void TapeChanged(const TapeChange& change) override { seen = change; }
    void ModifiedChanged(bool) override {}
    void HistoryChanged() override { ++history; }
    TapeChange seen;
    int history = 0;
  } last;
  document.AddListener(last);
  document.Insert(0, FromLabels("12"));
  EXPECT_EQ(last.seen.selection, (std::vector<int>{0, 1}));
  // Blocks added from a file or an import are appended, never selected.
  document.Append({FromLabels("34"), OpResult::Success()});
  EXPECT_EQ(Labels(document.project().blocks), "1234");
  EXPECT_EQ(last.seen.selection, std::vector<int>{});
  document.SetFileName("b.tap");
  EXPECT_TRUE(last.seen.fileName && !last.seen.blocks);
  document.SetLocked(true);
  EXPECT_FALSE(document.canUndo());
  EXPECT_EQ(last.history, 4);
  document.RemoveListener(last);
}

// New and Open keep the tape they replaced: the history counts it.
TEST(TapeDocument, OpenStepsCountTheTapesTheyHold) {
  TapeDocument document(std::size_t{1} << 20);
  const TapeBlock big = testing::MakeDataBlock(testing::RandomBytes(200000, 3));
  for (int k = 0; k < 10; ++k) {
    document.Open("t" + std::to_string(k) + ".tap", {std::vector<TapeBlock>(1, big), OpResult::Success()});
    document.New();
    EXPECT_LE(document.history().memoryUsed(), std::size_t{1} << 20);
  }
  // Each step holds about 200 kB: five fit, the last five (New, Open t8, New,
  // Open t9, New).
  EXPECT_EQ(document.history().undoCount(), 5u);
  while (document.canUndo()) document.Undo();
  // Back at the tape of t7.tap as it was opened: saved.
  EXPECT_EQ(document.project().blockCount(), 1);
  EXPECT_EQ(document.project().fileName, "t7.tap");
  EXPECT_FALSE(document.modified());
}

}  // namespace
}  // namespace reelo
