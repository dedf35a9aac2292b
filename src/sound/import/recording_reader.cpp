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

// Samples a stream keeps behind the position asked for: the bad-signal view
// looks 50 back from the position just after its pulse.
constexpr std::int64_t kKeepBehind = 64;
// Samples a stream holds beyond the window it hands out, until it has ended.
constexpr std::int64_t kLookAhead = 2;
// Room beyond a refill: what is kept behind, the look-ahead, and the reach of
// the bad-signal view beyond the run's position.
constexpr std::int64_t kStreamRoom = 192;

std::int64_t RoundUpToPages(std::int64_t size) {
  const auto page = static_cast<std::int64_t>(MappedStretch::PageSize());
  return std::max<std::int64_t>((size + page - 1) / page, 1) * page;
}

OpResult OpenFailure(const std::string& path, int err) {
  return OpResult::Fail(std::string(kOpenSoundFailedText) + " " + path, SystemErrorText(err));
}

}  // namespace

RecordingFile::RecordingFile(std::int64_t mappedSpan) : mappedSpan_(mappedSpan > 0 ? RoundUpToPages(mappedSpan) : 0) {}

OpResult RecordingFile::Open(const std::string& path) {
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
  next_ = 0;
  lastError_ = 0;
  mapRefused_ = mappedSpan_ == 0;
  mappingFailed_ = false;
  mappedThrough_ = 0;
  // The kernel reads ahead further for a file read from start to end.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return OpResult::Success();
}

void RecordingFile::Close() {
  mapping_.Unmap();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  length_ = 0;
  next_ = 0;
}

std::size_t RecordingFile::ReadBytes(std::uint8_t* dest, std::size_t size) {
  lastError_ = 0;
  std::size_t done = 0;
  while (done < size && fd_ >= 0) {
    const ssize_t n = ::pread(fd_, dest + done, size - done, static_cast<off_t>(next_));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) lastError_ = errno;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
    next_ += n;
  }
  return done;
}

bool RecordingFile::Seek(std::int64_t index) {
  if (fd_ < 0 || index < 0) return false;
  next_ = index;
  return true;
}

ByteSampleSource::Lent RecordingFile::Lend(std::int64_t index) {
  if (mapRefused_ || fd_ < 0 || index < 0 || index >= length_) return {};
  const std::int64_t offset = index / mappedSpan_ * mappedSpan_;
  if (!mapping_.mapped() || mapping_.offset() != offset) {
    if (mapping_.lostPages()) mappingFailed_ = true;
    // A file that shrank since it was opened is read from here on: the reads
    // find where it ends and say so.
    struct stat st {};
    const bool shrank = ::fstat(fd_, &st) != 0 || static_cast<std::int64_t>(st.st_size) < length_;
    const std::int64_t size = std::min(mappedSpan_, length_ - offset);
    if (shrank || !mapping_.Map(fd_, offset, static_cast<std::size_t>(size), kOutsideSample)) {
      mapping_.Unmap();
      mapRefused_ = true;
      return {};
    }
    mappedThrough_ = std::max(mappedThrough_, offset + size);
  }
  return {mapping_.data(), mapping_.offset(), static_cast<std::int64_t>(mapping_.size())};
}

const std::uint8_t* RecordingFile::MappedAt(std::int64_t index) const {
  if (!mapping_.mapped()) return nullptr;
  const std::int64_t inMapping = index - mapping_.offset();
  if (inMapping < 0 || inMapping >= static_cast<std::int64_t>(mapping_.size())) return nullptr;
  return mapping_.data() + inMapping;
}

bool RecordingFile::MappingFailed() const {
  if (mappingFailed_ || mapping_.lostPages()) return true;
  if (mappedThrough_ == 0 || fd_ < 0) return false;
  struct stat st {};
  return ::fstat(fd_, &st) != 0 || static_cast<std::int64_t>(st.st_size) < mappedThrough_;
}

RecordingReader::RecordingReader(std::size_t bufferSize, FileReading reading, std::int64_t mappedSpan)
    : file_(reading == FileReading::Mapped ? mappedSpan : 0),
      windowLimit_(static_cast<std::int64_t>(std::max<std::size_t>(bufferSize, 1))),
      buffer_(std::max<std::size_t>(bufferSize, 1)),
      refillSize_(static_cast<std::int64_t>(buffer_.size())) {}

