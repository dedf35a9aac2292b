// Checksum-guided repair: which bits it flips, and when it refuses.
#include "sound/recording/bit_repair.h"

#include <gtest/gtest.h>

namespace reelo {
namespace {

// A record flag, 3 data bytes, checksum; every bit sure (200) unless listed.
struct Doubt {
  std::size_t bit;  // counted from the record's first bit, most significant first
  std::uint8_t confidence;
};

struct RepairRow {
  const char* name;
  std::vector<std::uint8_t> read;      // as read from the signal
  std::vector<Doubt> doubts;
  int maxBits;
  int changed;                         // what RepairBits returns
  std::vector<std::uint8_t> repaired;  // bytes afterwards
};

class RepairTable : public ::testing::TestWithParam<RepairRow> {};

TEST_P(RepairTable, FlipsOnlyTheDoubtfulBitsOfTheWrongColumns) {
  const RepairRow& row = GetParam();
  std::vector<std::uint8_t> bytes = row.read;
  std::vector<std::uint8_t> confidence(bytes.size() * 8, 200);
  for (const Doubt& d : row.doubts) confidence[d.bit] = d.confidence;
  RepairLimits limits;
  limits.maxBits = row.maxBits;
  EXPECT_EQ(RepairBits(bytes, confidence, limits), row.changed);
  EXPECT_EQ(bytes, row.repaired);
  if (row.changed > 0) {
    EXPECT_EQ(RecordSyndrome(bytes), 0);
  }
}

// The good record: FF 12 34 56, checksum FF^12^34^56 = 0x8F.
INSTANTIATE_TEST_SUITE_P(
    Rows, RepairTable,
    ::testing::Values(
        RepairRow{"good_record_untouched", {0xFF, 0x12, 0x34, 0x56, 0x8F}, {{10, 3}}, 3, 0,
                  {0xFF, 0x12, 0x34, 0x56, 0x8F}},
        // 0x34 read as 0x36: bit 6 of byte 2 (bit 22 of the record) doubtful.
        RepairRow{"one_flipped_doubtful_bit", {0xFF, 0x12, 0x36, 0x56, 0x8F}, {{22, 40}}, 3, 1,
                  {0xFF, 0x12, 0x34, 0x56, 0x8F}},
        // Two columns wrong: 0x12 read as 0x92 (bit 8) and 0x56 as 0x57 (bit 31).
        RepairRow{"two_columns_two_bits", {0xFF, 0x92, 0x34, 0x57, 0x8F}, {{8, 30}, {31, 60}}, 3, 2,
                  {0xFF, 0x12, 0x34, 0x56, 0x8F}},
        RepairRow{"two_columns_at_the_limit", {0xFF, 0x92, 0x34, 0x57, 0x8F}, {{8, 30}, {31, 60}}, 2, 2,
                  {0xFF, 0x12, 0x34, 0x56, 0x8F}},
        RepairRow{"two_columns_over_the_limit", {0xFF, 0x92, 0x34, 0x57, 0x8F}, {{8, 30}, {31, 60}}, 1, 0,
                  {0xFF, 0x92, 0x34, 0x57, 0x8F}},
        // The wrong bit is as sure as the others: no guess among equals.
        RepairRow{"no_doubtful_bit", {0xFF, 0x12, 0x36, 0x56, 0x8F}, {}, 3, 0, {0xFF, 0x12, 0x36, 0x56, 0x8F}},
        // Two bits of the wrong column equally doubtful (bit 22 and bit 30).
        RepairRow{"two_equal_candidates", {0xFF, 0x12, 0x36, 0x56, 0x8F}, {{22, 40}, {30, 45}}, 3, 0,
                  {0xFF, 0x12, 0x36, 0x56, 0x8F}},
        // The doubtful bit sits in another column than the wrong one.
        RepairRow{"doubt_in_a_right_column", {0xFF, 0x12, 0x36, 0x56, 0x8F}, {{21, 10}}, 3, 0,
                  {0xFF, 0x12, 0x36, 0x56, 0x8F}},
        // The checksum byte itself read wrong: its bit 39 (the last) doubtful.
        RepairRow{"checksum_byte_repaired", {0xFF, 0x12, 0x34, 0x56, 0x8E}, {{39, 20}}, 3, 1,
                  {0xFF, 0x12, 0x34, 0x56, 0x8F}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BitRepair, RefusesConfidencesOfTheWrongSize) {
  std::vector<std::uint8_t> bytes{0xFF, 0x12, 0x36, 0x56, 0x8F};
  std::vector<std::uint8_t> confidence(39, 200);
  EXPECT_EQ(RepairBits(bytes, confidence), 0);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0xFF, 0x12, 0x36, 0x56, 0x8F}));
}

}  // namespace
}  // namespace reelo
