#include "project/header_info.h"

#include <algorithm>

#include "project/block_access.h"

namespace reelo {
namespace {

// Positions inside a header record.
constexpr int kFlagByte = 2;
constexpr int kTypeByte = 3;
constexpr int kNameByte = 4;
constexpr int kLengthByte = 14;
constexpr int kParam1Byte = 16;
constexpr int kParam2Byte = 18;

constexpr int kCodeParam2 = 32768;   // what SAVE CODE stores as the second parameter
constexpr std::uint8_t kArrayBits[] = {0x80, 0xC0};  // number array, character array name bits
constexpr std::uint8_t kLetterMask = 0x1F;

int WordAt(const TapeBlock& block, int i) { return WordFromBytes(ByteAt(block, i), ByteAt(block, i + 1)); }

bool IsArray(std::uint8_t type) { return type == kNumberArrayType || type == kCharacterArrayType; }

std::string TypeName(std::uint8_t type) {
  switch (type) {
    case kProgramType: return "Program";
    case kNumberArrayType: return "Number array";
    case kCharacterArrayType: return "Character array";
    case kBytesType: return "Bytes";
    default: return "неизвестный (" + std::to_string(type) + ")";
  }
}

// The array's name as BASIC writes it, from the name byte SAVE DATA stores.
std::string VariableText(std::uint8_t type, std::uint8_t nameByte) {
  const int letter = nameByte & kLetterMask;
  std::string text(1, letter >= 1 && letter <= 26 ? static_cast<char>('a' + letter - 1) : '?');
  if (type == kCharacterArrayType) text += '$';
  return text + "()";
}

// Reads one UTF-8 character from text at i and moves i past it; returns its
// code point, or -1 for a malformed sequence (i then moves one byte).
long DecodeUtf8(const std::string& text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
  long code = extra <= 0 ? lead : lead & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    const std::size_t at = i + static_cast<std::size_t>(k);
    if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) break;
    code = (code << 6) | (static_cast<unsigned char>(text[at]) & 0x3F);
    if (k == extra) {
      i = at + 1;
      return code;
    }
  }
  ++i;
  return extra == 0 ? code : -1;
}

// The Spectrum's code for a character the user typed, or -1.
int SpectrumCode(long codePoint) {
  if (codePoint >= 32 && codePoint <= 126) return static_cast<int>(codePoint);
  switch (codePoint) {
    case 0x00A3: return 0x60;  // pound sign
    case 0x00A9: return 0x7F;  // copyright sign
    case 0x2191: return 0x5E;  // up arrow
    default: return -1;
  }
}

void PutWord(TapeBlock::Bytes& block, int i, int value) {
  block[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value & 0xFF);
  block[static_cast<std::size_t>(i) + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

HeaderBuild Refuse(std::string text) { return {OpResult::Fail(std::move(text)), {}}; }

// Checks the fields that do not depend on an old header; gives param1.
OpResult CheckFields(const HeaderFields& fields, int oldParam1, int& param1) {
  if (fields.dataLength < 0 || fields.dataLength > kMaxDataLength) {
    return OpResult::Fail("Длина данных должна быть от 0 до 65533");
  }
  param1 = oldParam1;
  if (fields.type == kProgramType) {
    if (fields.autostart && (*fields.autostart < 0 || *fields.autostart > kMaxAutostartLine)) {
      return OpResult::Fail("Строка запуска должна быть от 0 до 9999");
    }
    // "No autostart" keeps whatever value of 32768 or more the header had.
    param1 = fields.autostart.value_or(oldParam1 >= kNoAutostart ? oldParam1 : kNoAutostart);
  } else if (fields.type == kBytesType) {
    if (fields.start < 0 || fields.start > 0xFFFF) return OpResult::Fail("Адрес загрузки должен быть от 0 до 65535");
    param1 = fields.start;
  } else if (IsArray(fields.type)) {
    const char letter = static_cast<char>(fields.variable | 0x20);
    if (letter < 'a' || letter > 'z') return OpResult::Fail("Имя массива должно быть буквой от a до z");
    const std::uint8_t nameByte = kArrayBits[fields.type - kNumberArrayType] | static_cast<std::uint8_t>(letter - 'a' + 1);
    param1 = (oldParam1 & 0xFF) | (nameByte << 8);
  }
  return OpResult::Success();
}

HeaderBuild Assemble(std::uint8_t flag, const HeaderFields& fields, const HeaderName& name, int param1, int param2) {
  TapeBlock::Bytes block(kHeaderRecordLength + 2, 0);
  PutWord(block, 0, kHeaderRecordLength);
  block[kFlagByte] = flag;
  block[kTypeByte] = fields.type;
  std::copy(name.begin(), name.end(), block.begin() + kNameByte);
  PutWord(block, kLengthByte, fields.dataLength);
  PutWord(block, kParam1Byte, param1);
  PutWord(block, kParam2Byte, param2);
  std::uint8_t checksum = 0;
  for (int i = kFlagByte; i <= kHeaderRecordLength; ++i) checksum ^= block[static_cast<std::size_t>(i)];
  block.back() = checksum;
  return {OpResult::Success(), TapeBlock(std::move(block))};
}

int ConventionalParam2(const HeaderFields& fields) {
  return fields.type == kProgramType ? fields.dataLength : kCodeParam2;
}

}  // namespace

std::optional<HeaderInfo> ReadHeader(const TapeBlock& block) {
  if (!IsHeader(block)) return std::nullopt;
  HeaderInfo info;
  info.type = ByteAt(block, kTypeByte);
  info.typeName = TypeName(info.type);
  for (int k = 0; k < kNameLength; ++k) info.nameBytes[static_cast<std::size_t>(k)] = ByteAt(block, kNameByte + k);
  info.name = HeaderNameText(info.nameBytes);
  info.dataLength = WordAt(block, kLengthByte);
  info.param1 = WordAt(block, kParam1Byte);
  info.param2 = WordAt(block, kParam2Byte);
  if (info.type == kBytesType) info.start = info.param1;
  if (info.type == kProgramType) {
    if (info.param1 < kNoAutostart) info.autostart = info.param1;
    info.programLength = info.param2;
  }
  if (IsArray(info.type)) info.variable = VariableText(info.type, ByteAt(block, kParam1Byte + 1));
  return info;
}

std::string HeaderNameText(const HeaderName& name) {
  std::string text;
  for (std::uint8_t byte : name) {
    if (byte >= 32 && byte <= 126) {
      text += static_cast<char>(byte);
    } else if (byte == 0x7F) {
      text += "©";
    } else {
      text += '?';
    }
  }
  return text;
}

OpResult SpectrumNameBytes(const std::string& text, HeaderName& name) {
  HeaderName bytes;
  bytes.fill(' ');
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t begin = i;
    const long codePoint = DecodeUtf8(text, i);
    const int code = SpectrumCode(codePoint);
    if (codePoint < 0) return OpResult::Fail("Имя - не текст UTF-8");
    if (code < 0) {
      return OpResult::Fail("В имени есть символ «" + text.substr(begin, i - begin) +
                            "», которого нет у ZX Spectrum");
    }
    if (count == kNameLength) return OpResult::Fail("Имя длиннее 10 символов");
    bytes[count++] = static_cast<std::uint8_t>(code);
  }
  name = bytes;
  return OpResult::Success();
}

