// What a tape header says (type, name, data length, start address, autostart
// line, array variable) and the editing of those fields.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "project/op_result.h"
#include "project/tape_project.h"

namespace reelo {

// The header's type byte.
inline constexpr std::uint8_t kProgramType = 0;
inline constexpr std::uint8_t kNumberArrayType = 1;
inline constexpr std::uint8_t kCharacterArrayType = 2;
inline constexpr std::uint8_t kBytesType = 3;

inline constexpr int kNameLength = 10;
// A program header's autostart of 32768 or more means "no autostart".
inline constexpr int kNoAutostart = 32768;
inline constexpr int kMaxAutostartLine = 9999;
// The largest data block a record can hold: 65535 - flag - checksum.
inline constexpr int kMaxDataLength = 65533;

using HeaderName = std::array<std::uint8_t, kNameLength>;

// The fields of a header block (a record of length 19), read as the Spectrum
// reads them.
struct HeaderInfo {
  std::uint8_t type = 0;
  std::string typeName;         // "Program", "Number array", "Character array", "Bytes", or "Тип N"
  HeaderName nameBytes{};       // the ten name bytes as stored
  std::string name;             // the name as text (HeaderNameText), trailing spaces kept
  int dataLength = 0;           // bytes 14-15
  int param1 = 0;               // bytes 16-17
  int param2 = 0;               // bytes 18-19
  std::optional<int> start;      // Bytes: the load address (param1)
  std::optional<int> autostart;  // Program: the line it starts at; none when param1 >= 32768
  std::optional<int> programLength;  // Program: bytes before the variables (param2)
  std::optional<std::string> variable;  // arrays: "a()" for numbers, "a$()" for characters
};

// The header's fields, or nothing for a block that is not a header.
std::optional<HeaderInfo> ReadHeader(const TapeBlock& block);

// The name as text for showing and editing: bytes 32..126 as ASCII (0x5E and
// 0x60 as "^" and "`", as the block list and listing show them), 0x7F as "©",
// any other byte as "?" (graphics, tokens and codes the dialog cannot type).
// Trailing spaces kept.
std::string HeaderNameText(const HeaderName& name);

// Turns typed text (UTF-8) into the ten name bytes, padded with spaces. Every
// character must be one the Spectrum has (ASCII 32..126, "£", "©", "↑");
// more than ten characters or any other character is an Error with a Russian
// message naming the character.
OpResult SpectrumNameBytes(const std::string& text, HeaderName& name);

// What the properties dialog edits. Which field counts follows `type`:
// Program: `autostart` (line 0..9999, or none); Bytes: `start` (0..65535);
// arrays: `variable` (a letter a..z). Other type bytes keep param1.
struct HeaderFields {
  std::uint8_t type = kBytesType;
  std::string name;                // UTF-8, up to ten Spectrum characters
  int dataLength = 0;              // 0..65533
  std::optional<int> autostart;    // Program
  int start = 32768;               // Bytes
  char variable = 'a';             // arrays
};

// The fields of an existing header, for filling the dialog.
HeaderFields FieldsOfHeader(const HeaderInfo& info);

// A new header record from the fields, with the old header's flag byte and,
// when the type is unchanged, its second parameter; the checksum is computed.
// When the type changes, param2 takes the new type's convention (a program's
// length without variables = the data length; 32768 otherwise). A name text
// equal to the old header's HeaderNameText keeps the old name bytes (so names
// with graphics or tokens survive an edit of another field). Errors (Russian):
// a name the Spectrum cannot hold, a length over 65533, an autostart line over
// 9999, a start over 65535, a variable that is not a letter.
struct HeaderBuild {
  OpResult status;
  TapeBlock block;  // valid when status.ok()
};
HeaderBuild BuildHeader(const TapeBlock& oldHeader, const HeaderFields& fields);

// A new, well-formed header (flag 0) from scratch, for the block makers.
HeaderBuild BuildHeader(const HeaderFields& fields);

// The last address of the Spectrum's memory; a CODE block loaded at `start`
// fits when start + length is at most 65536.
inline constexpr int kLastAddress = 65535;

// The warning (Russian) for data of `length` bytes loaded at `start` that
// would run past address 65535: "Данные не помещаются в память: 49000 байт с
// адреса 32768 доходят до адреса 81767, а последний адрес памяти 65535".
// Empty when they fit.
std::string PastMemoryEndWarning(int start, int length);
// The same for the fields of a Bytes header (start and data length); empty
// for any other type, which has no load address.
std::string PastMemoryEndWarning(const HeaderFields& fields);

// The data length of the block right after block `index` when that block is a
// data block (not a header); nothing otherwise. The dialog offers it and marks
// a header whose own length differs.
std::optional<int> DataLengthAfter(const TapeProject& project, int index);

}  // namespace reelo
