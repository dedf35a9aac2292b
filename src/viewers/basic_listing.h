// A block's data shown as a ZX Spectrum BASIC program: line numbers, keywords
// spelled out, other printable characters as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// The listing as the Spectrum's LIST shows it: the same line numbers, the
// keywords spaced as LIST spaces them (a keyword's leading space is left out
// after a space, so "PRINT AT", not "PRINT  AT"; functions such as SIN or AT
// take none, RND, PI and INKEY$ no trailing one; "OPEN #"), and the hidden
// five-byte form after each number (the marker 0x0E and five bytes) and the
// colour and position codes 16..23 with their parameter bytes left out, so a
// number whose form holds 13 no longer ends the line. The Spectrum's own
// characters are spelled as BASIC text writes them (a backslash as "\\", the
// copyright sign "\*", block graphics as "\" and their drawing, user-defined
// graphics "\a".."\u"; the pound sign is the backquote), so the listing reads
// back into the same program. Lines end in LF. The listing stops where the
// program's variables begin (a byte of 0x40 or more in place of a line
// number) and at the end of the data; it never reads the checksum. The text is
// ASCII. Never fails: any bytes give some listing.
std::string BuildSpectrumListing(const TapeBlock& block);

// One hidden-byte mark in a marked listing: `length` bytes of the text from
// `begin`, braces included.
struct ListingMark {
  std::size_t begin = 0;
  std::size_t length = 0;
  bool operator==(const ListingMark&) const = default;
};

// The Spectrum-style listing with every byte LIST leaves out shown as a mark
// in braces where it stands: a number's form as the marker and its five bytes
// in hexadecimal after the digits ("10{0E 00 00 0A 00 00}"), a colour or
// position code as its name and parameters in decimal ("{INK 2}", "{AT 5,10}",
// "{TAB 4,0}"), any other code below 32 in hexadecimal ("{06}"), and the bytes
// after the program (its variables, or data that is no program) as lines of
// sixteen bytes in hexadecimal. A form or code cut by the end of the data
// shows the bytes there are ("{INK}", "{0E 00 00}"). Taking out the marks and
// the lines of bytes after the program leaves exactly BuildSpectrumListing's
// text. The text is ASCII; `marks` are
// in text order.
struct MarkedListing {
  std::string text;
  std::vector<ListingMark> marks;
};
MarkedListing BuildMarkedListing(const TapeBlock& block);

}  // namespace reelo
