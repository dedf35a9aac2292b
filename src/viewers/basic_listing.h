// A block's data shown as a ZX Spectrum BASIC program: line numbers, keywords
// spelled out, other printable characters as they are.
#pragma once

#include <cstdint>
#include <string>

#include "project/tape_project.h"

namespace reelo {

// The text of one program byte: byte 13 gives a carriage return, 32..126 the
// ASCII character, 0xA5..0xFF the keyword with its surrounding spaces (" PRINT ",
// " INKEY$", "<=", " OPEN# "), every other byte nothing.
std::string BasicTokenText(std::uint8_t byte);

// The listing of a block's data (bytes 3..L) as a BASIC program. Each line is
// its number right-aligned in 5 characters, then its bytes rendered one by one
// up to and including the end-of-line byte 13, then LF; a line ended by its 13
// thus ends in CR LF, a line cut by the end of the data in LF alone. Line ends
// are found by the byte 13 only, never by the stored line length. The line step
// runs at least once, whatever the length. The reads may run past the data:
// position L + 1 is the checksum byte and is read as such; positions beyond
// the record give nothing, and 0 where a line number needs a byte.
// Never fails: any bytes give some listing.
std::string BuildBasicListing(const TapeBlock& block);

// The listing as the Spectrum's LIST shows it: the same line numbers and
// keyword texts, but the hidden five-byte form after each number (the marker
// 0x0E and five bytes) and the colour and position codes 16..23 with their
// parameter bytes are left out, so a number whose form holds 13 no longer ends
// the line. The Spectrum's own characters are spelled as BASIC text writes
// them (a backslash as "\\", the copyright sign "\*", block graphics as "\"
// and their drawing, user-defined graphics "\a".."\u"; the pound sign is the
// backquote), so the listing reads back into the same program. Lines end in
// LF. The listing stops where the program's variables begin (a byte of 0x40 or
// more in place of a line number) and at the end of the data; it never reads
// the checksum. Never fails: any bytes give some listing.
std::string BuildSpectrumListing(const TapeBlock& block);

}  // namespace reelo
