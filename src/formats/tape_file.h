// Tape files in the formats people keep: TAP, TZX, PZX and CSW in, TAP and TZX
// out. TAP goes through the project's own reader and writer. A TZX is read
// block by block, every kind kept with its fields (tzx_file.h); a PZX is read
// onto the same kinds (pzx_file.h), a CSW onto one CSW recording block
// (csw_file.h). A TZX is written block by block, each kind as it was read; a
// TAP file holds the records, with those the program's own tape decoder finds
// in the signal blocks (signal_blocks.h). The format of a file being read is
// taken from its content (a ".tzx" that holds TAP records reads as TAP), the
// format of a file being written from its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "project/op_result.h"
#include "project/progress.h"
#include "project/tape_project.h"

namespace reelo {

enum class TapeFormat { Tap, Tzx, Pzx, Csw };

// Progress texts of the loads and saves this file adds (a TAP file read or
// written keeps the texts of the TAP reader and writer).
inline constexpr const char* kLoadTzxLabel = "Загрузка TZX-файла, подождите...";
inline constexpr const char* kLoadPzxLabel = "Загрузка PZX-файла, подождите...";
inline constexpr const char* kLoadCswLabel = "Загрузка CSW-файла, подождите...";
inline constexpr const char* kSaveTzxLabel = "Сохранение TZX-файла, подождите...";

// Filters of the file dialogs, in the dialogs' "description|patterns|..." form.
// Open and Add file: every tape format first, then each one, then all files.
inline constexpr const char* kOpenTapeFilter =
    "Файлы лент (*.tap, *.tzx, *.pzx, *.csw)|*.tap;*.tzx;*.pzx;*.csw;*.TAP;*.TZX;*.PZX;*.CSW"
    "|Образ ленты TAP (*.tap)|*.tap;*.TAP"
    "|Образ ленты TZX (*.tzx)|*.tzx;*.TZX"
    "|Образ ленты PZX (*.pzx)|*.pzx;*.PZX"
    "|Запись ленты CSW (*.csw)|*.csw;*.CSW"
    "|Все файлы|*.*";
// Save as: the two formats the program writes; the name's ending decides.
inline constexpr const char* kSaveTapeFilter =
    "Образ ленты TAP (*.tap)|*.tap;*.TAP"
    "|Образ ленты TZX (*.tzx)|*.tzx;*.TZX"
    "|Все файлы|*.*";

// Files larger than this are refused before they are read, unless they are a
// TZX of standard blocks only (read in constant memory): the largest tape a
// project can hold is about 64 MB, and a PZX or CSW file is held in memory
// whole while it is read.
inline constexpr std::uint64_t kMaxTapeFileSize = std::uint64_t{128} << 20;

// The format the first bytes of a file show: the TZX, PZX and CSW signatures,
// TAP for anything else (a TAP file has no signature).
TapeFormat DetectTapeFormat(const std::uint8_t* data, std::size_t size);

// True when the name ends in ".tzx", in any mix of letter cases.
bool IsTzxFileName(const std::string& path);

// True when the name ends in ".pzx" or ".csw", in any mix of letter cases: a
// format the program reads but does not write. A save under such a name would
// put a TAP file in place of the recording, so it is refused.
bool IsReadOnlyTapeName(const std::string& path);
inline constexpr const char* kReadOnlyFormatText = "форматы PZX и CSW программа только читает: выберите имя .tap или .tzx";

// What one load did, block by block of the source file.
struct TapeLoadCounts {
  int taken = 0;              // standard-speed data blocks kept as they are
  int keptKinds = 0;          // TZX blocks of other kinds, kept with all their fields
  int converted = 0;          // turbo / pure-data blocks kept as records, timings lost
  int badChecksums = 0;       // converted blocks whose checksum does not match their bytes
  int signalBlocks = 0;       // blocks rendered and decoded
  int decodedRecords = 0;     // records the decoder found in them
  int signalWithoutData = 0;  // signal blocks of runs in which the decoder found nothing
  int signalNotDecoded = 0;   // signal blocks left undecoded: the project was full
  int pauses = 0;             // pauses and stop markers
  int groups = 0;             // groups, loops, jumps, selections, signal level
  int texts = 0;              // texts, messages, archive info, hardware, custom info
  int unknown = 0;            // blocks of a kind the program does not know
  int recordsLeftOut = 0;     // records for which the project had no room
};

// Appends the records of a TAP, TZX, PZX or CSW file after the project's
// blocks, the format read from the file's content. Never touches fileName or
// modified.
//  - A TAP file: exactly LoadTapFile (same progress, limits and warnings).
//  - The other formats: progress "Загрузка TZX-файла, подождите..." (PZX,
//    CSW likewise), maximum S + 1 as for TAP; the value follows the read
//    position. The result is Ok when every block was kept as it is, otherwise
//    a Warning whose message counts what was taken and left out, by kind, one
//    line each, and says what the file got wrong.
//  - A missing, unreadable, too large or damaged file (the reason in Russian
//    words as the detail): Error, the project unchanged.
//  - More records than free slots: what fits is kept, the rest counted.
// counts, when given, receives the tally (all zero for a TAP file).
OpResult LoadTapeFile(TapeProject& project, const std::string& path, Progress& progress,
                      TapeLoadCounts* counts = nullptr);

// The same read, its blocks given back as a value instead of appended: at most
// `room` blocks (the project's free slots, or 1000 for a tape that replaces
// the project), with the same status. No blocks on Error.
TapeRead ReadTapeFile(const std::string& path, int room, Progress& progress, TapeLoadCounts* counts = nullptr);

// Writes all blocks to project.fileName, atomically: a TZX file (every record a
// standard-speed data block with a 1000 ms pause after it) when the name ends
// in ".tzx", in any case, and a TAP file otherwise: exactly SaveTapFile for a
// tape of records, the records of every kind with the records decoded from
// its signal blocks in their place (TapRecordsWithSignals) for any other; when
// signal blocks were decoded the result is a Warning that says what was found.
// TZX progress: "Сохранение TZX-файла, подождите...", maximum blockCount + 1,
// value i after block i. Clears modified on success; on failure the old file
// and modified are as they were and the message is kSaveFailedText (with
// kReadOnlyFormatText as the detail for a PZX or CSW name: nothing written).
OpResult SaveTapeFile(TapeProject& project, Progress& progress);

}  // namespace reelo
