#include "project/tap_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "project/atomic_file.h"
#include "project/system_error.h"

namespace reelo {
namespace {

constexpr int kLengthFieldSize = 2;

// The file is read in windows of this size into one buffer that stays in the
// processor's cache; each record is copied out of it into its own block (no
// block is zero-filled first). A record always fits in a window.
constexpr std::size_t kWindowSize = std::size_t{256} << 10;
static_assert(kWindowSize >= 0xFFFF + kLengthFieldSize);

// A save hands the system this many records, or this many bytes, a call (the
// progress moves on after each call).
constexpr std::size_t kPiecesPerCall = 1024;
constexpr std::size_t kBytesPerCall = std::size_t{16} << 20;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// What one pass over the file found besides the records it kept.
struct LoadTally {
  long long truncatedOffset = -1;  // offset of a record that runs past the end
  long long truncatedBytes = 0;    // bytes of it present in the file
  long long recordsLeftOut = 0;    // whole records for which there was no room
  bool readError = false;
  int readErrno = 0;
};

OpResult OpenFailure(const std::string& path, int err) {
  return OpResult::Fail(std::string(kOpenFailedText) + " " + path, SystemErrorText(err));
}

// The bytes of the file from its start, a window at a time. A file smaller
// than a window gets a window of its own size.
class WindowReader {
 public:
  WindowReader(int fd, long long fileSize)
      : fd_(fd),
        capacity_(static_cast<std::size_t>(std::clamp<long long>(fileSize, 1, kWindowSize))),
        window_(new std::uint8_t[capacity_]) {}

  // Makes the next n bytes (n <= the window, and never more than the file
  // holds) available at data(); false (errno set) when the file gives fewer.
  bool Need(std::size_t n) {
    if (end_ - start_ >= n) return true;
    std::memmove(window_.get(), window_.get() + start_, end_ - start_);
    end_ -= start_;
    start_ = 0;
    while (end_ < n) {
      const ssize_t got = read(fd_, window_.get() + end_, capacity_ - end_);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        if (got == 0) errno = EIO;
        return false;
      }
      end_ += static_cast<std::size_t>(got);
    }
    return true;
  }
  const std::uint8_t* data() const { return window_.get() + start_; }
  void Consume(std::size_t n) { start_ += n; }
  // Passes over n bytes, reading past what the window holds.
  bool Skip(std::size_t n) {
    const std::size_t held = std::min(n, end_ - start_);
    start_ += held;
    return held == n || lseek(fd_, static_cast<off_t>(n - held), SEEK_CUR) >= 0;
  }

