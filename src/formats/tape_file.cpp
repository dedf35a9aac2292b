#include "formats/tape_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "formats/csw_file.h"
#include "formats/load_summary.h"
#include "formats/signal_blocks.h"
#include "formats/spectrum_library.h"
#include "formats/tzx_blocks.h"
#include "project/atomic_file.h"
#include "project/system_error.h"
#include "project/tap_file.h"

namespace reelo {
namespace {

constexpr char kTzxSignature[] = "ZXTape!\x1A";
constexpr char kPzxSignature[] = "PZXT";
constexpr char kCswSignature[] = "Compressed Square Wave\x1A";
constexpr char kTzxExtension[] = ".tzx";
constexpr std::size_t kLongestSignature = sizeof kCswSignature - 1;

constexpr const char* kTapeUnreadableText = "Файл ленты не удалось прочитать:";
constexpr const char* kTapeTooLargeText = "Файл слишком велик для ленты:";
constexpr unsigned kSavedPause = 1000;  // ms after every block of a written TZX

// The Spectrum ROM's own timings, in 3.5 MHz clock ticks.
constexpr libspectrum_dword kRomPilot = 2168;
constexpr libspectrum_dword kRomSync1 = 667;
constexpr libspectrum_dword kRomSync2 = 735;
constexpr libspectrum_dword kRomZero = 855;
constexpr libspectrum_dword kRomOne = 1710;
constexpr std::size_t kBitsPerByte = 8;
constexpr std::chrono::milliseconds kTickInterval{20};

template <std::size_t N>
bool StartsWith(const std::uint8_t* data, std::size_t size, const char (&signature)[N]) {
  constexpr std::size_t length = N - 1;  // without the closing zero
  return size >= length && std::memcmp(data, signature, length) == 0;
}

OpResult OpenFailure(const std::string& path, int err) {
  return OpResult::Fail(std::string(kOpenFailedText) + " " + path, SystemErrorText(err));
}

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
      return libspectrum_tape_block_bit0_pulse_count(block) == 2 && libspectrum_tape_block_bit1_pulse_count(block) == 2 &&
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

// A record of the given bytes after its length field.
TapeBlock MakeRecordOf(const std::uint8_t* data, std::size_t length) {
  // Filled by appending, not zeroed first: on a long tape the zeroing would
  // cost as much as the copy.
  TapeBlock record;
  record.reserve(length + 2);
  record.push_back(static_cast<std::uint8_t>(length & 0xFF));
  record.push_back(static_cast<std::uint8_t>(length >> 8));
#pragma GCC diagnostic push
  // GCC 12 sees the append after the reserve as writing past a 2-byte buffer.
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#pragma GCC diagnostic ignored "-Warray-bounds"
  if (length > 0) record.insert(record.end(), data, data + length);
#pragma GCC diagnostic pop
  return record;
}

TapeBlock RecordOf(SpectrumBlock block) {
  return MakeRecordOf(libspectrum_tape_block_data(block), libspectrum_tape_block_data_length(block));
}

bool ChecksumMatches(const TapeBlock& record) {
  std::uint8_t x = 0;
  for (std::size_t i = 2; i < record.size(); ++i) x ^= record[i];
  return x == 0;
}

// ---- Loading ----------------------------------------------------------------

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

const char* LoadLabel(TapeFormat format) {
  switch (format) {
    case TapeFormat::Tzx: return kLoadTzxLabel;
    case TapeFormat::Pzx: return kLoadPzxLabel;
    case TapeFormat::Csw: return kLoadCswLabel;
    case TapeFormat::Tap: break;
  }
  return kLoadTapLabel;
}

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
                      RecordGatherer& gatherer, TapeLoadCounts& counts, LoadNotes& notes, ProgressScope& scope,
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
    scope.Step(static_cast<long long>(first));
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
                       ProgressScope& scope) {
  const std::vector<SpectrumBlock> blocks = BlocksOf(tape);
  std::size_t i = 0;
  while (i < blocks.size()) {
    const BlockFate fate = FateOf(blocks, i);
    if (fate == BlockFate::Signal) {
      OpResult failure;
      i = DecodeRun(tape, blocks, i, gatherer, counts, notes, scope, failure);
      if (!failure.ok()) return failure;
      scope.Step(static_cast<long long>(i));
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
    scope.Step(static_cast<long long>(i));
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
  } else {
    return true;
  }
  input.data = input.copy.data();
  input.size = input.copy.size();
  return true;
}

// A TZX of standard blocks only: each block's data becomes a record.
OpResult LoadStandardTzx(TapeProject& project, const std::uint8_t* data, const std::vector<TzxDataSpan>& spans,
                         Progress& progress, TapeLoadCounts& counts) {
  ProgressScope scope(progress, kLoadTzxLabel, static_cast<long long>(spans.size()));
  const std::size_t room = static_cast<std::size_t>(project.freeSlots());
  const std::size_t kept = std::min(room, spans.size());
  project.blocks.reserve(project.blocks.size() + kept);
  for (std::size_t i = 0; i < spans.size(); ++i) {
    if (i < kept) project.blocks.push_back(MakeRecordOf(data + spans[i].offset, spans[i].length));
    scope.Step(static_cast<long long>(i + 1));
  }
  counts.taken = static_cast<int>(kept);
  counts.recordsLeftOut = static_cast<int>(spans.size() - kept);
  const std::string summary = LoadSummaryText(counts, LoadNotes{});
  return summary.empty() ? OpResult::Success() : OpResult::Warn(summary);
}

OpResult LoadSpectrumTape(TapeProject& project, const std::string& path, TapeFormat format,
                          const std::uint8_t* data, std::size_t size, Progress& progress, TapeLoadCounts& counts) {
  std::vector<TzxDataSpan> spans;
  if (format == TapeFormat::Tzx && StandardBlocksOnly(data, size, spans)) {
    return LoadStandardTzx(project, data, spans, progress, counts);
  }
  LoadNotes notes;
  std::string reason;
  LibraryInput input;
  if (!PrepareForLibrary(format, data, size, input, counts, notes, reason)) {
    return OpResult::Fail(std::string(kTapeUnreadableText) + " " + path, reason);
  }
  SpectrumTape tape = NewSpectrumTape();
  ClearSpectrumError();
  const libspectrum_error error = libspectrum_tape_read(tape.get(), input.data, input.size, SpectrumId(format), nullptr);
  if (error != LIBSPECTRUM_ERROR_NONE && error != LIBSPECTRUM_ERROR_WARNING) {
    return OpResult::Fail(std::string(kTapeUnreadableText) + " " + path, SpectrumFailureReason(error));
  }
  std::vector<std::uint8_t>().swap(input.copy);  // libspectrum holds its own copy now

  RecordGatherer gatherer(project.freeSlots(), counts);
  {
    int blockCount = 0;
    libspectrum_tape_iterator it;
    for (auto* b = libspectrum_tape_iterator_init(&it, tape.get()); b; b = libspectrum_tape_iterator_next(&it)) {
      ++blockCount;
    }
    ProgressScope scope(progress, LoadLabel(format), blockCount);
    const OpResult gathered = GatherRecords(tape.get(), gatherer, counts, notes, scope);
    if (!gathered.ok()) return gathered;
  }
  for (TapeBlock& record : gatherer.records()) project.blocks.push_back(std::move(record));
  const std::string summary = LoadSummaryText(counts, notes);
  return summary.empty() ? OpResult::Success() : OpResult::Warn(summary);
}

// The whole file read into memory that is not zeroed first (the read fills
// it). Read, not mapped: a mapping turns a failing disk or a file cut short
// meanwhile into a crash, where a read returns an error.
class FileBytes {
 public:
  // False with errno set when the file could not be read whole.
  bool Read(int fd, std::size_t size) {
    bytes_.reset(new (std::nothrow) std::uint8_t[size > 0 ? size : 1]);
    if (!bytes_) {
      errno = ENOMEM;
      return false;
    }
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pread(fd, bytes_.get() + done, size - done, static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n == 0) errno = EIO;  // the file became shorter than it was
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
    return true;
  }
  const std::uint8_t* data() const { return bytes_.get(); }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
};

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

// ---- Saving -----------------------------------------------------------------

constexpr std::uint8_t kTzxHeader[kTzxHeaderSize] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};

// Each record as a standard-speed block: ID, pause, data length, then the
// bytes after the record's length field, as many as the field promises
// (zeros where a damaged block is shorter). The format is this simple, so the
// file is streamed from the blocks without a copy of the whole tape.
bool WriteStandardBlock(AtomicFileWriter& writer, const TapeBlock& block) {
  const auto length = static_cast<std::size_t>(RecordLength(block));
  const std::uint8_t head[kTzxStandardHead] = {kTzxStandardBlock, kSavedPause & 0xFF, kSavedPause >> 8,
                                               static_cast<std::uint8_t>(length & 0xFF),
                                               static_cast<std::uint8_t>(length >> 8)};
  writer.Write(head, sizeof head);
  const std::size_t present = block.size() > 2 ? std::min(block.size() - 2, length) : 0;
  if (present > 0) writer.Write(block.data() + 2, present);
  if (present < length) {
    const std::vector<std::uint8_t> zeros(length - present, 0);
    writer.Write(zeros.data(), zeros.size());
  }
  return !writer.failed();
}

OpResult SaveTzxFile(TapeProject& project, Progress& progress) {
  ProgressScope scope(progress, kSaveTzxLabel, project.blockCount() + 1);
  if (!project.hasFileName()) return OpResult::Fail(kSaveFailedText, SystemErrorText(ENOENT));
  AtomicFileWriter writer;
  if (!writer.Open(project.fileName) || !writer.Write(kTzxHeader, sizeof kTzxHeader)) {
    return OpResult::Fail(kSaveFailedText, writer.error());
  }
  for (int i = 0; i < project.blockCount(); ++i) {
    if (!WriteStandardBlock(writer, project.blocks[static_cast<std::size_t>(i)])) break;
    scope.Step(i);
  }
  if (writer.failed() || !writer.Commit()) return OpResult::Fail(kSaveFailedText, writer.error());
  project.modified = false;
  return OpResult::Success();
}

}  // namespace

