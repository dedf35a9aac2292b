// The WAV export with the player's choices (sample rate, sample size,
// polarity, ROM timings), and the check that reads a written file back.
//
// The signal comes from the streaming generator (TapeSignalStream); with the
// default options the file is byte for byte the one SaveWavFile writes.
#pragma once

#include <cstdint>
#include <string>

#include "project/op_result.h"
#include "project/progress.h"
#include "project/tape_project.h"
#include "sound/export/wav_writer.h"

namespace reelo {

struct SignalOptions;  // sound/export/signal_stream.h

inline constexpr const char* kVerifyWavLabel = "Проверка WAV-файла, подождите...";
inline constexpr const char* kBadSignalOptionsText = "Недопустимые параметры WAV-файла. Файл не сохранён.";

// The 44-byte header of a PCM mono file in the options' rate and sample size,
// for a data chunk of dataBytes bytes. The default options give MakeWavHeader.
WavHeader MakeWavHeader(std::uint32_t dataBytes, const SignalOptions& options);

// Writes the project's signal in the given options to path, atomically, like
// SaveWavFile: progress "Сохранение WAV-файла, подождите...", maximum = number
// of blocks, value i after block i; a project too long for the 32-bit size
// fields is refused before anything is written (kWavTooLargeText); invalid
// options are refused (kBadSignalOptionsText); a failed write gives
// kSaveFailedText with the reason, and any earlier file stays as it was.
OpResult SaveWavFile(const TapeProject& project, const std::string& path, const SignalOptions& options,
                     Progress& progress);

// What reading a written file back found.
struct WavCheckResult {
  bool readable = false;   // false: the file could not be read (text and detail say why)
  bool identical = false;  // every block came back byte for byte, and nothing else
  int blocksExpected = 0;  // the project's blocks
  int blocksMatched = 0;   // blocks that came back equal, at their place
  int recordsDecoded = 0;  // records the decoder found in the file
  int firstMismatch = -1;  // 0-based index of the first block that did not come back, -1 if none
  std::string text;        // the result in the user's words (Russian), for a message box
  std::string detail;      // the system's reason when the file could not be read
};

// Decodes the file at path, written by SaveWavFile with these options, with
// the program's own tape decoder (default bounds, doubtful pulses counted as
// noise) and compares the records with the project's blocks. Progress:
// "Проверка WAV-файла, подождите...". Files in other rates, sample sizes or
// polarity are first brought to the decoder's 8-bit 22050 Hz form.
WavCheckResult VerifyWavFile(const TapeProject& project, const std::string& path, const SignalOptions& options,
                             Progress& progress);

}  // namespace reelo
