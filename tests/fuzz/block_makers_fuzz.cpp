// The block makers and the header editor under arbitrary bytes and field
// values: whatever they make is a header record and a data record whose
// checksums match and whose header holds the length, start, autostart and
// type that were asked for; anything else is refused with a message and
// makes nothing.
#include <optional>
#include <string>

#include "blocks/block_makers.h"
#include "fuzz_support.h"
#include "project/checksum.h"
#include "project/header_info.h"

namespace {

using reelo::TapeBlock;

constexpr std::size_t kSteering = 64;

bool WellFormed(const TapeBlock& block) {
  return block.size() >= 2 && static_cast<int>(block.size()) == reelo::RecordLength(block) + 2 &&
         reelo::ChecksumMatches(block);
}

std::string NameFrom(reelo::fuzz::Steering& steering) {
  std::string name;
  const int length = steering.NextInRange(0, 13);
  for (int i = 0; i < length; ++i) name.push_back(static_cast<char>(steering.Next()));
  return name;
}

void CheckMade(const reelo::MadeBlocks& made, std::uint8_t type, std::optional<int> start,
               std::optional<std::size_t> dataLength) {
  if (!made.status.ok()) {
    FUZZ_CHECK(!made.status.message.empty());
    FUZZ_CHECK(made.blocks.empty());
    return;
  }
  FUZZ_CHECK(made.blocks.size() == 2);
  FUZZ_CHECK(WellFormed(made.blocks[0]) && WellFormed(made.blocks[1]));
  const std::optional<reelo::HeaderInfo> header = reelo::ReadHeader(made.blocks[0]);
  FUZZ_CHECK(header.has_value() && header->type == type);
  FUZZ_CHECK(header->dataLength == reelo::RecordLength(made.blocks[1]) - 2);
  if (dataLength) FUZZ_CHECK(static_cast<std::size_t>(header->dataLength) == *dataLength);
  if (start) FUZZ_CHECK(header->start == start);
}

void CheckHeaderEdit(reelo::fuzz::Steering& steering) {
  TapeBlock old(21);
  old.set(0, 19);
  for (std::size_t i = 2; i < old.size(); ++i) old.set(i, steering.Next());
  reelo::HeaderFields fields;
  fields.type = static_cast<std::uint8_t>(steering.NextInRange(0, 4));
  fields.name = NameFrom(steering);
  fields.dataLength = steering.NextWord();
  const int line = steering.NextWord();
  if (line != 0xFFFF) fields.autostart = line;
  fields.start = steering.NextWord() + (steering.Next() & 1) * 65536;
  fields.variable = static_cast<char>(steering.Next());
  const reelo::HeaderBuild built = reelo::BuildHeader(old, fields);
  if (!built.status.ok()) {
    FUZZ_CHECK(!built.status.message.empty());
    return;
  }
  FUZZ_CHECK(WellFormed(built.block) && reelo::IsHeader(built.block));
  const std::optional<reelo::HeaderInfo> header = reelo::ReadHeader(built.block);
  FUZZ_CHECK(header.has_value() && header->type == fields.type && header->dataLength == fields.dataLength);
  if (fields.type == reelo::kBytesType) FUZZ_CHECK(header->start == fields.start);
  if (fields.type == reelo::kProgramType) FUZZ_CHECK(header->autostart == fields.autostart);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  reelo::fuzz::Steering steering(data, size, kSteering);
  const int what = steering.NextInRange(0, 3);
  const std::string name = NameFrom(steering);
  const reelo::fuzz::Bytes payload = steering.payloadBytes();
  switch (what) {
    case 0: {
      const int start = steering.NextWord() - (steering.Next() & 1) * 70000;
      CheckMade(reelo::MakeCodeBlocks(payload, name, start), reelo::kBytesType, start, payload.size());
      break;
    }
    case 1:
      CheckMade(reelo::MakeScreenBlocks(payload, name), reelo::kBytesType, 16384, std::size_t{6912});
      break;
    case 2: {
      const int line = steering.NextWord();
      const std::optional<int> autostart = line == 0xFFFF ? std::nullopt : std::optional<int>(line % 12000);
      const reelo::MadeBlocks made =
          reelo::MakeProgramBlocks(std::string(payload.begin(), payload.end()), name, autostart);
      CheckMade(made, reelo::kProgramType, std::nullopt, std::nullopt);
      if (made.status.ok()) FUZZ_CHECK(reelo::ReadHeader(made.blocks[0])->autostart == autostart);
      break;
    }
    default:
      CheckHeaderEdit(steering);
  }
  return 0;
}
