#include "project/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "project/file_calls.h"
#include "project/system_error.h"

namespace reelo {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;
// Pieces at least this large go to the system as they are, without a copy
// through the buffer (a tape's records, the WAV export's chunks).
constexpr std::size_t kDirectWriteSize = std::size_t{64} << 10;
// Writeback to the disk is started each time this many more bytes have been
// written: the disk writes one stretch while the next is made, and the closing
// sync waits only for the last one.
constexpr std::uint64_t kWritebackStretch = std::uint64_t{4} << 20;
// Bytes further than this behind the end are waited for before the file goes
// on, so a file made faster than the disk takes it holds at most this much
// memory in writeback (not the whole file: 400 MB of a 1.4 GB export without
// the wait), and the disk, not the memory, sets the pace.
constexpr std::uint64_t kWritebackLag = std::uint64_t{32} << 20;

std::string SystemReason(int err) { return SystemErrorText(err); }

// The file a path names in the end: a symbolic link is followed (to any depth)
// so that saving replaces the link's target and keeps the link itself.
std::string ResolveTarget(const std::string& path) {
  std::string current = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st{};
    if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::vector<char> buf(PATH_MAX + 1);
    ssize_t n = readlink(current.c_str(), buf.data(), PATH_MAX);
    if (n < 0) return current;
    std::string link(buf.data(), static_cast<std::size_t>(n));
    if (!link.empty() && link[0] == '/') {
      current = link;
    } else {
      auto slash = current.rfind('/');
      current = (slash == std::string::npos) ? link : current.substr(0, slash + 1) + link;
    }
  }
  return current;
}

std::string FolderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Abort(); }

void AtomicFileWriter::Fail(const std::string& what) {
  if (!failed_) error_ = what;
  failed_ = true;
}

bool AtomicFileWriter::Open(const std::string& path) {
  Abort();
  failed_ = earlyWriteback_ = false;
  error_.clear();
  buffer_.clear();
  written_ = flushed_ = writebackFrom_ = waitedTo_ = reserved_ = 0;
  if (path.empty()) {
    Fail(SystemErrorText(ENOENT));
    return false;
  }
  target_ = ResolveTarget(path);
  std::string pattern = FolderOf(target_) + "/.reelo-save-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ActiveFileCalls().makeTemp(name.data());
  if (fd_ < 0) {
    Fail(SystemReason(errno));
    return false;
  }
  temp_ = name.data();
  buffer_.reserve(kBufferSize);
  return true;
}

void AtomicFileWriter::Reserve(std::uint64_t size) {
  if (fd_ < 0 || failed_ || size <= reserved_) return;
  // The file's size stays what has been written, so a save cut short never
  // looks complete; a file system without the call simply grows the file as
  // it is written.
  if (fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0) reserved_ = size;
}

// The bytes one write call wrote, counted as flushed; 0 when it is to be
// made again (interrupted) or failed (failed_ set with the reason).
std::size_t AtomicFileWriter::Written(ssize_t result) {
  if (result > 0) {
    flushed_ += static_cast<std::uint64_t>(result);
    if (earlyWriteback_ && flushed_ - writebackFrom_ >= kWritebackStretch) StartWriteback();
    return static_cast<std::size_t>(result);
  }
  if (result < 0 && errno == EINTR) return 0;
  Fail(result < 0 ? SystemReason(errno) : SystemErrorText(EIO));
  return 0;
}

