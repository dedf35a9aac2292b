#include "sound/export/write_behind.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sound/export/sample_sink.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;

struct WriteBehindCase {
  std::string name;
  bool background;
  std::size_t chunkSize;
  std::vector<std::size_t> pieces;  // bytes appended to the sink, one Append each
  int failAtWrite;                  // 1-based write that fails, 0 for none
  std::size_t expectedWrites;       // writes the sink made in all
  std::size_t expectedBytes;        // bytes that reached the writer, in order
};

std::vector<WriteBehindCase> WriteBehindCases() {
  return {
      {"background_pieces_across_chunks", true, 1000, {999, 2, 1500, 499}, 0, 3, 3000},
      {"at_once_pieces_across_chunks", false, 1000, {999, 2, 1500, 499}, 0, 3, 3000},
      {"background_last_chunk_partly_filled", true, 4096, {10000}, 0, 3, 10000},
      {"background_more_chunks_than_buffers", true, 64, {64 * 40 + 7}, 0, 41, 64 * 40 + 7},
      {"background_nothing_written", true, 100, {}, 0, 0, 0},
      {"background_first_write_fails", true, 100, {1000}, 1, 1, 0},
      {"background_third_write_fails", true, 100, {1000}, 3, 3, 200},
      {"at_once_second_write_fails", false, 100, {1000}, 2, 2, 100},
  };
}

class WriteBehindTable : public ::testing::TestWithParam<WriteBehindCase> {};

// The bytes go through a sink into WriteBehind as the export sends them; the
// writer must see every chunk whole and in order, and after a failed write
// nothing more, with the failure reported by the sink and by Finish.
TEST_P(WriteBehindTable, WritesInOrderAndStopsAtTheFirstFailure) {
  const WriteBehindCase& c = GetParam();
  std::size_t total = 0;
  for (std::size_t n : c.pieces) total += n;
  const Bytes input = testing::RandomBytes(total, 3);

  Bytes written;
  std::size_t writes = 0;
  WriteBehind behind(
      [&](const std::uint8_t* data, std::size_t size) {
        ++writes;
        if (static_cast<int>(writes) == c.failAtWrite) return false;
        written.insert(written.end(), data, data + size);
        return true;
      },
      c.chunkSize, c.background);
  SampleSink sink(
      [&behind](std::uint8_t* filled, std::size_t count) {
        behind.Hand(filled, count);
        return behind.Take();
      },
      behind.Take(), behind.chunkSize());
  std::size_t at = 0;
  for (std::size_t n : c.pieces) {
    sink.Append(input.data() + at, n);
    at += n;
  }
  const bool flushed = sink.Flush();
  const bool finished = behind.Finish();

  EXPECT_EQ(finished, c.failAtWrite == 0);
  EXPECT_EQ(writes, c.expectedWrites);
  ASSERT_EQ(written.size(), c.expectedBytes);
  EXPECT_EQ(written, Bytes(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(c.expectedBytes)));
  EXPECT_EQ(sink.count(), total);
  // In the background a failure may be seen only at Finish; written at once, at the next exchange.
  if (!c.background) {
    EXPECT_EQ(flushed, c.failAtWrite == 0);
  }
}

INSTANTIATE_TEST_SUITE_P(WriteBehind, WriteBehindTable, ::testing::ValuesIn(WriteBehindCases()),
                         [](const ::testing::TestParamInfo<WriteBehindCase>& info) { return info.param.name; });

TEST(WriteBehind, TakeGivesNothingSoonAfterAWriteHasFailed) {
  for (bool background : {true, false}) {
    int writes = 0;
    WriteBehind behind(
        [&writes](const std::uint8_t*, std::size_t) {
          ++writes;
          return false;
        },
        16, background);
    // The maker learns of the failure at the latest when it has handed over
    // every chunk and waits for one to come back.
    int taken = 0;
    while (std::uint8_t* chunk = behind.Take()) {
      ASSERT_LT(++taken, 10) << (background ? "background" : "at once");
      behind.Hand(chunk, 16);
    }
    EXPECT_FALSE(behind.Finish());
    EXPECT_EQ(writes, 1) << (background ? "background" : "at once");
  }
}

}  // namespace
}  // namespace reelo
