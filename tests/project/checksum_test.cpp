#include "project/checksum.h"

#include <gtest/gtest.h>

#include <vector>

#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::MakeDataBlock;
using testing::MakeRawRecord;

struct MatchCase {
  const char* name;
  TapeBlock block;
  bool matches;
};

class ChecksumMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(ChecksumMatchTest, Matches) { EXPECT_EQ(ChecksumMatches(GetParam().block), GetParam().matches); }

INSTANTIATE_TEST_SUITE_P(Records, ChecksumMatchTest,
                         ::testing::Values(MatchCase{"Correct", MakeDataBlock({1, 2, 3}), true},
                                           MatchCase{"Wrong", MakeRawRecord({0xFF, 1, 2, 3, 0}), false},
                                           MatchCase{"FlagEqualsChecksum", MakeRawRecord({0x42, 0x42}), true},
                                           MatchCase{"FlagDiffersFromChecksum", MakeRawRecord({0x42, 0x43}), false},
                                           MatchCase{"LoneZeroFlag", MakeRawRecord({0x00}), true},
                                           MatchCase{"LoneNonZeroFlag", MakeRawRecord({0x07}), false},
                                           MatchCase{"EmptyRecordAlwaysMatches", MakeRawRecord({}), true},
                                           MatchCase{"PureDataLastByteIsNoChecksum",
                                                     TapeBlock(MakeRawRecord({0xFF, 1, 2, 0}).bytes(),
                                                               std::make_shared<const KeptFields>(KeptFields{
                                                                   0x14, {0x2C, 0x01, 0x58, 0x02, 8, 0, 0}})),
                                                     true},
                                           MatchCase{"TurboRecordIsChecked",
                                                     TapeBlock(MakeRawRecord({0xFF, 1, 2, 0}).bytes(),
                                                               std::make_shared<const KeptFields>(KeptFields{0x11, {}})),
                                                     false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ChecksumText, QuestionHasOneSpaceBeforeEachNumber) {
  EXPECT_EQ(ChecksumQuestionText({5, 12, 200}),
            "Исправить несовпадение контрольной суммы в блоке № 5? Записано 12, должно быть 200");
}

// Answers the questions from a script and records what was asked.
struct ScriptedRepair {
  std::vector<bool> answers;
  std::vector<ChecksumMismatch> asked;
  bool operator()(const ChecksumMismatch& m) {
    asked.push_back(m);
    return answers.at(asked.size() - 1);
  }
};

TEST(ChecksumRepair, AllMatchingAsksNothing) {
  TapeProject project;
  project.blocks = {MakeDataBlock({1}), MakeDataBlock({2})};
  ScriptedRepair script;
  EXPECT_EQ(CheckAndRepairChecksums(project, std::ref(script)), ChecksumOutcome::AllMatched);
  EXPECT_TRUE(script.asked.empty());
  EXPECT_FALSE(project.modified);
}

TEST(ChecksumRepair, EmptyProjectMatches) {
  TapeProject project;
  EXPECT_EQ(CheckAndRepairChecksums(project, [](const ChecksumMismatch&) { return true; }),
            ChecksumOutcome::AllMatched);
}

TEST(ChecksumRepair, RepairOneDeclineOtherThenOnlyTheDeclinedIsAskedAgain) {
  TapeProject project;
  project.blocks = {MakeDataBlock({9}), MakeRawRecord({0xFF, 1, 2, 0x00}), MakeDataBlock({7}),
                    MakeRawRecord({0x00, 5, 0x99})};
  ScriptedRepair first{{true, false}, {}};
  EXPECT_EQ(CheckAndRepairChecksums(project, std::ref(first)), ChecksumOutcome::SomeLeft);
  ASSERT_EQ(first.asked.size(), 2u);
  EXPECT_EQ(first.asked[0].blockNumber, 2);
  EXPECT_EQ(first.asked[0].stored, 0x00);
  EXPECT_EQ(first.asked[0].computed, 0xFF ^ 1 ^ 2);
  EXPECT_EQ(first.asked[1].blockNumber, 4);
  EXPECT_EQ(project.blocks[1].back(), 0xFF ^ 1 ^ 2);
  EXPECT_EQ(project.blocks[3].back(), 0x99);  // declined: untouched
  EXPECT_TRUE(project.modified);              // a repair is a change to save

  ScriptedRepair second{{true}, {}};
  EXPECT_EQ(CheckAndRepairChecksums(project, std::ref(second)), ChecksumOutcome::AllRepaired);
  ASSERT_EQ(second.asked.size(), 1u);
  EXPECT_EQ(second.asked[0].blockNumber, 4);
}

TEST(ChecksumRepair, DecliningEverythingLeavesProjectUnmodified) {
  TapeProject project;
  project.blocks = {MakeRawRecord({0xFF, 1, 0})};
  ScriptedRepair script{{false}, {}};
  EXPECT_EQ(CheckAndRepairChecksums(project, std::ref(script)), ChecksumOutcome::SomeLeft);
  EXPECT_FALSE(project.modified);
}

TEST(ChecksumRepair, LoneFlagRepairSetsItToZero) {
  TapeProject project;
  project.blocks = {MakeRawRecord({0x07})};
  ScriptedRepair script{{true}, {}};
  EXPECT_EQ(CheckAndRepairChecksums(project, std::ref(script)), ChecksumOutcome::AllRepaired);
  EXPECT_EQ(project.blocks[0], (TapeBlock{1, 0, 0x00}));
}

// 03 00 FF promises three bytes after the length and holds one: there is no
// checksum byte to repair, so "Да" changes nothing and the block is reported as left.
TEST(ChecksumRepair, RecordCutBeforeItsChecksumIsLeftAsItWas) {
  for (bool modifiedBefore : {false, true}) {
    TapeProject project;
    project.blocks = {TapeBlock{0x03, 0x00, 0xFF}};
    project.modified = modifiedBefore;
    ScriptedRepair script{{true}, {}};
    EXPECT_EQ(CheckAndRepairChecksums(project, std::ref(script)), ChecksumOutcome::SomeLeft);
    EXPECT_EQ(project.blocks[0], (TapeBlock{0x03, 0x00, 0xFF}));
    EXPECT_EQ(project.modified, modifiedBefore);
  }
}

TEST(ChecksumText, ClosingMessages) {
  EXPECT_EQ(ChecksumClosingText(ChecksumOutcome::AllMatched), "В проекте все контрольные суммы совпадают");
  EXPECT_EQ(ChecksumClosingText(ChecksumOutcome::AllRepaired), "Все несовпадающие контрольные суммы исправлены");
  EXPECT_EQ(ChecksumClosingText(ChecksumOutcome::SomeLeft), "В проекте остаются несовпадающие контрольные суммы");
}

}  // namespace
}  // namespace reelo
