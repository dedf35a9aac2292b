#include "formats/spectrum_tape.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <vector>

#include "formats/csw_file.h"
#include "formats/signal_blocks.h"
#include "formats/spectrum_library.h"
#include "formats/tzx_blocks.h"

namespace reelo {
namespace {

constexpr const char* kTapeUnreadableText = "Файл ленты не удалось прочитать:";

// The Spectrum ROM's own timings, in 3.5 MHz clock ticks.
constexpr libspectrum_dword kRomPilot = 2168;
constexpr libspectrum_dword kRomSync1 = 667;
constexpr libspectrum_dword kRomSync2 = 735;
constexpr libspectrum_dword kRomZero = 855;
constexpr libspectrum_dword kRomOne = 1710;
constexpr std::size_t kBitsPerByte = 8;
constexpr std::chrono::milliseconds kTickInterval{20};

// ---- What each block of a libspectrum tape becomes --------------------------

enum class BlockFate { Taken, Converted, LeadIn, Signal, Pause, Group, Text, Unknown };

using SpectrumBlock = libspectrum_tape_block*;

bool FitsRecord(std::size_t bytes) { return bytes <= static_cast<std::size_t>(kMaxRecordLength); }

// Whole bytes that fit a record, for the block types that carry bytes.
bool CarriesRecord(SpectrumBlock block) {
  const std::size_t length = libspectrum_tape_block_data_length(block);
  switch (libspectrum_tape_block_type(block)) {
    case LIBSPECTRUM_TAPE_BLOCK_ROM: return true;
    case LIBSPECTRUM_TAPE_BLOCK_TURBO:
    case LIBSPECTRUM_TAPE_BLOCK_PURE_DATA:
      return length > 0 && FitsRecord(length) && libspectrum_tape_block_bits_in_last_byte(block) == kBitsPerByte;
    case LIBSPECTRUM_TAPE_BLOCK_DATA_BLOCK:
      return length > 0 && FitsRecord(length) && libspectrum_tape_block_count(block) == length * kBitsPerByte;
    default: return false;
  }
}

bool HasRomTimings(SpectrumBlock block) {
  switch (libspectrum_tape_block_type(block)) {
    case LIBSPECTRUM_TAPE_BLOCK_TURBO:
      return libspectrum_tape_block_pilot_length(block) == kRomPilot &&
             libspectrum_tape_block_sync1_length(block) == kRomSync1 &&
             libspectrum_tape_block_sync2_length(block) == kRomSync2 &&
             libspectrum_tape_block_bit0_length(block) == kRomZero &&
             libspectrum_tape_block_bit1_length(block) == kRomOne;
    case LIBSPECTRUM_TAPE_BLOCK_DATA_BLOCK:
      return libspectrum_tape_block_bit0_pulse_count(block) == 2 &&
             libspectrum_tape_block_bit1_pulse_count(block) == 2 &&
             libspectrum_tape_block_bit0_pulses(block, 0) == kRomZero &&
             libspectrum_tape_block_bit0_pulses(block, 1) == kRomZero &&
             libspectrum_tape_block_bit1_pulses(block, 0) == kRomOne &&
             libspectrum_tape_block_bit1_pulses(block, 1) == kRomOne;
    default: return false;
  }
}

bool IsToneOrPulses(libspectrum_tape_type type) {
  return type == LIBSPECTRUM_TAPE_BLOCK_PURE_TONE || type == LIBSPECTRUM_TAPE_BLOCK_PULSES ||
         type == LIBSPECTRUM_TAPE_BLOCK_PULSE_SEQUENCE;
}

// A data block without a pilot of its own, whose pilot and sync come from the
// tone and pulse blocks before it.
bool IsBareDataRecord(SpectrumBlock block) {
  const libspectrum_tape_type type = libspectrum_tape_block_type(block);
  return (type == LIBSPECTRUM_TAPE_BLOCK_PURE_DATA || type == LIBSPECTRUM_TAPE_BLOCK_DATA_BLOCK) &&
         CarriesRecord(block);
}

BlockFate FateOf(const std::vector<SpectrumBlock>& blocks, std::size_t i) {
  const SpectrumBlock block = blocks[i];
  const libspectrum_tape_type type = libspectrum_tape_block_type(block);
  switch (type) {
    case LIBSPECTRUM_TAPE_BLOCK_ROM: return BlockFate::Taken;
    case LIBSPECTRUM_TAPE_BLOCK_TURBO:
    case LIBSPECTRUM_TAPE_BLOCK_PURE_DATA:
    case LIBSPECTRUM_TAPE_BLOCK_DATA_BLOCK:
      if (!CarriesRecord(block)) return BlockFate::Signal;
      return HasRomTimings(block) ? BlockFate::Taken : BlockFate::Converted;
    case LIBSPECTRUM_TAPE_BLOCK_PURE_TONE:
    case LIBSPECTRUM_TAPE_BLOCK_PULSES:
    case LIBSPECTRUM_TAPE_BLOCK_PULSE_SEQUENCE: {
      std::size_t next = i + 1;
      while (next < blocks.size() && IsToneOrPulses(libspectrum_tape_block_type(blocks[next]))) ++next;
      return next < blocks.size() && IsBareDataRecord(blocks[next]) ? BlockFate::LeadIn : BlockFate::Signal;
    }
    case LIBSPECTRUM_TAPE_BLOCK_RAW_DATA:
    case LIBSPECTRUM_TAPE_BLOCK_RLE_PULSE:
    case LIBSPECTRUM_TAPE_BLOCK_GENERALISED_DATA: return BlockFate::Signal;
    case LIBSPECTRUM_TAPE_BLOCK_PAUSE:
    case LIBSPECTRUM_TAPE_BLOCK_STOP48: return BlockFate::Pause;
    case LIBSPECTRUM_TAPE_BLOCK_GROUP_START:
    case LIBSPECTRUM_TAPE_BLOCK_GROUP_END:
    case LIBSPECTRUM_TAPE_BLOCK_JUMP:
    case LIBSPECTRUM_TAPE_BLOCK_LOOP_START:
    case LIBSPECTRUM_TAPE_BLOCK_LOOP_END:
    case LIBSPECTRUM_TAPE_BLOCK_SELECT:
    case LIBSPECTRUM_TAPE_BLOCK_SET_SIGNAL_LEVEL:
    case LIBSPECTRUM_TAPE_BLOCK_CONCAT: return BlockFate::Group;
    case LIBSPECTRUM_TAPE_BLOCK_COMMENT:
    case LIBSPECTRUM_TAPE_BLOCK_MESSAGE:
    case LIBSPECTRUM_TAPE_BLOCK_ARCHIVE_INFO:
    case LIBSPECTRUM_TAPE_BLOCK_HARDWARE:
    case LIBSPECTRUM_TAPE_BLOCK_CUSTOM: return BlockFate::Text;
  }
  return BlockFate::Unknown;
}

TapeBlock RecordOf(SpectrumBlock block) {
  return MakeRecord(libspectrum_tape_block_data(block), libspectrum_tape_block_data_length(block));
}

bool ChecksumMatches(const TapeBlock& record) {
  std::uint8_t x = 0;
  for (std::size_t i = 2; i < record.size(); ++i) x ^= record[i];
  return x == 0;
}

// The records of one load, gathered apart from the project so that a failure
// leaves the project as it was.
class RecordGatherer {
 public:
  RecordGatherer(int room, TapeLoadCounts& counts) : room_(room), counts_(counts) {}

