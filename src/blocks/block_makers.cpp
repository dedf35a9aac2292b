#include "blocks/block_makers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "blocks/basic_tokeniser.h"
#include "project/header_info.h"
#include "project/system_error.h"

namespace reelo {
namespace {

constexpr std::uint8_t kDataFlag = 0xFF;
// A BASIC text longer than this cannot make a program that fits the Spectrum.
constexpr std::uintmax_t kMaxBasicTextBytes = std::uintmax_t{4} << 20;

MadeBlocks Refused(std::string text) { return {OpResult::Fail(std::move(text)), {}, -1}; }

MadeBlocks HeaderAndData(const HeaderFields& fields, const std::vector<std::uint8_t>& data) {
  HeaderBuild header = BuildHeader(fields);
  if (!header.status.ok()) return {header.status, {}, -1};
  return {OpResult::Success(), {std::move(header.block), MakeDataRecord(data)}, -1};
}

std::string LowerExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return extension;
}

FileBytes TooLarge(std::uintmax_t size, std::uintmax_t limit) {
  return {OpResult::Fail("Файл длиной" + NumberText(static_cast<long long>(size)) + " байт слишком велик (не больше" +
                         NumberText(static_cast<long long>(limit)) + " байт)"),
          {}};
}

}  // namespace

TapeBlock MakeDataRecord(const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> body;
  body.reserve(data.size() + 2);
  body.push_back(kDataFlag);
  body.insert(body.end(), data.begin(), data.end());
  std::uint8_t checksum = 0;
  for (std::uint8_t b : body) checksum ^= b;
  body.push_back(checksum);
  return MakeRecord(body);
}

MadeBlocks MakeCodeBlocks(const std::vector<std::uint8_t>& data, const std::string& name, int start) {
  if (data.empty()) return Refused("Файл пуст: блок без данных не создан");
  if (data.size() > static_cast<std::size_t>(kMaxDataLength)) {
    return Refused("Файл длиной" + NumberText(static_cast<long long>(data.size())) +
                   " байт не помещается в один блок ленты (не больше 65533 байт)");
  }
  HeaderFields fields;
  fields.type = kBytesType;
  fields.name = name;
  fields.dataLength = static_cast<int>(data.size());
  fields.start = start;
  return HeaderAndData(fields, data);
}

MadeBlocks MakeScreenBlocks(const std::vector<std::uint8_t>& data, const std::string& name) {
  if (data.size() != static_cast<std::size_t>(kScreenFileSize)) {
    return Refused("Экран ZX Spectrum - это ровно 6912 байт, а в файле" +
                   NumberText(static_cast<long long>(data.size())));
  }
  return MakeCodeBlocks(data, name, kScreenStart);
}

MadeBlocks MakeProgramBlocks(const std::string& basicText, const std::string& name, std::optional<int> autostart) {
  if (autostart && (*autostart < 0 || *autostart > kMaxAutostartLine)) {
    return Refused("Строка запуска должна быть от 0 до 9999");
  }
  TokenisedProgram program = TokeniseBasic(basicText);
  if (!program.status.ok()) return {program.status, {}, program.errorLine};
  if (program.bytes.empty()) return Refused("В тексте нет ни одной строки программы BASIC");
  HeaderFields fields;
  fields.type = kProgramType;
  fields.name = name;
  fields.dataLength = static_cast<int>(program.bytes.size());
  fields.autostart = autostart;
  return HeaderAndData(fields, program.bytes);
}

SourceKind GuessSourceKind(const std::string& path, std::uintmax_t size) {
  const std::string extension = LowerExtension(path);
  if (extension == ".bas") return SourceKind::Basic;
  if (extension == ".scr" || size == static_cast<std::uintmax_t>(kScreenFileSize)) return SourceKind::Screen;
  return SourceKind::Binary;
}

std::string DefaultBlockName(const std::string& path) {
  const std::string stem = std::filesystem::path(path).stem().string();
  std::string name;
  for (unsigned char c : stem) {
    if (c >= 32 && c <= 126 && name.size() < static_cast<std::size_t>(kNameLength)) name += static_cast<char>(c);
  }
  return name;
}

FileBytes ReadSourceFile(const std::string& path, std::uintmax_t limit) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return {OpResult::Fail("Это папка, а не файл", path), {}};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {OpResult::Fail("Не удалось открыть файл", SystemErrorText(errno)), {}};
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > limit) return TooLarge(size, limit);
  std::vector<std::uint8_t> bytes;
  char buffer[65536];
  while (in) {
    in.read(buffer, sizeof buffer);
    bytes.insert(bytes.end(), buffer, buffer + in.gcount());
    if (bytes.size() > limit) return TooLarge(bytes.size(), limit);
  }
  if (in.bad()) return {OpResult::Fail("Не удалось прочитать файл", SystemErrorText(errno)), {}};
  if (bytes.empty()) return {OpResult::Fail("Файл пуст"), {}};
  return {OpResult::Success(), std::move(bytes)};
}

MadeBlocks MakeBlocksFromFile(const std::string& path, SourceKind kind, const std::string& name, int start,
                              std::optional<int> autostart) {
  FileBytes file = ReadSourceFile(path, kind == SourceKind::Basic ? kMaxBasicTextBytes : kMaxDataLength);
  if (!file.status.ok()) return {file.status, {}, -1};
  switch (kind) {
    case SourceKind::Binary: return MakeCodeBlocks(file.bytes, name, start);
    case SourceKind::Screen: return MakeScreenBlocks(file.bytes, name);
    case SourceKind::Basic:
      return MakeProgramBlocks(std::string(file.bytes.begin(), file.bytes.end()), name, autostart);
  }
  return Refused("Неизвестный вид файла");
}

}  // namespace reelo
