#include "formats/tape_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "formats/csw_file.h"
#include "formats/load_progress.h"
#include "formats/load_summary.h"
#include "formats/pzx_file.h"
#include "formats/signal_blocks.h"
#include "formats/tzx_blocks.h"
#include "formats/tzx_file.h"
#include "project/block_kinds.h"
#include "project/atomic_file.h"
#include "project/system_error.h"
#include "project/tap_file.h"

namespace reelo {
namespace {

constexpr char kTzxSignature[] = "ZXTape!\x1A";
constexpr char kPzxSignature[] = "PZXT";
constexpr char kCswSignature[] = "Compressed Square Wave\x1A";
constexpr char kTzxExtension[] = ".tzx";
constexpr char kPzxExtension[] = ".pzx";
constexpr char kCswExtension[] = ".csw";
constexpr std::size_t kLongestSignature = sizeof kCswSignature - 1;

constexpr const char* kTapeTooLargeText = "Файл слишком велик для ленты:";
constexpr const char* kTapeUnreadableText = "Файл ленты не удалось прочитать:";
constexpr const char* kTzxCutText = "файл обрывается посреди блока";
constexpr const char* kWavNotTapeText =
    "это звуковой файл WAV, а не образ ленты; запись ленты расшифровывает окно «Загрузить из WAV-файла»";

template <std::size_t N>
bool StartsWith(const std::uint8_t* data, std::size_t size, const char (&signature)[N]) {
  constexpr std::size_t length = N - 1;  // without the closing zero
  return size >= length && std::memcmp(data, signature, length) == 0;
}

// A sound file read as TAP records would give nonsense blocks.
bool IsWavFile(const std::uint8_t* head, std::size_t size) {
  return size >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0;
}

OpResult OpenFailure(const std::string& path, int err) {
  return OpResult::Fail(std::string(kOpenFailedText) + " " + path, SystemErrorText(err));
}

OpResult TooLargeFailure(const std::string& path, std::uint64_t size) {
  return OpResult::Fail(std::string(kTapeTooLargeText) + " " + path,
                        "загружаются файлы до" + NumberText(static_cast<long long>(kMaxTapeFileSize >> 20)) +
                            " МБ, а в этом" + NumberText(static_cast<long long>(size >> 20)) + " МБ");
}

const char* LoadLabel(TapeFormat format) {
  switch (format) {
    case TapeFormat::Tzx: return kLoadTzxLabel;
    case TapeFormat::Pzx: return kLoadPzxLabel;
    case TapeFormat::Csw: return kLoadCswLabel;
    case TapeFormat::Tap: break;
  }
  return kLoadTapLabel;
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

// Every block as its TZX block, streamed from the blocks without a copy of the
// whole tape.
OpResult SaveTzxFile(TapeProject& project, Progress& progress) {
  ProgressScope scope(progress, kSaveTzxLabel, project.blockCount() + 1);
  if (!project.hasFileName()) return OpResult::Fail(kSaveFailedText, SystemErrorText(ENOENT));
  AtomicFileWriter writer;
  std::vector<std::uint8_t> bytes;
  AppendTzxHeader(bytes);
  if (!writer.Open(project.fileName) || !writer.Write(bytes.data(), bytes.size())) {
    return OpResult::Fail(kSaveFailedText, writer.error());
  }
  for (int i = 0; i < project.blockCount(); ++i) {
    bytes.clear();
    AppendTzxBlock(bytes, project.blocks[static_cast<std::size_t>(i)]);
    if (!writer.Write(bytes.data(), bytes.size())) break;
    scope.Step(i);
  }
  if (writer.failed() || !writer.Commit()) return OpResult::Fail(kSaveFailedText, writer.error());
  project.modified = false;
  return OpResult::Success();
}

// A TAP file of the records the tape holds, with the records decoded from its
// signal blocks in their place; the other kinds are left out.
OpResult SaveRecordsAsTap(TapeProject& project, Progress& progress) {
  TapRecords decoded = TapRecordsWithSignals(project, progress);
  TapeProject records;
  records.fileName = project.fileName;
  records.blocks = std::move(decoded.records);
  const OpResult saved = SaveTapFile(records, progress);
  if (!saved.ok()) return saved;
  project.modified = false;
  const std::string found = SignalDecodeText(decoded);
  return found.empty() ? saved : OpResult::Warn(found);
}

// Moves the blocks read to the end of `to`: the whole vector when `to` is
// empty (as on every Open), so the blocks are not moved one by one again.
void AppendBlocks(std::vector<TapeBlock>& to, std::vector<TapeBlock>& read) {
  if (to.empty()) {
    to.swap(read);
  } else {
    to.insert(to.end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
  }
}

// The counts, blocks and message of a load of kinds.
OpResult KeepKinds(std::vector<TapeBlock>& blocks, std::vector<TapeBlock>& read, int leftOut, const LoadNotes& notes,
                   TapeLoadCounts& counts) {
  for (const TapeBlock& block : read) {
    if (block.isPlainRecord()) {
      ++counts.taken;
    } else {
      ++counts.keptKinds;
    }
  }
  counts.recordsLeftOut = leftOut;
  AppendBlocks(blocks, read);
  const std::string summary = LoadSummaryText(counts, notes);
  return summary.empty() ? OpResult::Success() : OpResult::Warn(summary);
}

// A TZX of blocks of any kind, read block by block from the open file. A file
// above the size limit is read only while it holds standard blocks (their
// records are what a project is limited to); anything else in it refuses it.
OpResult LoadTzx(std::vector<TapeBlock>& blocks, int room, const std::string& path, int fd, std::uint64_t size,
                 LoadProgress& progress, TapeLoadCounts& counts) {
  if (size < kTzxHeaderSize) return OpResult::Fail(std::string(kTapeUnreadableText) + " " + path, kTzxCutText);
  TzxKinds read = ReadTzxKinds(fd, size, static_cast<std::size_t>(std::max(room, 0)), size > kMaxTapeFileSize,
                               [&progress](std::uint64_t at) { progress.Position(at); });
  if (read.error != 0) return OpenFailure(path, read.error);
  if (read.kindsRefused) return TooLargeFailure(path, size);
  // The steps reached the end unless the file stops inside a block or holds none.
  if (read.truncatedOffset != 0 || size == kTzxHeaderSize) progress.Position(size);
  LoadNotes notes;
  notes.truncatedOffset = read.truncatedOffset;
  notes.truncatedBytes = read.truncatedBytes;
  return KeepKinds(blocks, read.blocks, read.leftOut, notes, counts);
}

// A PZX file, read whole, its blocks onto the TZX kinds.
OpResult LoadPzx(std::vector<TapeBlock>& blocks, int room, const std::string& path, const std::uint8_t* data,
                 std::size_t size, LoadProgress& progress, TapeLoadCounts& counts) {
  PzxKinds read = ReadPzxKinds(data, size, static_cast<std::size_t>(std::max(room, 0)));
  if (!read.failure.empty()) return OpResult::Fail(std::string(kTapeUnreadableText) + " " + path, read.failure);
  progress.Position(size);
  counts.unknown = read.unknown;
  LoadNotes notes;
  notes.truncatedOffset = read.truncatedOffset;
  notes.truncatedBytes = read.truncatedBytes;
  return KeepKinds(blocks, read.blocks, read.leftOut, notes, counts);
}

// A CSW file, read whole, onto one CSW recording block.
OpResult LoadCsw(std::vector<TapeBlock>& blocks, int room, const std::string& path, const std::uint8_t* data,
                 std::size_t size, LoadProgress& progress, TapeLoadCounts& counts) {
  CswKinds read = ReadCswKinds(data, size);
  if (!read.failure.empty()) return OpResult::Fail(std::string(kTapeUnreadableText) + " " + path, read.failure);
  progress.Position(size);
  const int leftOut = std::max(0, static_cast<int>(read.blocks.size()) - std::max(room, 0));
  read.blocks.resize(read.blocks.size() - static_cast<std::size_t>(leftOut));
  LoadNotes notes;
  notes.recording = read.note;
  return KeepKinds(blocks, read.blocks, leftOut, notes, counts);
}

}  // namespace

TapeFormat DetectTapeFormat(const std::uint8_t* data, std::size_t size) {
  if (StartsWith(data, size, kTzxSignature)) return TapeFormat::Tzx;
  if (StartsWith(data, size, kPzxSignature)) return TapeFormat::Pzx;
  if (StartsWith(data, size, kCswSignature)) return TapeFormat::Csw;
  return TapeFormat::Tap;
}

namespace {

template <std::size_t N>
bool EndsWithExtension(const std::string& path, const char (&extension)[N]) {
  const std::size_t n = N - 1;  // without the closing zero
  if (path.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(path[path.size() - n + i]);
    if (std::tolower(c) != extension[i]) return false;
  }
  return true;
}

}  // namespace

bool IsTzxFileName(const std::string& path) { return EndsWithExtension(path, kTzxExtension); }

bool IsReadOnlyTapeName(const std::string& path) {
  return EndsWithExtension(path, kPzxExtension) || EndsWithExtension(path, kCswExtension);
}

namespace {

// The read itself: the blocks go to `blocks`, at most `room` of them.
OpResult ReadTapeBlocks(std::vector<TapeBlock>& blocks, int room, const std::string& path, Progress& progress,
                        TapeLoadCounts* counts) {
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
  if (IsWavFile(head, static_cast<std::size_t>(headSize))) {
    return OpResult::Fail(std::string(kTapeUnreadableText) + " " + path, kWavNotTapeText);
  }
  if (format == TapeFormat::Tap) {
    TapeRead read = ReadTapFile(path, room, progress);
    blocks = std::move(read.blocks);
    return read.status;
  }
  if (fstat(file.fd, &st) != 0) return OpenFailure(path, errno);
  const auto size = static_cast<std::uint64_t>(st.st_size);
  LoadProgress shown(progress, LoadLabel(format), size);
  // A TZX is read block by block in constant memory beside its blocks;
  // a PZX or CSW file is held whole while it is read.
  if (format == TapeFormat::Tzx) {
    const OpResult result = LoadTzx(blocks, room, path, file.fd, size, shown, tally);
    if (counts) *counts = tally;
    return result;
  }
  if (size > kMaxTapeFileSize) return TooLargeFailure(path, size);
  FileBytes bytes;
  if (!bytes.Read(file.fd, static_cast<std::size_t>(size))) return OpenFailure(path, errno);
  if (format == TapeFormat::Pzx) {
    const OpResult result = LoadPzx(blocks, room, path, bytes.data(), static_cast<std::size_t>(size), shown, tally);
    if (counts) *counts = tally;
    return result;
  }
  const OpResult result = LoadCsw(blocks, room, path, bytes.data(), static_cast<std::size_t>(size), shown, tally);
  if (counts) *counts = tally;
  return result;
}

}  // namespace

OpResult LoadTapeFile(TapeProject& project, const std::string& path, Progress& progress, TapeLoadCounts* counts) {
  TapeRead read = ReadTapeFile(path, project.freeSlots(), progress, counts);
  AppendBlocks(project.blocks, read.blocks);
  return read.status;
}

TapeRead ReadTapeFile(const std::string& path, int room, Progress& progress, TapeLoadCounts* counts) {
  TapeRead read;
  read.status = ReadTapeBlocks(read.blocks, room, path, progress, counts);
  if (!read.status.ok()) read.blocks.clear();
  return read;
}

OpResult SaveTapeFile(TapeProject& project, Progress& progress) {
  if (IsReadOnlyTapeName(project.fileName)) return OpResult::Fail(kSaveFailedText, kReadOnlyFormatText);
  if (!IsTzxFileName(project.fileName)) {
    return TapLossesOf(project).empty() ? SaveTapFile(project, progress) : SaveRecordsAsTap(project, progress);
  }
  return SaveTzxFile(project, progress);
}

}  // namespace reelo
