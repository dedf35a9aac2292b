// Tape blocks made from files: a binary as a CODE header and data block, a
// 6912-byte screen as SCREEN$, a BASIC text as a program. Every block is a
// well-formed record (header flag 0, data flag 255, checksums right).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "project/op_result.h"
#include "project/tape_project.h"

namespace reelo {

inline constexpr int kDefaultCodeStart = 32768;
inline constexpr int kScreenStart = 16384;
inline constexpr int kScreenFileSize = 6912;

// The header and data blocks made, or the reason (Russian) why none were.
struct MadeBlocks {
  OpResult status;
  std::vector<TapeBlock> blocks;  // header then data when status.ok()
  int errorLine = -1;             // BASIC: the text line of a syntax error
};

// A data block (flag 255) holding `data`, checksum computed.
TapeBlock MakeDataRecord(const std::vector<std::uint8_t>& data);

// CODE ("Bytes") header with the name (UTF-8, Spectrum characters, up to 10),
// start address 0..65535 and the data block. Refused: no bytes, more than
// 65533 bytes, a bad name or start.
MadeBlocks MakeCodeBlocks(const std::vector<std::uint8_t>& data, const std::string& name, int start);

// SCREEN$: a CODE header at 16384 for exactly 6912 bytes. Refused otherwise.
MadeBlocks MakeScreenBlocks(const std::vector<std::uint8_t>& data, const std::string& name);

// A program header (autostart line 0..9999 or none; program length = data
// length) and the tokenised program. A syntax error gives its line and reason.
MadeBlocks MakeProgramBlocks(const std::string& basicText, const std::string& name, std::optional<int> autostart);

// The kinds of file "Создать из файла..." turns into blocks.
enum class SourceKind { Binary, Screen, Basic };

// The kind a file suggests: ".bas" a BASIC text, ".scr" or a size of 6912 a
// screen, anything else a binary.
SourceKind GuessSourceKind(const std::string& path, std::uintmax_t size);

// The default block name for a file: its name without folder and extension,
// characters the Spectrum lacks left out, cut to ten characters.
std::string DefaultBlockName(const std::string& path);

// Reads a whole file for a maker. Errors (Russian, with the system's reason):
// a folder, a file that cannot be opened or read, an empty file, a file
// longer than `limit` bytes (the message gives its length).
struct FileBytes {
  OpResult status;
  std::vector<std::uint8_t> bytes;
};
FileBytes ReadSourceFile(const std::string& path, std::uintmax_t limit);

// Reads the file and makes its blocks: kind Binary with `start`, Screen (at
// 16384; `start` unused), or Basic with `autostart` (the text's bytes go into
// strings and REM as they are, as zmakebas puts them). Nothing is made when
// the file cannot be read, is empty, too long or not what the kind needs.
MadeBlocks MakeBlocksFromFile(const std::string& path, SourceKind kind, const std::string& name, int start,
                              std::optional<int> autostart);

}  // namespace reelo