RecordingReader::~RecordingReader() { Close(); }

OpResult RecordingReader::Open(const std::string& path) {
  Close();
  if (OpResult opened = file_.Open(path); !opened.ok()) return opened;
  StartReading(file_);
  return OpResult::Success();
}

OpResult RecordingReader::Open(ByteSampleSource& source) {
  Close();
  if (source.length() < 0) return OpResult::Fail(kOpenSoundFailedText, "длина записи неизвестна");
  StartReading(source);
  return OpResult::Success();
}

void RecordingReader::StartReading(ByteSampleSource& source) {
  source_ = &source;
  sourceAt_ = 0;
  length_ = source.length();
  bufferStart_ = 0;
  bufferCount_ = 0;
  usable_ = 0;
  ShowBuffer();
  lendRefused_ = false;
  readFailed_ = false;
  readError_.clear();
}

void RecordingReader::Attach(ByteStream& stream, std::int64_t expectedLength) {
  Close();
  stream_ = &stream;
  expectedLength_ = kStreamLeadIn + std::max<std::int64_t>(expectedLength, 0);
  buffer_.resize(static_cast<std::size_t>(refillSize_ + kStreamRoom));
  length_ = kUnknownLength;
  readFailed_ = false;
  readError_.clear();
  // The lead-in goes into the buffer like samples of the stream.
  std::fill_n(buffer_.begin(), kStreamLeadIn, kOutsideSample);
  bufferStart_ = 1;
  bufferCount_ = kStreamLeadIn;
  usable_ = 0;
  ShowBuffer();
}

void RecordingReader::Close() {
  if (file_.MappingFailed()) SetReadError(EIO);
  file_.Close();
  source_ = nullptr;
  stream_ = nullptr;
  bufferStart_ = 0;
  bufferCount_ = 0;
  usable_ = 0;
  ShowBuffer();
}

void RecordingReader::ShowBuffer() {
  window_ = buffer_.data();
  windowStart_ = bufferStart_;
  windowCount_ = usable_;
  windowLimit_ = usable_;
}

void RecordingReader::SetReadError(int err) {
  if (!readFailed_) readError_ = SystemErrorText(err);
  readFailed_ = true;
}

bool RecordingReader::readFailed() const { return readFailed_ || file_.MappingFailed(); }

bool RecordingReader::LendAround(std::int64_t position) {
  const ByteSampleSource::Lent lent = source_->Lend(position - 1);
  if (lent.count <= 0 || position - 1 < lent.first || position - 1 >= lent.first + lent.count) {
    lendRefused_ = true;
    return false;
  }
  window_ = lent.data;
  windowStart_ = lent.first + 1;
  windowCount_ = lent.count;
  windowLimit_ = refillSize_;
  return true;
}

void RecordingReader::ReadStreamTo(std::int64_t last) {
  const auto size = static_cast<std::int64_t>(buffer_.size());
  while (length_ == kUnknownLength && bufferStart_ + bufferCount_ <= last && bufferCount_ < size) {
    const std::int64_t wanted = std::min(size - bufferCount_, last - (bufferStart_ + bufferCount_) + 1);
    const std::size_t got = stream_->Read(buffer_.data() + bufferCount_, static_cast<std::size_t>(wanted));
    if (got == 0) length_ = bufferStart_ + bufferCount_ - 1;
    bufferCount_ += static_cast<std::int64_t>(std::min<std::size_t>(got, static_cast<std::size_t>(wanted)));
  }
}