HeaderFields FieldsOfHeader(const HeaderInfo& info) {
  HeaderFields fields;
  fields.type = info.type;
  fields.name = info.name;
  fields.dataLength = info.dataLength;
  fields.autostart = info.autostart;
  fields.start = info.type == kBytesType ? info.param1 : 32768;
  const int letter = (info.param1 >> 8) & kLetterMask;
  fields.variable = IsArray(info.type) && letter >= 1 && letter <= 26 ? static_cast<char>('a' + letter - 1) : 'a';
  return fields;
}

HeaderBuild BuildHeader(const TapeBlock& oldHeader, const HeaderFields& fields) {
  const std::optional<HeaderInfo> old = ReadHeader(oldHeader);
  if (!old) return Refuse("Блок - не заголовок");
  HeaderName name = old->nameBytes;
  if (fields.name != old->name) {
    const OpResult named = SpectrumNameBytes(fields.name, name);
    if (!named.ok()) return {named, {}};
  }
  int param1 = 0;
  const OpResult checked = CheckFields(fields, old->param1, param1);
  if (!checked.ok()) return {checked, {}};
  int param2 = ConventionalParam2(fields);
  if (fields.type == old->type) {
    param2 = old->param2;
    // A program's length without variables cannot exceed its data.
    if (fields.type == kProgramType) param2 = std::min(param2, fields.dataLength);
  }
  HeaderBuild built = Assemble(ByteAt(oldHeader, kFlagByte), fields, name, param1, param2);
  built.block.kept = oldHeader.kept;  // a turbo header keeps its timings
  return built;
}

HeaderBuild BuildHeader(const HeaderFields& fields) {
  HeaderName name;
  const OpResult named = SpectrumNameBytes(fields.name, name);
  if (!named.ok()) return {named, {}};
  int param1 = 0;
  const OpResult checked = CheckFields(fields, 0, param1);
  if (!checked.ok()) return {checked, {}};
  return Assemble(0, fields, name, param1, ConventionalParam2(fields));
}

std::optional<int> DataLengthAfter(const TapeProject& project, int index) {
  if (index < 0 || index + 1 >= project.blockCount()) return std::nullopt;
  const TapeBlock& next = BlockAt(project, index + 1);
  if (IsHeader(next) || DataLength(next) < 0) return std::nullopt;
  return DataLength(next);
}

std::string PastMemoryEndWarning(int start, int length) {
  const long long last = static_cast<long long>(start) + length - 1;
  if (length <= 0 || last <= kLastAddress) return {};
  return "Данные не помещаются в память:" + NumberText(length) + " байт с адреса" + NumberText(start) +
         " доходят до адреса" + NumberText(last) + ", а последний адрес памяти" + NumberText(kLastAddress);
}

std::string PastMemoryEndWarning(const HeaderFields& fields) {
  if (fields.type != kBytesType) return {};
  return PastMemoryEndWarning(fields.start, fields.dataLength);
}

}  // namespace reelo
