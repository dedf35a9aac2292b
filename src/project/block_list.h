// The texts that show the project: one list line per block, the window title
// and the three status panels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/tape_project.h"

namespace reelo {

// The line of the block list for one block (UTF-8).
std::string BlockListLine(const TapeBlock& block);

// All lines, in block order.
std::vector<std::string> BlockListLines(const TapeProject& project);

// The character of a Windows-1251 byte as UTF-8.
std::string Cp1251ToUtf8(std::uint8_t byte);

struct ProjectSummary {
  std::string title;       // "<fileName> - Reelo" or "Reelo"
  std::string blocksText;  // "Блоков: N"
  std::string filesText;   // "Файлов: N"
  std::string dataText;    // "Всего данных: N байт"
};

ProjectSummary Summarize(const TapeProject& project);

}  // namespace reelo