TapeFormat DetectTapeFormat(const std::uint8_t* data, std::size_t size) {
  if (StartsWith(data, size, kTzxSignature)) return TapeFormat::Tzx;
  if (StartsWith(data, size, kPzxSignature)) return TapeFormat::Pzx;
  if (StartsWith(data, size, kCswSignature)) return TapeFormat::Csw;
  return TapeFormat::Tap;
}

bool IsTzxFileName(const std::string& path) {
  const std::size_t n = sizeof kTzxExtension - 1;
  if (path.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(path[path.size() - n + i]);
    if (std::tolower(c) != kTzxExtension[i]) return false;
  }
  return true;
}

OpResult LoadTapeFile(TapeProject& project, const std::string& path, Progress& progress, TapeLoadCounts* counts) {
  TapeLoadCounts tally;
  if (counts) *counts = tally;
  // Only regular files: opening a named pipe would wait for a writer forever,
  // and a device has no size to read by.
  struct stat st{};
  if (stat(path.c_str(), &st) != 0) return OpenFailure(path, errno);
  if (!S_ISREG(st.st_mode)) return OpenFailure(path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  const FdCloser file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) return OpenFailure(path, errno);
  std::uint8_t head[kLongestSignature];
  const ssize_t headSize = ::pread(file.fd, head, sizeof head, 0);
  if (headSize < 0) return OpenFailure(path, errno);
  const TapeFormat format = DetectTapeFormat(head, static_cast<std::size_t>(headSize));
  if (format == TapeFormat::Tap) return LoadTapFile(project, path, progress);
  if (fstat(file.fd, &st) != 0) return OpenFailure(path, errno);
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (size > kMaxTapeFileSize) {
    return OpResult::Fail(std::string(kTapeTooLargeText) + " " + path,
                          "загружаются файлы до" + NumberText(static_cast<long long>(kMaxTapeFileSize >> 20)) +
                              " МБ, а в этом" + NumberText(static_cast<long long>(size >> 20)) + " МБ");
  }
  FileBytes bytes;
  if (!bytes.Read(file.fd, static_cast<std::size_t>(size))) return OpenFailure(path, errno);
  const OpResult result =
      LoadSpectrumTape(project, path, format, bytes.data(), static_cast<std::size_t>(size), progress, tally);
  if (counts) *counts = tally;
  return result;
}

OpResult SaveTapeFile(TapeProject& project, Progress& progress) {
  if (!IsTzxFileName(project.fileName)) return SaveTapFile(project, progress);
  return SaveTzxFile(project, progress);
}

}  // namespace reelo
