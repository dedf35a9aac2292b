#include "project/tape_block.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <numeric>
#include <thread>
#include <vector>

namespace reelo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A loaded file's bytes as the load shares them: 0, 1, ..., 15.
std::shared_ptr<const std::uint8_t[]> SixteenBytes() {
  std::shared_ptr<std::uint8_t[]> buffer(new std::uint8_t[16]);
  std::iota(buffer.get(), buffer.get() + 16, std::uint8_t{0});
  return buffer;
}

struct EditCase {
  const char* name;
  std::size_t offset;  // of the view in the buffer
  std::size_t size;
  std::function<void(TapeBlock&)> edit;
  Bytes expected;  // the edited copy's bytes
};

class TapeBlockEditTest : public ::testing::TestWithParam<EditCase> {};

// An edited copy of a view gets its own bytes; the view it was copied from,
// and the buffer, stay as they were.
TEST_P(TapeBlockEditTest, CopyOfAViewDetachesOnChange) {
  const EditCase& row = GetParam();
  const auto buffer = SixteenBytes();
  const TapeBlock original(buffer, row.offset, row.size);
  const Bytes before(buffer.get() + row.offset, buffer.get() + row.offset + row.size);
  ASSERT_EQ(original.toVector(), before);
  ASSERT_EQ(original.isView(), row.size > 0);

  TapeBlock copy = original;
  EXPECT_EQ(copy.sharesBytesWith(original), row.size > 0);
  row.edit(copy);
  EXPECT_EQ(copy.toVector(), row.expected);
  EXPECT_FALSE(copy.isView());
  EXPECT_EQ(original.toVector(), before);
  EXPECT_EQ(original.isView(), row.size > 0);
  for (std::uint8_t i = 0; i < 16; ++i) EXPECT_EQ(buffer[i], i) << "buffer byte " << int{i};
}

INSTANTIATE_TEST_SUITE_P(
    Edits, TapeBlockEditTest,
    ::testing::Values(
        EditCase{"SetAtBufferStart", 0, 3, [](TapeBlock& b) { b.set(0, 0xAA); }, {0xAA, 1, 2}},
        EditCase{"SetLastByteAtBufferEnd", 13, 3, [](TapeBlock& b) { b.set(2, 0xAA); }, {13, 14, 0xAA}},
        EditCase{"PushBackPastBufferEnd", 14, 2, [](TapeBlock& b) { b.push_back(0x55); }, {14, 15, 0x55}},
        EditCase{"PopBack", 4, 3, [](TapeBlock& b) { b.pop_back(); }, {4, 5}},
        EditCase{"InsertAtViewsBegin", 5, 2, [](TapeBlock& b) { b.insert(b.begin(), 0x77); }, {0x77, 5, 6}},
        EditCase{"InsertCountInMiddle", 5, 2, [](TapeBlock& b) { b.insert(b.begin() + 1, 2, 0); }, {5, 0, 0, 6}},
        EditCase{"InsertOwnBytesAtEnd", 8, 3, [](TapeBlock& b) { b.insert(b.end(), b.begin(), b.begin() + 2); },
                 {8, 9, 10, 8, 9}},
        EditCase{"InsertList", 0, 1, [](TapeBlock& b) { b.insert(b.end(), {0xE0, 0xE1}); }, {0, 0xE0, 0xE1}},
        EditCase{"EraseOne", 2, 4, [](TapeBlock& b) { b.erase(b.begin() + 1); }, {2, 4, 5}},
        EditCase{"EraseToEnd", 10, 6, [](TapeBlock& b) { b.erase(b.begin() + 2, b.end()); }, {10, 11}},
        EditCase{"ResizeShorter", 1, 5, [](TapeBlock& b) { b.resize(2); }, {1, 2}},
        EditCase{"ResizeLongerWithZeros", 15, 1, [](TapeBlock& b) { b.resize(3); }, {15, 0, 0}},
        EditCase{"Clear", 3, 4, [](TapeBlock& b) { b.clear(); }, {}},
        EditCase{"AssignCount", 3, 4, [](TapeBlock& b) { b.assign(2, 9); }, {9, 9}},
        EditCase{"AssignOwnTail", 3, 4, [](TapeBlock& b) { b.assign(b.begin() + 2, b.end()); }, {5, 6}},
        EditCase{"MutableBytes", 6, 2, [](TapeBlock& b) { b.mutableBytes()[1] ^= 0xFF; }, {6, 0xF8}},
        EditCase{"WholeBuffer", 0, 16, [](TapeBlock& b) { b.erase(b.begin() + 1, b.end() - 1); }, {0, 15}},
        EditCase{"EmptyViewIsOwnStorage", 16, 0, [](TapeBlock& b) { b.push_back(1); }, {1}}),
    [](const auto& info) { return info.param.name; });