  // Keeps the record when there is room (true), counts it out otherwise.
  bool Add(TapeBlock record) {
    if (full()) {
      ++counts_.recordsLeftOut;
      return false;
    }
    records_.push_back(std::move(record));
    return true;
  }
  bool full() const { return static_cast<int>(records_.size()) >= room_; }
  std::vector<TapeBlock>& records() { return records_; }

 private:
  int room_;
  TapeLoadCounts& counts_;
  std::vector<TapeBlock> records_;
};

libspectrum_id_t SpectrumId(TapeFormat format) {
  switch (format) {
    case TapeFormat::Tzx: return LIBSPECTRUM_ID_TAPE_TZX;
    case TapeFormat::Pzx: return LIBSPECTRUM_ID_TAPE_PZX;
    case TapeFormat::Csw: return LIBSPECTRUM_ID_TAPE_CSW;
    case TapeFormat::Tap: break;
  }
  return LIBSPECTRUM_ID_TAPE_TAP;
}

std::vector<SpectrumBlock> BlocksOf(libspectrum_tape* tape) {
  std::vector<SpectrumBlock> blocks;
  libspectrum_tape_iterator it;
  for (SpectrumBlock b = libspectrum_tape_iterator_init(&it, tape); b; b = libspectrum_tape_iterator_next(&it)) {
    blocks.push_back(b);
  }
  return blocks;
}

// Decodes the run of signal blocks starting at first; returns the index after it.
std::size_t DecodeRun(libspectrum_tape* tape, const std::vector<SpectrumBlock>& blocks, std::size_t first,
                      RecordGatherer& gatherer, TapeLoadCounts& counts, LoadNotes& notes, LoadProgress& scope,
                      OpResult& failure) {
  std::size_t end = first;
  while (end < blocks.size() && FateOf(blocks, end) == BlockFate::Signal) ++end;
  const int count = static_cast<int>(end - first);
  if (gatherer.full()) {
    counts.signalNotDecoded += count;
    return end;
  }
  SignalDecode decoded;
  // The decoder reports every thousand pulses; the window hears of it at most
  // every kTickInterval, so repainting never costs more than the decoding.
  auto last = std::chrono::steady_clock::now();
  const std::function<void()> tick = [&scope, &last, first] {
    const auto now = std::chrono::steady_clock::now();
    if (now - last < kTickInterval) return;
    last = now;
    scope.Blocks(first);
  };
  failure = DecodeSignalBlocks(tape, static_cast<int>(first), count, decoded, tick);
  if (!failure.ok()) return end;
  counts.signalBlocks += count;
  counts.decodedRecords += static_cast<int>(decoded.records.size());
  if (decoded.records.empty()) counts.signalWithoutData += count;
  notes.decoderStoreFull = notes.decoderStoreFull || decoded.storeFull;
  notes.signalCut = notes.signalCut || decoded.signalCut;
  for (TapeBlock& record : decoded.records) gatherer.Add(std::move(record));
  return end;
}

// Sorts every block of the tape into the records and the counts.
OpResult GatherRecords(libspectrum_tape* tape, RecordGatherer& gatherer, TapeLoadCounts& counts, LoadNotes& notes,
                       LoadProgress& scope) {
  const std::vector<SpectrumBlock> blocks = BlocksOf(tape);
  scope.SetBlockCount(blocks.size());
  std::size_t i = 0;
  while (i < blocks.size()) {
    const BlockFate fate = FateOf(blocks, i);
    if (fate == BlockFate::Signal) {
      OpResult failure;
      i = DecodeRun(tape, blocks, i, gatherer, counts, notes, scope, failure);
      if (!failure.ok()) return failure;
      scope.Blocks(i);
      continue;
    }
    switch (fate) {
      case BlockFate::Taken:
        if (gatherer.Add(RecordOf(blocks[i]))) ++counts.taken;
        break;
      case BlockFate::Converted: {
        TapeBlock record = RecordOf(blocks[i]);
        const bool checksumWrong = !ChecksumMatches(record);
        if (gatherer.Add(std::move(record))) {
          ++counts.converted;
          if (checksumWrong) ++counts.badChecksums;
        }
        break;
      }
      case BlockFate::Pause: ++counts.pauses; break;
      case BlockFate::Group: ++counts.groups; break;
      case BlockFate::Text: ++counts.texts; break;
      case BlockFate::Unknown: ++counts.unknown; break;
      case BlockFate::LeadIn:
      case BlockFate::Signal: break;
    }
    ++i;
    scope.Blocks(i);
  }
  return OpResult::Success();
}

// The bytes libspectrum is to read: the file itself, or a cleaned copy of it.
struct LibraryInput {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::vector<std::uint8_t> copy;  // holds the bytes when they are not the file's
};

// Makes the file's bytes fit for libspectrum; false with the reason when they cannot be.
bool PrepareForLibrary(TapeFormat format, const std::uint8_t* data, std::size_t size, LibraryInput& input,
                       TapeLoadCounts& counts, LoadNotes& notes, std::string& reason) {
  input.data = data;
  input.size = size;
  if (format == TapeFormat::Tzx) {
    const TzxWalk walk = WalkTzxBlocks(data, size, input.copy);
    counts.groups += walk.controlBlocksRemoved;
    counts.texts += walk.textBlocksRemoved;
    counts.unknown += walk.unknownBlocksRemoved;
    notes.truncatedOffset = walk.truncatedOffset;
    notes.truncatedBytes = walk.truncatedBytes;
    if (!walk.changed) return true;
  } else if (format == TapeFormat::Csw) {
    if (!MakePlainCsw(data, size, input.copy, reason)) return false;
    if (input.copy.empty()) return true;
  } else {
    return true;
  }
  input.data = input.copy.data();
  input.size = input.copy.size();
  return true;
}

}  // namespace

OpResult LoadThroughLibrary(std::vector<TapeBlock>& records, int room, const std::string& path, TapeFormat format,
                            const std::uint8_t* data, std::size_t size, LoadProgress& progress,
                            TapeLoadCounts& counts) {
  LoadNotes notes;
  std::string reason;
  LibraryInput input;
  if (!PrepareForLibrary(format, data, size, input, counts, notes, reason)) {
    return OpResult::Fail(std::string(kTapeUnreadableText) + " " + path, reason);
  }
  SpectrumTape tape = NewSpectrumTape();
  ClearSpectrumError();
  const libspectrum_error error =
      libspectrum_tape_read(tape.get(), input.data, input.size, SpectrumId(format), nullptr);
  if (error != LIBSPECTRUM_ERROR_NONE && error != LIBSPECTRUM_ERROR_WARNING) {
    return OpResult::Fail(std::string(kTapeUnreadableText) + " " + path, SpectrumFailureReason(error));
  }
  std::vector<std::uint8_t>().swap(input.copy);  // libspectrum holds its own copy now

  RecordGatherer gatherer(room, counts);
  const OpResult gathered = GatherRecords(tape.get(), gatherer, counts, notes, progress);
  if (!gathered.ok()) return gathered;
  for (TapeBlock& record : gatherer.records()) records.push_back(std::move(record));
  const std::string summary = LoadSummaryText(counts, notes);
  return summary.empty() ? OpResult::Success() : OpResult::Warn(summary);
}

}  // namespace reelo