 private:
  int fd_;
  std::size_t capacity_;
  std::unique_ptr<std::uint8_t[]> window_;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
};

std::string LoadWarning(const LoadTally& tally, int loaded) {
  std::string text;
  if (tally.readError) {
    text += "Ошибка чтения файла (" + SystemErrorText(tally.readErrno) + "): загружены только первые" +
            NumberText(loaded) + " блоков.";
  }
  if (tally.truncatedOffset >= 0) {
    if (!text.empty()) text += "\n";
    text += "Последний блок файла обрезан: не загружено" + NumberText(tally.truncatedBytes) +
            " байт со смещения" + NumberText(tally.truncatedOffset) + ".";
  }
  if (tally.recordsLeftOut > 0) {
    if (!text.empty()) text += "\n";
    text += "В проекте может быть не больше" + NumberText(kMaxBlocks) + " блоков: не загружено блоков из файла:" +
            NumberText(tally.recordsLeftOut) + ".";
  }
  return text;
}

// Walks the records of the file from its start, appending those that fit.
// pos is the 1-based position of the next record, as the progress shows it.
template <class Reader>
void ReadRecords(Reader& reader, long long size, std::vector<TapeBlock>& blocks, int room, ProgressScope& progress,
                 LoadTally& tally) {
  const long long barMaximum = size + 1;
  long long offset = 0;
  auto readFailed = [&tally] {
    tally.readError = true;
    tally.readErrno = errno ? errno : EIO;
  };
  while (size - offset >= kLengthFieldSize) {
    if (!reader.Need(kLengthFieldSize)) return readFailed();
    const std::uint8_t* head = reader.data();
    const long long recordSize = WordFromBytes(head[0], head[1]) + kLengthFieldSize;
    if (offset + recordSize > size) {
      tally.truncatedOffset = offset;
      tally.truncatedBytes = size - offset;
      return;
    }
    if (static_cast<long long>(blocks.size()) >= room) {
      ++tally.recordsLeftOut;
      if (!reader.Skip(static_cast<std::size_t>(recordSize))) return;
    } else {
      if (!reader.Need(static_cast<std::size_t>(recordSize))) return readFailed();
      blocks.emplace_back(reader.data(), reader.data() + recordSize);
      reader.Consume(static_cast<std::size_t>(recordSize));
    }
    offset += recordSize;
    if (offset + 1 <= barMaximum) progress.Step(offset + 1);
  }
}

OpResult ReadTapRecords(std::vector<TapeBlock>& blocks, int room, const std::string& path, Progress& progress) {
  struct stat st{};
  if (stat(path.c_str(), &st) != 0) return OpenFailure(path, errno);
  // Only regular files: opening a named pipe would wait for a writer forever,
  // and a device has no size to read by.
  if (!S_ISREG(st.st_mode)) return OpenFailure(path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return OpenFailure(path, errno);
  // The size of the file opened (the path may have been replaced meanwhile).
  if (fstat(file.get(), &st) != 0) return OpenFailure(path, errno);

  const long long size = static_cast<long long>(st.st_size);
  LoadTally tally;
  {
    ProgressScope scope(progress, kLoadTapLabel, size + 1);
    WindowReader reader(file.get(), size);
    ReadRecords(reader, size, blocks, std::max(room, 0), scope, tally);
  }
  const std::string warning = LoadWarning(tally, static_cast<int>(blocks.size()));
  return warning.empty() ? OpResult::Success() : OpResult::Warn(warning);
}

}  // namespace

OpResult LoadTapFile(TapeProject& project, const std::string& path, Progress& progress) {
  TapeRead read = ReadTapFile(path, project.freeSlots(), progress);
  project.blocks.insert(project.blocks.end(), std::make_move_iterator(read.blocks.begin()),
                        std::make_move_iterator(read.blocks.end()));
  return read.status;
}

TapeRead ReadTapFile(const std::string& path, int room, Progress& progress) {
  std::vector<TapeBlock> blocks;
  OpResult status = ReadTapRecords(blocks, room, path, progress);
  if (!status.ok()) blocks.clear();
  return {std::move(blocks), std::move(status)};
}

OpResult SaveTapFile(TapeProject& project, Progress& progress) {
  ProgressScope scope(progress, kSaveTapLabel, project.blockCount() + 1);
  if (!project.hasFileName()) return OpResult::Fail(kSaveFailedText, SystemErrorText(ENOENT));
  AtomicFileWriter writer;
  if (!writer.Open(project.fileName)) return OpResult::Fail(kSaveFailedText, writer.error());
  std::uint64_t fileSize = 0;
  for (const TapeBlock& block : project.blocks) fileSize += RecordLength(block) + kLengthFieldSize;
  writer.Reserve(fileSize);
  // A TAP file is its records back to back: each block's own bytes are
  // handed to the system, many blocks a call, without a copy.
  static const std::uint8_t kZeros[kMaxRecordLength + kLengthFieldSize] = {};
  std::vector<iovec> pieces;
  std::size_t batchBytes = 0;
  int firstInBatch = 0;
  auto writeBatch = [&](int end) {
    writer.WritePieces(pieces.data(), pieces.size());
    for (int i = firstInBatch; i < end && !writer.failed(); ++i) scope.Step(i);
    pieces.clear();
    batchBytes = 0;
    firstInBatch = end;
  };
  for (int i = 0; i < project.blockCount() && !writer.failed(); ++i) {
    const TapeBlock& block = project.blocks[static_cast<std::size_t>(i)];
    const auto recordSize = static_cast<std::size_t>(RecordLength(block) + kLengthFieldSize);
    const std::size_t present = std::min(block.size(), recordSize);
    pieces.push_back({const_cast<std::uint8_t*>(block.data()), present});
    // A block shorter than its length field says: write what the field
    // promises, padded with zeros, so the file stays readable record by record.
    if (present < recordSize) pieces.push_back({const_cast<std::uint8_t*>(kZeros), recordSize - present});
    batchBytes += recordSize;
    if (pieces.size() >= kPiecesPerCall || batchBytes >= kBytesPerCall) writeBatch(i + 1);
  }
  if (!writer.failed()) writeBatch(project.blockCount());
  if (writer.failed() || !writer.Commit()) return OpResult::Fail(kSaveFailedText, writer.error());
  project.modified = false;
  return OpResult::Success();
}

}  // namespace reelo
