#include "ui/import/import_texts.h"

#include <algorithm>

#include "project/checksum.h"

namespace reelo {

std::string ChecksumTallyText(const std::vector<TapeBlock>& records) {
  const auto matching = std::count_if(records.begin(), records.end(), ChecksumMatches);
  const auto failing = static_cast<long long>(records.size()) - matching;
  return "Контрольная сумма верна:" + NumberText(matching) + "\nКонтрольная сумма неверна:" + NumberText(failing);
}

}  // namespace reelo
