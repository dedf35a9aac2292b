// Every viewer takes any bytes: random records, records shorter or longer than
// their length field says, and the largest record. Run under the sanitizers,
// a read outside a block shows here.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "tape_builders.h"
#include "viewers/basic_listing.h"
#include "viewers/dump_view.h"
#include "viewers/screen_view.h"
#include "viewers/text_view.h"

namespace reelo {
namespace {

using testing::Bytes;

// A block of `size` random bytes whose length field says `declared`.
TapeBlock DamagedBlock(std::size_t size, int declared, unsigned seed) {
  TapeBlock block = testing::RandomBytes(std::max<std::size_t>(size, 2), seed);
  block.mutableBytes()[0] = static_cast<std::uint8_t>(declared & 0xFF);
  block.mutableBytes()[1] = static_cast<std::uint8_t>(declared >> 8);
  block.resize(size);
  return block;
}

std::size_t CountOf(const std::string& text, const std::string& piece) {
  std::size_t n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++n;
  return n;
}

void ExpectEveryViewBuilds(const TapeBlock& block) {
  NullProgress progress;
  const std::string listing = BuildBasicListing(block);
  ASSERT_FALSE(listing.empty());
  EXPECT_EQ(listing.back(), '\n');
  const int dataBytes = std::max(RecordLength(block) - 2, 0);
  const std::string text = BuildTextView(block, progress);
  EXPECT_EQ(text.size(), static_cast<std::size_t>(dataBytes) + CountOf(text, "\r\n"));
  const std::string dump = BuildDumpView(block, progress);
  EXPECT_EQ(CountOf(dump, "\r\n"), 2 + static_cast<std::size_t>(std::max(dataBytes - 1, 0) / kDumpValuesPerRow));
  const ScreenPicture picture = DecodeScreen(block);
  EXPECT_EQ(picture.DisplayMode, ScreenMode::Colour);
}

TEST(ViewersRobustness, RandomWholeRecords) {
  std::mt19937 gen(11);
  for (int round = 0; round < 200; ++round) {
    const std::size_t n = gen() % (round < 100 ? 16 : 8000);
    SCOPED_TRACE("data bytes " + std::to_string(n));
    ExpectEveryViewBuilds(testing::MakeDataBlock(testing::RandomBytes(n, static_cast<unsigned>(round))));
  }
}

TEST(ViewersRobustness, LengthFieldDisagreesWithTheBytesHeld) {
  const struct {
    std::size_t size;
    int declared;
  } cases[] = {{0, 0}, {1, 0}, {2, 65535}, {3, 65535}, {10, 6914}, {7000, 6914}, {7000, 3}, {6000, 65535}};
  unsigned seed = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE("size " + std::to_string(c.size) + " declared " + std::to_string(c.declared));
    ExpectEveryViewBuilds(DamagedBlock(c.size, c.declared, seed++));
  }
}

TEST(ViewersRobustness, LargestRecord) { ExpectEveryViewBuilds(testing::MakeDataBlock(testing::RandomBytes(65533, 4))); }

}  // namespace
}  // namespace reelo
