// A block's data saved to a file: the raw bytes, a screen as .scr or .png, the
// BASIC listing or the decimal dump as UTF-8 text with LF line ends. Every file is written
// atomically: a failure leaves any old file as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/op_result.h"
#include "project/tape_project.h"
#include "viewers/screen_view.h"

namespace reelo {

enum class DataFileKind {
  Raw,              // the data bytes (3..L) of every chosen block, one after another
  Screen,           // .scr: the 6912 bytes of the first chosen block
  Picture,          // .png, 256 x 192, of the first chosen block in the given colouring
  PictureDouble,    // .png, 512 x 384
  Listing,          // the BASIC listing as the Spectrum shows it, UTF-8
  ExactListing,     // the listing with the hidden bytes as marks ("10{0E 00 00 0A 00 00}", "{INK 2}"), UTF-8
  Dump,             // the decimal dump, UTF-8
};

// What the save dialog offers for a kind: its Russian name ("Данные блока",
// "Экран ZX Spectrum", "Картинка PNG 256x192", ...) and the file extension
// without the dot ("bin", "scr", "png", "txt").
const char* DataFileKindName(DataFileKind kind);
const char* DataFileExtension(DataFileKind kind);

// The kinds a block's data can be saved as: Screen and the pictures only for
// a block of exactly 6912 data bytes.
std::vector<DataFileKind> DataFileKinds(const TapeBlock& block);

// The bytes of the file for the chosen blocks (in order). Refused with a
// Russian message: no block, or a screen kind for a block that is not 6912
// bytes of data. Listings and dumps of several blocks follow one another,
// separated by an empty line.
struct DataFile {
  OpResult status;
  std::vector<std::uint8_t> bytes;
};
DataFile BuildDataFile(const std::vector<TapeBlock>& blocks, DataFileKind kind, ScreenMode mode);

// Builds the file and writes it to path with AtomicFileWriter. Errors (with the
// system's reason): the folder cannot be written, the disk is full.
OpResult SaveDataFile(const std::vector<TapeBlock>& blocks, DataFileKind kind, ScreenMode mode,
                      const std::string& path);

}  // namespace reelo