// Keeps a little of what lies behind the position, reads on, and hands out
// all but the look-ahead until the stream has ended.
SampleWindow RecordingReader::RefillStream(std::int64_t position) {
  static constexpr std::uint8_t kOutside = kOutsideSample;
  for (;;) {
    if (position < 1 || position < bufferStart_ || position > length_) return {&kOutside, 1};
    const std::int64_t end = bufferStart_ + bufferCount_;
    const std::int64_t keepFrom = std::min(std::max(bufferStart_, position - kKeepBehind), end);
    std::copy(buffer_.begin() + (keepFrom - bufferStart_), buffer_.begin() + bufferCount_, buffer_.begin());
    bufferCount_ = end - keepFrom;
    bufferStart_ = keepFrom;
    ReadStreamTo(position + refillSize_ - 1 + kLookAhead);
    usable_ = length_ == kUnknownLength ? std::max<std::int64_t>(0, bufferCount_ - kLookAhead) : bufferCount_;
    ShowBuffer();
    const std::int64_t offset = position - bufferStart_;
    if (offset < usable_) return {buffer_.data() + offset, usable_ - offset};
    if (length_ != kUnknownLength) return {&kOutside, 1};
  }
}

std::size_t RecordingReader::ReadInto(std::uint8_t* dest, std::size_t size, std::int64_t offset, int& err) {
  err = 0;
  if (!source_) return 0;
  if (offset != sourceAt_) {
    if (!source_->Seek(offset)) {
      err = ESPIPE;
      return 0;
    }
    sourceAt_ = offset;
  }
  // One call per block; a source may hand a block out in several pieces.
  std::size_t done = 0;
  while (done < size) {
    const std::size_t n = source_->ReadBytes(dest + done, size - done);
    if (n == 0) break;
    done += std::min(n, size - done);
  }
  sourceAt_ += static_cast<std::int64_t>(done);
  if (done < size && source_ == &file_) err = file_.lastError();
  return done;
}

SampleWindow RecordingReader::Refill(std::int64_t position) {
  if (stream_) return RefillStream(position);
  // Callers ask only for positions in 1..F; anything else gets one outside sample.
  if (position < 1 || position > length_) {
    buffer_[0] = kOutsideSample;
    bufferStart_ = position;
    bufferCount_ = 1;
    usable_ = 1;
    ShowBuffer();
    return {buffer_.data(), 1};
  }
  if (!lendRefused_ && LendAround(position)) return Window(position);
  const std::int64_t wanted = std::min<std::int64_t>(static_cast<std::int64_t>(buffer_.size()), length_ - position + 1);
  const auto size = static_cast<std::size_t>(wanted);
  int err = 0;
  const std::size_t got = ReadInto(buffer_.data(), size, position - 1, err);
  if (got < size) {
    // The file shrank or the device failed after F was taken: the rest reads
    // as the rest level and the run is told about it afterwards.
    std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(got), buffer_.begin() + static_cast<std::ptrdiff_t>(size),
              kOutsideSample);
    SetReadError(err != 0 ? err : EIO);
  }
  bufferStart_ = position;
  bufferCount_ = wanted;
  usable_ = wanted;
  ShowBuffer();
  return {buffer_.data(), wanted};
}

OpResult RecordingReader::ReadOutcome(const std::string& path) const {
  if (!readFailed()) return OpResult::Success();
  OpResult result = OpResult::Warn(std::string(kReadSoundFailedText) + " " + path);
  result.detail = readFailed_ ? readError_ : SystemErrorText(EIO);
  return result;
}

std::uint8_t RecordingReader::SampleAt(std::int64_t position) {
  if (position < 1 || position > length_) return kOutsideSample;
  if (stream_) {
    ReadStreamTo(position);
    const std::int64_t offset = position - bufferStart_;
    const bool held = offset >= 0 && offset < bufferCount_ && position <= length_;
    return held ? buffer_[static_cast<std::size_t>(offset)] : kOutsideSample;
  }
  if (const std::uint8_t* mapped = file_.MappedAt(position - 1)) return *mapped;
  const std::int64_t offset = position - bufferStart_;
  if (offset >= 0 && offset < bufferCount_) return buffer_[static_cast<std::size_t>(offset)];
  // A source read once can neither go back nor skip ahead for one sample.
  if (!source_ || !source_->Seek(position - 1)) return kOutsideSample;
  sourceAt_ = position - 1;
  std::uint8_t sample = kOutsideSample;
  int err = 0;
  ReadInto(&sample, 1, position - 1, err);
  return sample;
}

}  // namespace reelo
