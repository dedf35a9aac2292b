// Texts the load-from-WAV window shows beside the decoder's report: built
// from plain data here, so they can be checked without a window.
#pragma once

#include <string>
#include <vector>

#include "project/tape_project.h"

namespace reelo {

// How many of the decoded records carry a checksum that matches their bytes
// and how many do not, on two lines:
// "Контрольная сумма верна: 3\nКонтрольная сумма неверна: 1".
std::string ChecksumTallyText(const std::vector<TapeBlock>& records);

}  // namespace reelo
