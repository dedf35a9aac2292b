#include "sound/import/recording_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "project/system_error.h"

namespace reelo {
namespace {

OpResult OpenFailure(const std::string& path, int err) {
  return OpResult::Fail(std::string(kOpenSoundFailedText) + " " + path, SystemErrorText(err));
}

}  // namespace

RecordingReader::RecordingReader(std::size_t bufferSize) : buffer_(std::max<std::size_t>(bufferSize, 1)) {}

RecordingReader::~RecordingReader() { Close(); }

OpResult RecordingReader::Open(const std::string& path) {
  Close();
  // Without O_NONBLOCK, opening a named pipe would wait for a writer forever;
  // for a regular file the flag changes nothing, and anything else is refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return OpenFailure(path, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return OpenFailure(path, err);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return OpenFailure(path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  }
  fd_ = fd;
  length_ = static_cast<std::int64_t>(st.st_size);
  bufferStart_ = 0;
  bufferCount_ = 0;
  readFailed_ = false;
  readError_.clear();
  return OpResult::Success();
}

void RecordingReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  bufferStart_ = 0;
  bufferCount_ = 0;
}

std::size_t RecordingReader::ReadInto(std::uint8_t* dest, std::size_t size, std::int64_t offset, int& err) const {
  err = 0;
  std::size_t done = 0;
  while (done < size && fd_ >= 0) {
    const ssize_t n = ::pread(fd_, dest + done, size - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) err = errno;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

SampleWindow RecordingReader::Refill(std::int64_t position) {
  // Callers ask only for positions in 1..F; anything else gets one outside sample.
  if (position < 1 || position > length_) {
    buffer_[0] = kOutsideSample;
    bufferStart_ = position;
    bufferCount_ = 1;
    return {buffer_.data(), 1};
  }
  const std::int64_t wanted = std::min<std::int64_t>(static_cast<std::int64_t>(buffer_.size()), length_ - position + 1);
  const auto size = static_cast<std::size_t>(wanted);
  int err = 0;
  const std::size_t got = ReadInto(buffer_.data(), size, position - 1, err);
  if (got < size) {
    // The file shrank or the device failed after F was taken: the rest reads
    // as the rest level and the run is told about it afterwards.
    std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(got), buffer_.begin() + static_cast<std::ptrdiff_t>(size),
              kOutsideSample);
    if (!readFailed_) readError_ = SystemErrorText(err != 0 ? err : EIO);
    readFailed_ = true;
  }
  bufferStart_ = position;
  bufferCount_ = wanted;
  return {buffer_.data(), wanted};
}

OpResult RecordingReader::ReadOutcome(const std::string& path) const {
  if (!readFailed_) return OpResult::Success();
  OpResult result = OpResult::Warn(std::string(kReadSoundFailedText) + " " + path);
  result.detail = readError_;
  return result;
}

std::uint8_t RecordingReader::SampleAt(std::int64_t position) const {
  if (position < 1 || position > length_) return kOutsideSample;
  const std::int64_t offset = position - bufferStart_;
  if (offset >= 0 && offset < bufferCount_) return buffer_[static_cast<std::size_t>(offset)];
  std::uint8_t sample = kOutsideSample;
  int err = 0;
  ReadInto(&sample, 1, position - 1, err);
  return sample;
}

}  // namespace reelo