void AtomicFileWriter::StartWriteback() {
  const FileCalls& calls = ActiveFileCalls();
  if (calls.syncRange == nullptr) return;
  // Only a start, like Reserve only a hint: where it fails, the closing sync
  // writes everything and its result decides.
  calls.syncRange(fd_, static_cast<off_t>(writebackFrom_), static_cast<off_t>(flushed_ - writebackFrom_),
                  SYNC_FILE_RANGE_WRITE);
  writebackFrom_ = flushed_;
  if (flushed_ - waitedTo_ > kWritebackLag) {
    const std::uint64_t end = flushed_ - kWritebackLag;
    calls.syncRange(fd_, static_cast<off_t>(waitedTo_), static_cast<off_t>(end - waitedTo_),
                    SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    waitedTo_ = end;
  }
}

bool AtomicFileWriter::WriteOut(const char* p, std::size_t left) {
  while (left > 0 && !failed_) {
    const std::size_t n = Written(ActiveFileCalls().write(fd_, p, left));
    p += n;
    left -= n;
  }
  return !failed_;
}

bool AtomicFileWriter::WriteOutPieces(iovec* pieces, std::size_t count) {
  const FileCalls& calls = ActiveFileCalls();
  std::size_t first = 0;
  while (!failed_) {
    while (first < count && pieces[first].iov_len == 0) ++first;
    if (first == count) break;
    if (calls.writev == nullptr) {
      WriteOut(static_cast<const char*>(pieces[first].iov_base), pieces[first].iov_len);
      ++first;
      continue;
    }
    const auto batch = static_cast<int>(std::min<std::size_t>(count - first, IOV_MAX));
    // Past the pieces written whole; into the one written in part.
    for (std::size_t done = Written(calls.writev(fd_, pieces + first, batch)); done > 0;) {
      const std::size_t take = std::min(done, pieces[first].iov_len);
      pieces[first].iov_base = static_cast<char*>(pieces[first].iov_base) + take;
      pieces[first].iov_len -= take;
      done -= take;
      if (pieces[first].iov_len == 0) ++first;
    }
  }
  return !failed_;
}

bool AtomicFileWriter::FlushBuffer() {
  WriteOut(buffer_.data(), buffer_.size());
  buffer_.clear();
  return !failed_;
}

bool AtomicFileWriter::Write(const void* data, std::size_t size) {
  if (fd_ < 0 || failed_) return false;
  const char* bytes = static_cast<const char*>(data);
  written_ += size;
  if (size >= kDirectWriteSize) return FlushBuffer() && WriteOut(bytes, size);
  if (buffer_.size() + size > kBufferSize && !FlushBuffer()) return false;
  buffer_.append(bytes, size);
  return true;
}

bool AtomicFileWriter::WritePieces(const iovec* pieces, std::size_t count) {
  if (fd_ < 0 || failed_) return false;
  if (!FlushBuffer()) return false;
  pieces_.assign(pieces, pieces + count);
  for (const iovec& piece : pieces_) written_ += piece.iov_len;
  return WriteOutPieces(pieces_.data(), pieces_.size());
}

bool AtomicFileWriter::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
  if (fd_ < 0 || failed_) return false;
  if (offset + size > written_) {
    Fail("запись за концом файла");
    return false;
  }
  if (!FlushBuffer()) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ActiveFileCalls().pwrite(fd_, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Fail(n < 0 ? SystemReason(errno) : SystemErrorText(EIO));
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

bool AtomicFileWriter::Commit() {
  if (fd_ < 0) return false;
  FlushBuffer();
  // Room set aside past what was written would stay with the file.
  if (!failed_ && reserved_ > written_ && ftruncate(fd_, static_cast<off_t>(written_)) != 0) Fail(SystemReason(errno));
  if (!failed_) {
    // Keep the permission bits of the file being replaced; a new file gets the
    // usual bits for new files (what the process's umask allows of 0666).
    struct stat st{};
    mode_t mode;
    if (stat(target_.c_str(), &st) == 0) {
      mode = st.st_mode & 07777;
    } else {
      mode_t mask = umask(0);
      umask(mask);
      mode = 0666 & ~mask;
    }
    if (ActiveFileCalls().fchmod(fd_, mode) != 0) Fail(SystemReason(errno));
  }
  if (!failed_) {
    // The file opened, not a path that might meanwhile name another one.
    struct stat st{};
    if (fstat(fd_, &st) != 0 || static_cast<std::uint64_t>(st.st_size) != written_) {
      Fail("файл записан не полностью");
    }
  }
  if (!failed_ && ActiveFileCalls().fsync(fd_) != 0) Fail(SystemReason(errno));
  if (ActiveFileCalls().close(fd_) != 0 && !failed_) Fail(SystemReason(errno));
  fd_ = -1;
  if (!failed_ && ActiveFileCalls().rename(temp_.c_str(), target_.c_str()) != 0) Fail(SystemReason(errno));
  if (failed_) {
    Abort();
    return false;
  }
  temp_.clear();
  return true;
}

void AtomicFileWriter::Abort() {
  if (fd_ >= 0) {
    ActiveFileCalls().close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ActiveFileCalls().unlink(temp_.c_str());
    temp_.clear();
  }
  buffer_.clear();
}

}  // namespace reelo
