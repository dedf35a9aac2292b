// The texts that show the project: one list line per block, the window title
// and the three status panels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/tape_project.h"

namespace reelo {

// The line of the block list for one block (UTF-8). A header's name bytes are
// its Windows-1251 characters, control codes shown as their pictures ("␃").
std::string BlockListLine(const TapeBlock& block);

// All lines, in block order.
std::vector<std::string> BlockListLines(const TapeProject& project);

// The line of a data block: five spaces, the count of data bytes (the record
// length less flag and checksum) and "байт данных". A record too short to
// hold a flag and a checksum has no data: "      0 байт данных (блок
// повреждён)", never a negative count.
std::string DataBlockLine(const TapeBlock& block);

// What is wrong with a block, in Russian, for the mark the list gives it; an
// empty text for a sound block. Damaged: a record too short for its flag and
// checksum, a record shorter than its length field says, a checksum that does
// not match the flag and data ("Контрольная сумма не совпадает: записано 7,
// должно быть 12").
std::string BlockDamageText(const TapeBlock& block);

// The list's line of every block with what is wrong with it.
struct BlockListEntry {
  std::string line;
  std::string damage;  // empty: a sound block
  bool operator==(const BlockListEntry&) const = default;
};
std::vector<BlockListEntry> BlockListEntries(const TapeProject& project);

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
