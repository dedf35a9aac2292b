// BASIC program text (the syntax zmakebas reads) turned into the bytes of a
// Spectrum program: line number (high byte first), line length, the tokens,
// numbers followed by their hidden five-byte forms, and 13 at the end of the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "project/op_result.h"

namespace reelo {

inline constexpr int kMaxBasicLine = 9999;

struct TokenisedProgram {
  OpResult status;                  // Error: the line and the reason, nothing produced
  std::vector<std::uint8_t> bytes;  // the program as it stands in memory (no variables)
  int errorLine = -1;               // the text line (from 1) of an error
};

// Tokenises the text: one program line per text line ("10 PRINT \"A\"");
// keywords as words in any case (GO TO / GOTO, GO SUB / GOSUB, DEF FN / DEFFN,
// RANDOMIZE / RANDOMISE), spaces dropped outside strings and REM, numbers
// followed by the 0x0E marker and their five-byte form, BIN numbers in binary
// or 0x hex. A UTF-8 byte order mark at the start is passed over. Lines end
// in LF, CR LF or CR; blank lines and lines starting with
// "#" are skipped; a line ending in "\" goes on on the next one. Escapes, in
// strings, REM and elsewhere: "\\" a backslash, "\@" the "@" sign, "\*" the
// copyright sign, "\a".."\u" the user-defined graphics 0x90..0xA4, "\" with
// two of ' . : and space a block graphic 0x80..0x8F, "\{N}" the byte N
// (decimal, 0x hex or 0 octal: colour codes such as "\{16}\{2}"). A backquote
// is the pound sign (0x60), as on the Spectrum.
// DEF FN parameters are followed by the six placeholder bytes (0x0E and five
// zeros) that the Spectrum's own editor stores.
// Errors name the text line and the reason (Russian): no line number, a line
// number over 9999 or not above the one before, a bad BIN number or escape, a
// number too big, a program over the memory of the Spectrum.
TokenisedProgram TokeniseBasic(std::string_view text);

}  // namespace reelo