struct EqualityCase {
  const char* name;
  TapeBlock a;
  TapeBlock b;
  bool equal;
};

class TapeBlockEqualityTest : public ::testing::TestWithParam<EqualityCase> {};

TEST_P(TapeBlockEqualityTest, ComparesBytesAndKeptFields) {
  const EqualityCase& row = GetParam();
  EXPECT_EQ(row.a == row.b, row.equal);
  EXPECT_EQ(row.b == row.a, row.equal);
}

std::shared_ptr<const KeptFields> Pause(std::uint8_t low) {
  return std::make_shared<const KeptFields>(KeptFields{0x10, {low, 0x07}});
}

const auto kBuffer = SixteenBytes();

INSTANTIATE_TEST_SUITE_P(
    Blocks, TapeBlockEqualityTest,
    ::testing::Values(EqualityCase{"ViewAndOwnSameBytes", TapeBlock(kBuffer, 2, 3), TapeBlock(Bytes{2, 3, 4}), true},
                      EqualityCase{"ViewsOfEqualBytes", TapeBlock(kBuffer, 0, 0), TapeBlock(SixteenBytes(), 5, 0), true},
                      EqualityCase{"ViewsOfOneBufferAtDifferentOffsets", TapeBlock(kBuffer, 2, 3),
                                   TapeBlock(kBuffer, 3, 3), false},
                      EqualityCase{"ViewsOfTwoBuffersSameOffset", TapeBlock(kBuffer, 4, 4),
                                   TapeBlock(SixteenBytes(), 4, 4), true},
                      EqualityCase{"PrefixIsNotEqual", TapeBlock(kBuffer, 2, 3), TapeBlock(Bytes{2, 3}), false},
                      EqualityCase{"LastByteDiffers", TapeBlock(kBuffer, 13, 3), TapeBlock(Bytes{13, 14, 0}), false},
                      EqualityCase{"SameBytesEqualFields", TapeBlock(TapeBlock(kBuffer, 0, 2), Pause(0xD0)),
                                   TapeBlock(Bytes{0, 1}, Pause(0xD0)), true},
                      EqualityCase{"SameBytesOtherFields", TapeBlock(TapeBlock(kBuffer, 0, 2), Pause(0xD0)),
                                   TapeBlock(Bytes{0, 1}, Pause(0xE8)), false},
                      EqualityCase{"PlainRecordAndKeptFields", TapeBlock(kBuffer, 0, 2),
                                   TapeBlock(Bytes{0, 1}, Pause(0xE8)), false}),
    [](const auto& info) { return info.param.name; });

// Copies of one view are read on one thread while another thread changes,
// copies and drops other copies of it: the reads never see a change (built
// with the thread sanitizer, this also finds any unguarded shared write).
TEST(TapeBlock, CopiesChangedOnOneThreadWhileReadOnAnother) {
  const TapeBlock view(SixteenBytes(), 0, 16);
  std::atomic<bool> done{false};
  std::atomic<int> wrongReads{0};
  std::thread reader([&view, &done, &wrongReads] {
    const TapeBlock mine = view;
    while (!done.load()) {
      unsigned sum = 0;
      for (const std::uint8_t b : mine) sum += b;
      for (std::size_t i = 0; i < view.size(); ++i) sum += view[i];
      if (sum != 2 * 120) ++wrongReads;
    }
  });
  for (int round = 0; round < 2000; ++round) {
    TapeBlock copy = view;
    copy.set(static_cast<std::size_t>(round % 16), 0xFF);
    TapeBlock again = copy;
    again.push_back(1);
    EXPECT_EQ(copy[static_cast<std::size_t>(round % 16)], 0xFF);
  }
  done = true;
  reader.join();
  EXPECT_EQ(wrongReads.load(), 0);
  EXPECT_TRUE(view.isView());
}

}  // namespace
}  // namespace reelo
