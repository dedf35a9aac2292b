#include "project/block_list.h"

#include "project/block_kinds.h"
#include "project/checksum.h"

namespace reelo {
namespace {

// Windows-1251 bytes 0x80..0xBF as Unicode code points (0xC0..0xFF are the
// Cyrillic А..я in order, 0x00..0x7F are ASCII). 0x98 has no character; it is
// mapped to the C1 control of the same value, as the system's conversion does.
constexpr char32_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// The name byte that the list leaves out (decimal 20, not the space 32).
constexpr std::uint8_t kOmittedNameByte = 20;
constexpr int kNameOffset = 4;
constexpr int kNameLength = 10;
constexpr int kTypeOffset = 3;
// A data block's record holds its flag and checksum besides the data, after
// the two bytes of its length.
constexpr int kFlagAndChecksum = 2;
constexpr int kLengthBytes = 2;

constexpr std::uint8_t kFirstShownByte = 32;
constexpr std::uint8_t kDeleteByte = 127;
constexpr char32_t kControlPictures = 0x2400;
constexpr char32_t kDeletePicture = 0x2421;

constexpr const char* kHeaderPrefixes[] = {"Program: ", "Number array: ", "Character array: ", "Bytes: "};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// A name byte as one character of the line. Control codes (below 32, and
// 127) are shown as their Unicode pictures (U+2400 + code, U+2421 for 127):
// a line feed or an escape sequence taken from a damaged or hostile header
// would otherwise break the list's line or drive the terminal that
// reelo-cli list prints to.
std::string NameCharacter(std::uint8_t byte) {
  std::string out;
  if (byte < kFirstShownByte) {
    AppendUtf8(out, kControlPictures + byte);
  } else if (byte == kDeleteByte) {
    AppendUtf8(out, kDeletePicture);
  } else {
    out = Cp1251ToUtf8(byte);
  }
  return out;
}

std::string HeaderLine(const TapeBlock& block) {
  std::string line;
  std::uint8_t type = ByteAt(block, kTypeOffset);
  if (type < std::size(kHeaderPrefixes)) line = kHeaderPrefixes[type];
  for (int i = kNameOffset; i < kNameOffset + kNameLength; ++i) {
    std::uint8_t b = ByteAt(block, i);
    if (b != kOmittedNameByte) line += NameCharacter(b);
  }
  return line;
}

}  // namespace

std::string Cp1251ToUtf8(std::uint8_t byte) {
  std::string out;
  if (byte < 0x80) {
    out += static_cast<char>(byte);
  } else if (byte < 0xC0) {
    AppendUtf8(out, kCp1251High[byte - 0x80]);
  } else {
    AppendUtf8(out, 0x0410 + (byte - 0xC0));
  }
  return out;
}

std::string BlockListLine(const TapeBlock& block) {
  if (!block.holdsRecord()) return KindListLine(block, {});
  std::string line = IsHeader(block) ? HeaderLine(block) : DataBlockLine(block);
  return block.isPlainRecord() ? line : KindListLine(block, line);
}

std::vector<std::string> BlockListLines(const TapeProject& project) {
  std::vector<std::string> lines;
  lines.reserve(project.blocks.size());
  for (const auto& block : project.blocks) lines.push_back(BlockListLine(block));
  return lines;
}

std::string DataBlockLine(const TapeBlock& block) {
  const int length = RecordLength(block);
  if (length < kFlagAndChecksum) return "      0 байт данных (блок повреждён)";
  return "     " + NumberText(length - kFlagAndChecksum) + " байт данных";
}

std::string BlockDamageText(const TapeBlock& block) {
  // Blocks without a record, and pure data of a custom loader (whose last
  // byte need not be an XOR checksum), have nothing to check.
  if (!block.holdsRecord() || block.kind() == tzx::kPureData) return {};
  const int length = RecordLength(block);
  if (length == 0) return "Блок повреждён: в записи нет ни флага, ни контрольной суммы";
  if (length == 1) return "Блок повреждён: в записи только флаг, нет контрольной суммы";
  if (block.size() < static_cast<std::size_t>(length) + kLengthBytes) {
    return "Блок повреждён: запись обрезана, в ней" + NumberText(static_cast<long long>(block.size())) +
           " байт вместо" + NumberText(length + kLengthBytes);
  }
  if (!ChecksumMatches(block)) {
    return "Контрольная сумма не совпадает: записано" + NumberText(StoredChecksum(block)) + ", должно быть" +
           NumberText(ComputedChecksum(block));
  }
  return {};
}

std::vector<BlockListEntry> BlockListEntries(const TapeProject& project) {
  std::vector<BlockListEntry> entries;
  entries.reserve(project.blocks.size());
  for (const auto& block : project.blocks) entries.push_back({BlockListLine(block), BlockDamageText(block)});
  return entries;
}

ProjectSummary Summarize(const TapeProject& project) {
  long long files = 0;
  long long dataBytes = 0;
  for (const auto& block : project.blocks) {
    if (IsHeader(block)) {
      ++files;
    } else {
      dataBytes += RecordLength(block);
    }
  }
  ProjectSummary summary;
  summary.title = project.hasFileName() ? project.fileName + " - Reelo" : "Reelo";
  summary.blocksText = "Блоков:" + NumberText(project.blockCount());
  summary.filesText = "Файлов:" + NumberText(files);
  summary.dataText = "Всего данных:" + NumberText(dataBytes) + " байт";
  return summary;
}

}  // namespace reelo
