// The tape decoder: one pass through the recording that turns classified
// pulses into tape records (pilot, sync, then bytes of eight bits, most
// significant first) and keeps every completed record in the import state.
// It knows nothing of headers, flags or checksums: a record is the bytes
// decoded between a sync pulse and the pulse where the signal stopped fitting
// the bit classes.
#pragma once

#include <string>
#include <vector>

#include "project/op_result.h"
#include "sound/import/import_events.h"
#include "sound/import/import_state.h"
#include "sound/import/recording_reader.h"
#include "sound/import/pulse_classifier.h"

namespace reelo {

inline constexpr const char* kDecodeStatusText = "Загрузка. Подождите...";
inline constexpr const char* kReportLoading = "Загрузка...";
inline constexpr const char* kReportDataFound = "Найдены данные...";
inline constexpr const char* kReportSignalLost = "Сигнал потерян...";
inline constexpr const char* kReportFinished = "Загрузка завершена";
inline constexpr const char* kReportStoreFull = "Нет места для новых блоков: загрузка остановлена";

// "          Блок данных 19 байт." for a record of 19 bytes.
std::string BlockReportLine(int length);
// "Найдено блоков: 2", the last line of a run that was not stopped.
std::string BlocksFoundLine(int count);

// What the decoder knows of one record besides its bytes. The exact decoder
// knows nothing more; a decoder that weighs its bits fills these in.
struct RecordFacts {
  bool checksumMatches = false;
  int repairedBits = 0;     // bits changed so that the checksum matches
  double confidence = -1;   // 0..1, the least certain bit's; -1: not known
  int take = 0;             // which recording of several it came from (0-based)
  std::string source;       // "правый канал", "из записи 2": where it came from, when there was a choice
  double pilotMicroseconds = 0;  // its pilot's half-wave as read (the ROM's is 619 µs); 0: not known
};

// The facts of a decoding run as values. The OpResult part says whether the
// run could read its recording: an Error when it could not be opened (the run
// did not start), a Warning when a read failed part-way.
struct DecodeResult : OpResult {
  bool stopped = false;    // a stop was requested: the record being read was dropped
  bool storeFull = false;  // a record began with the store full: the run ended there
  std::vector<RecordFacts> records;  // per record, when the decoder knows more than the bytes
};

// Decodes the recording into state.loadedBlocks (emptied first), writing the
// report through the events:
//  - "Загрузка..." first; "Найдены данные..." when a pilot and a sync were
//    found; the block line when a record ends after at least one whole byte,
//    "Сигнал потерян..." when it ends before; then "Загрузка завершена" and
//    "Найдено блоков: n" when the recording is done.
//  - A record is completed at the longest length a TAP record can have; the
//    rest of that block's signal is passed over by the next pilot search.
//  - A record found with the store full ends the run with kReportStoreFull
//    before the closing lines (storeFull in the result).
//  - A stop request (state.stopRequested, set by the window or by the events'
//    Progress answering false; checked after every pulse) abandons the run at
//    once: no more lines, the record being read is dropped, completed ones are
//    kept (stopped in the result).
// The run begins with events.Begin(kDecodeStatusText, F).
DecodeResult DecodeTape(ImportState& state, const PulseBounds& bounds, RecordingReader& recording,
                        ImportEvents& events);

// The same over a file read byte by byte. An empty file name does nothing. A
// file that cannot be opened does not start the run and gives the Error; a
// read failure part-way gives a Warning.
DecodeResult DecodeTape(ImportState& state, const PulseBounds& bounds, const std::string& wavFileName,
                        ImportEvents& events);

}  // namespace reelo
