// Merging takes: which take each record comes from, and bits combined where no
// take is right.
#include "sound/recording/take_merge.h"

#include <gtest/gtest.h>

namespace reelo {
namespace {

// A record from bytes; checksumOk follows the bytes. Every bit's confidence is
// sure, except those listed (bit index -> confidence).
SignalRecord Rec(std::vector<std::uint8_t> bytes, std::vector<std::pair<std::size_t, std::uint8_t>> doubts = {}) {
  SignalRecord r;
  r.bytes = std::move(bytes);
  r.confidence.assign(r.bytes.size() * 8, 200);
  for (auto [bit, c] : doubts) r.confidence[bit] = c;
  r.checksumOk = RecordSyndrome(r.bytes) == 0;
  return r;
}

// Header-like and data records: 00 41 42 (checksum 03), FF 10 20 30 (checksum FF).
const std::vector<std::uint8_t> kA{0x00, 0x41, 0x42, 0x03};
const std::vector<std::uint8_t> kB{0xFF, 0x10, 0x20, 0x30, 0xFF};

std::vector<std::uint8_t> Flip(std::vector<std::uint8_t> bytes, std::size_t bit) {
  bytes[bit / 8] ^= static_cast<std::uint8_t>(0x80u >> (bit % 8));
  return bytes;
}

// A record as the repair left it: bits changed to make the checksum match.
SignalRecord Repaired(SignalRecord r, int bits) {
  r.repairedBits = bits;
  return r;
}

struct MergeRow {
  const char* name;
  std::vector<std::vector<SignalRecord>> takes;
  std::vector<std::vector<std::uint8_t>> bytes;  // merged records
  std::vector<std::string> sources;               // TakeSourceText of each
  std::vector<bool> ok;
  bool sameClock = false;
};

// A record read at samples from..to of its recording.
SignalRecord At(SignalRecord r, std::int64_t from, std::int64_t to) {
  r.dataSample = from;
  r.endSample = to;
  return r;
}

class MergeTable : public ::testing::TestWithParam<MergeRow> {};

TEST_P(MergeTable, GivesTheRecordsAndTheirSources) {
  const MergeRow& row = GetParam();
  const std::vector<MergedRecord> merged = MergeTakes(row.takes, RepairLimits{}, row.sameClock);
  ASSERT_EQ(merged.size(), row.bytes.size());
  for (std::size_t i = 0; i < merged.size(); ++i) {
    EXPECT_EQ(merged[i].record.bytes, row.bytes[i]) << i;
    EXPECT_EQ(TakeSourceText(merged[i]), row.sources[i]) << i;
    EXPECT_EQ(merged[i].record.checksumOk, row.ok[i]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MergeTable,
    ::testing::Values(
        MergeRow{"identical_takes_give_the_first", {{Rec(kA), Rec(kB)}, {Rec(kA), Rec(kB)}}, {kA, kB},
                 {"из записи 1", "из записи 1"}, {true, true}},
        MergeRow{"good_take_wins", {{Rec(kA), Rec(Flip(kB, 13))}, {Rec(kA), Rec(kB)}}, {kA, kB},
                 {"из записи 1", "из записи 2"}, {true, true}},
        // Take 2 lost the header; take 1 lost the data block.
        MergeRow{"records_missing_in_each_take", {{Rec(kA)}, {Rec(kB)}}, {kA, kB}, {"из записи 1", "из записи 2"},
                 {true, true}},
        // The take with most records leads: its copy of a record both hold is the one given.
        MergeRow{"fuller_take_leads", {{Rec(kB)}, {Rec(kA), Rec(kB)}}, {kA, kB}, {"из записи 2", "из записи 2"},
                 {true, true}},
        // Each of three takes has another bit wrong (sure-looking): the majority is right.
        MergeRow{"majority_of_three",
                 {{Rec(Flip(kB, 9))}, {Rec(Flip(kB, 20))}, {Rec(Flip(kB, 33))}}, {kB},
                 {"собран из записей 1, 2, 3"}, {true}},
        // Two takes disagree on two bits; each is doubtful where it is wrong.
        MergeRow{"confidence_of_two",
                 {{Rec(Flip(kB, 9), {{9, 20}})}, {Rec(Flip(kB, 20), {{20, 30}})}}, {kB},
                 {"собран из записей 1, 2"}, {true}},
        // The same, both bits in one column: the wrong pick would still match the checksum.
        MergeRow{"confidence_of_two_in_one_column",
                 {{Rec(Flip(kB, 9), {{9, 20}})}, {Rec(Flip(kB, 17), {{17, 30}})}}, {kB},
                 {"собран из записей 1, 2"}, {true}},
        // Both takes wrong at the same bit, surely: kept bad, from the surer take.
        MergeRow{"same_error_everywhere", {{Rec(Flip(kB, 9))}, {Rec(Flip(kB, 9), {{1, 0}})}}, {Flip(kB, 9)},
                 {"из записи 1"}, {false}},
        // Take 1 lost the end of the data block: the shorter record joins it.
        MergeRow{"cut_short_record_joins_its_own",
                 {{Rec(kA), Rec({0xFF, 0x10, 0x20})}, {Rec(kA), Rec(kB)}}, {kA, kB},
                 {"из записи 1", "из записи 2"}, {true, true}},
        // Channels of one recording: the bad channel's records match by place,
        // even when they read as something else entirely.
        MergeRow{"channels_match_by_place",
                 {{At(Rec({0x00, 0x99, 0x98}), 100, 200), At(Rec({0x7F, 0x01}), 300, 390)},
                  {At(Rec(kA), 110, 205), At(Rec(kB), 300, 400)}},
                 {kA, kB}, {"из записи 2", "из записи 2"}, {true, true}, true},
        // A block with no header: one channel rang on for a byte of 0 after
        // it, which still matches.
        MergeRow{"byte_after_the_block_dropped",
                 {{At(Rec({0xFF, 0x10, 0x20, 0x30, 0xFF, 0x00}), 100, 210)}, {At(Rec(kB), 100, 200)}}, {kB},
                 {"из записи 2"}, {true}, true},
        MergeRow{"channels_apart_stay_apart",
                 {{At(Rec(kA), 100, 200)}, {At(Rec(kA), 300, 400)}}, {kA, kA}, {"из записи 1", "из записи 2"},
                 {true, true}, true},
        // Two wrong bits in one column match the checksum (one time in 256):
        // two takes that read the record alike outweigh it.
        MergeRow{"two_takes_outvote_a_chance_match", {{Rec(Flip(Flip(kB, 8), 24))}, {Rec(kB)}, {Rec(kB)}}, {kB},
                 {"из записи 2"}, {true}},
        // Of two takes that match, the one without doubtful bits.
        MergeRow{"of_two_matches_the_surer", {{Rec(Flip(Flip(kB, 8), 24), {{8, 0}, {24, 10}})}, {Rec(kB)}}, {kB},
                 {"из записи 2"}, {true}},
        // Take 1 was made to match by changing two bits (wrongly, in one
        // column); the three takes voted need one doubtful bit changed.
        MergeRow{"fewer_bits_repaired_in_the_combination",
                 {{Repaired(Rec(Flip(Flip(kB, 9), 17), {{20, 30}}), 2)},
                  {Rec(Flip(kB, 20), {{20, 40}})},
                  {Rec(Flip(kB, 20), {{20, 60}})}},
                 {kB}, {"собран из записей 1, 2, 3"}, {true}},
        // Take 1's bits slipped in a dropout and still match (one time in
        // 256), read doubtfully where the slip began; take 2 matches after
        // two bits repaired elsewhere, and reads the differing bits surely
        // (the takes' bits combined by confidence then match as they are).
        MergeRow{"surer_where_they_differ_beats_fewer_repairs",
                 {{Rec(Flip(Flip(kB, 8), 24), {{8, 20}})}, {Repaired(Rec(kB, {{2, 110}, {36, 110}}), 2)}}, {kB},
                 {"собран из записей 1, 2"}, {true}},
        MergeRow{"one_take", {{Rec(kA), Rec(kB)}}, {kA, kB}, {"из записи 1", "из записи 1"}, {true, true}},
        MergeRow{"no_records", {{}, {}}, {}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

TEST(TakeMerge, NamesTakesThatShareNoRecordWithTheOthers) {
  const std::vector<std::uint8_t> other{0xFF, 0x01, 0x02, 0x03, 0xFF ^ 0x01 ^ 0x02 ^ 0x03};
  struct Row {
    const char* name;
    std::vector<std::vector<SignalRecord>> takes;
    std::vector<int> unmatched;
  };
  const std::vector<Row> rows = {
      {"same_tape", {{Rec(kA), Rec(kB)}, {Rec(kB)}}, {}},
      {"third_take_of_another_tape", {{Rec(kA), Rec(kB)}, {Rec(kA)}, {Rec(other)}}, {2}},
      {"silent_take_is_no_other_tape", {{Rec(kA)}, {}}, {}},
      {"one_take", {{Rec(kA)}}, {}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(UnmatchedTakes(MergeTakes(row.takes), static_cast<int>(row.takes.size())), row.unmatched) << row.name;
  }
}

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// Takes read through dropouts: bits lost in one place and made up in another
// leave the bits between them a little off their place. The takes are lined
// up before their bits are combined.
std::vector<std::uint8_t> Shifted(std::vector<std::uint8_t> bytes, std::size_t lostAt, std::size_t madeUpAt,
                                  std::size_t count) {
  std::vector<std::uint8_t> bits;
  for (std::size_t b = 0; b < bytes.size() * 8; ++b) bits.push_back(bytes[b / 8] >> (7 - b % 8) & 1);
  bits.insert(bits.begin() + static_cast<std::ptrdiff_t>(madeUpAt), count, 0);
  bits.erase(bits.begin() + static_cast<std::ptrdiff_t>(lostAt), bits.begin() + static_cast<std::ptrdiff_t>(lostAt + count));
  for (std::size_t b = 0; b < bytes.size() * 8; ++b) {
    bytes[b / 8] = static_cast<std::uint8_t>(bytes[b / 8] << 1 | bits[b]);
  }
  return bytes;
}

// 48 bytes: flag FF, 46 bytes of a pattern, checksum.
std::vector<std::uint8_t> LongRecord() {
  std::vector<std::uint8_t> bytes{0xFF};
  for (int i = 0; i < 46; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 37 + 11));
  std::uint8_t x = 0;
  for (std::uint8_t b : bytes) x ^= b;
  bytes.push_back(x);
  return bytes;
}

TEST(TakeMerge, LinesUpTakesBeforeCombiningThem) {
  const std::vector<std::uint8_t> good = LongRecord();
  // Doubtful around their damage, sure elsewhere.
  auto damaged = [](std::vector<std::uint8_t> bytes, std::size_t from, std::size_t to) {
    std::vector<std::pair<std::size_t, std::uint8_t>> doubts;
    for (std::size_t b = from; b < to; ++b) doubts.emplace_back(b, 10);
    return Rec(std::move(bytes), doubts);
  };
  struct Row {
    const char* name;
    std::vector<std::vector<SignalRecord>> takes;
  };
  const std::vector<Row> rows = {
      // Take 1 is off its place from bit 100 to 200, take 2 from 150 to 250:
      // between 150 and 200 both are, so bits at the same places would vote
      // wrong.
      {"two_slips_overlap",
       {{damaged(Shifted(good, 100, 200, 3), 96, 104)},
        {damaged(Shifted(good, 150, 250, 2), 146, 154)},
        {damaged(Flip(good, 300), 298, 302)}}},
      // Take 1 was cut short; take 2 holds the whole record, doubtful where
      // it is wrong.
      {"one_take_cut_short",
       {{Rec(std::vector<std::uint8_t>(good.begin(), good.begin() + 30))}, {damaged(Flip(good, 120), 118, 122)}}},
  };
  for (const Row& row : rows) {
    const std::vector<MergedRecord> merged = MergeTakes(row.takes);
    ASSERT_EQ(merged.size(), 1u) << row.name;
    EXPECT_EQ(merged[0].record.bytes, good) << row.name;
    EXPECT_TRUE(merged[0].record.checksumOk) << row.name;
    EXPECT_TRUE(merged[0].combined) << row.name;
  }
}

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// A checksum matches one time in 256: a take whose bits slipped may match and
// still be wrong. Such a reading is not given as good when the header's
// length or the other takes speak against it; the record is then given from
// the others (combined where they can be) or kept bad.
TEST(TakeMerge, GivesNoChanceMatchAsGood) {
  const std::vector<std::uint8_t> good = LongRecord();  // 48 bytes
  std::vector<std::uint8_t> header{0x00, 0x03, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 46, 0, 0x00, 0x80, 0x00, 0x80};
  std::uint8_t x = 0;
  for (std::uint8_t b : header) x ^= b;
  header.push_back(x);
  // One byte short, with a last byte that makes it match.
  std::vector<std::uint8_t> short47(good.begin(), good.end() - 2);
  x = 0;
  for (std::uint8_t b : short47) x ^= b;
  short47.push_back(x);
  // Four bits read surely wrong, two in each of two columns: matches.
  const std::vector<std::uint8_t> slipped = Flip(Flip(Flip(Flip(good, 8), 16), 9), 17);
  struct Row {
    const char* name;
    std::vector<std::vector<SignalRecord>> takes;
    std::vector<std::uint8_t> data;  // the merged data record
    std::string source;
    bool ok;
  };
  const std::vector<Row> rows = {
      // Take 1 read the block a byte short, which matched; the others have
      // the header's length and one doubtful bit wrong: combined and repaired.
      {"shorter_than_its_header",
       {{Rec(header), Rec(short47)}, {Rec(header), Rec(Flip(good, 100), {{100, 10}})}, {Rec(header), Rec(Flip(good, 100), {{100, 10}})}},
       good, "собран из записей 1, 2, 3", true},
      // The same, with the others' wrong bit read surely: no repair, kept bad.
      {"shorter_than_its_header_kept_bad",
       {{Rec(header), Rec(short47)}, {Rec(header), Rec(Flip(good, 100))}, {Rec(header), Rec(Flip(good, 100))}},
       Flip(good, 100), "из записи 2", false},
      // Take 1's slipped reading matches; two takes read the record alike
      // but for one doubtful bit, and contradict take 1's four sure bits.
      {"contradicted_by_two_takes",
       {{Rec(header), Rec(slipped)}, {Rec(header), Rec(Flip(good, 300), {{300, 10}})}, {Rec(header), Rec(Flip(good, 300), {{300, 10}})}},
       Flip(good, 300), "из записи 2", false},
      // Without the others' contradiction the reading that matches stands.
      {"uncontradicted_match_stands",
       {{Rec(header), Rec(good)}, {Rec(header), Rec(Flip(good, 300), {{300, 10}})}, {Rec(header), Rec(Flip(good, 300), {{300, 10}})}},
       good, "из записи 1", true},
  };
  for (const Row& row : rows) {
    const std::vector<MergedRecord> merged = MergeTakes(row.takes);
    ASSERT_EQ(merged.size(), 2u) << row.name;
    EXPECT_EQ(merged[0].record.bytes, header) << row.name;
    EXPECT_EQ(merged[1].record.bytes, row.data) << row.name;
    EXPECT_EQ(TakeSourceText(merged[1]), row.source) << row.name;
    EXPECT_EQ(merged[1].record.checksumOk, row.ok) << row.name;
  }
}

}  // namespace
}  // namespace reelo
