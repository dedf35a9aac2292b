#include "project/checksum.h"

namespace reelo {

std::uint8_t ComputedChecksum(const TapeBlock& block) {
  const int length = RecordLength(block);
  std::uint8_t x = 0;
  for (int i = 2; i <= length; ++i) x ^= ByteAt(block, i);
  return x;
}

std::uint8_t StoredChecksum(const TapeBlock& block) { return ByteAt(block, RecordLength(block) + 1); }

bool ChecksumMatches(const TapeBlock& block) {
  // A record of length 0 holds neither flag nor checksum, and the last byte
  // of pure data (a custom loader's) need not be one: nothing to compare, and
  // nothing the checksum tool may "repair".
  if (RecordLength(block) == 0 || block.kind() == tzx::kPureData) return true;
  return ComputedChecksum(block) == StoredChecksum(block);
}

std::string ChecksumQuestionText(const ChecksumMismatch& mismatch) {
  return "Исправить несовпадение контрольной суммы в блоке №" + NumberText(mismatch.blockNumber) + "? Записано" +
         NumberText(mismatch.stored) + ", должно быть" + NumberText(mismatch.computed);
}

std::string ChecksumClosingText(ChecksumOutcome outcome) {
  switch (outcome) {
    case ChecksumOutcome::AllMatched: return "В проекте все контрольные суммы совпадают";
    case ChecksumOutcome::AllRepaired: return "Все несовпадающие контрольные суммы исправлены";
    case ChecksumOutcome::SomeLeft: return "В проекте остаются несовпадающие контрольные суммы";
  }
  return {};
}

ChecksumOutcome CheckAndRepairChecksums(TapeProject& project,
                                        const std::function<bool(const ChecksumMismatch&)>& repair) {
  bool mismatchFound = false;
  bool leftUnrepaired = false;
  for (std::size_t i = 0; i < project.blocks.size(); ++i) {
    TapeBlock& block = project.blocks[i];
    if (ChecksumMatches(block)) continue;
    mismatchFound = true;
    const std::uint8_t computed = ComputedChecksum(block);
    const ChecksumMismatch mismatch{static_cast<int>(i) + 1, StoredChecksum(block), computed};
    const auto position = static_cast<std::size_t>(RecordLength(block) + 1);
    if (repair(mismatch) && position < block.size()) {
      block.set(position, computed);
      project.modified = true;
    } else {
      leftUnrepaired = true;
    }
  }
  if (!mismatchFound) return ChecksumOutcome::AllMatched;
  return leftUnrepaired ? ChecksumOutcome::SomeLeft : ChecksumOutcome::AllRepaired;
}

}  // namespace reelo
