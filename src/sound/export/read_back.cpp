#include "sound/export/read_back.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "sound/import/import_host.h"
#include "sound/import/tape_decoder.h"

namespace reelo {
namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 10;

// The import's window reduced to nothing: no report, no yielding, and every
// doubtful pulse is noise. Progress goes to the caller's function.
class QuietHost final : public ImportHost {
 public:
  using ProgressFn = std::function<void(std::int64_t, std::int64_t)>;
  explicit QuietHost(const ProgressFn& progress) : progress_(progress) {}
  void Yield() override {}
  void LockImportControls() override {}
  void UnlockImportControls() override {}
  void SetProgressMaximum(std::int64_t maximum) override { maximum_ = maximum; }
  void ShowImportProgress(std::int64_t position) override {
    if (progress_) progress_(position, maximum_);
  }
  void FinishImportRun() override {}
  void SetStatusText(const std::string&) override {}
  void ClearReport() override {}
  void AddReportLine(const std::string& line) override { storeFull_ = storeFull_ || line == kReportStoreFull; }
  void DrawSpectrum() override {}
  QuestionReply AskBadSignal(std::int64_t, int, const RecordingReader&) override { return QuestionReply::Noise; }
  bool storeFull() const { return storeFull_; }

 private:
  const ProgressFn& progress_;
  std::int64_t maximum_ = 0;
  bool storeFull_ = false;
};

}  // namespace

OpResult DecodeQuietly(const std::string& path, const PulseBounds& bounds, QuietDecode& result,
                       const std::function<void(std::int64_t, std::int64_t)>& progress) {
  ImportState state;
  QuietHost host(progress);
  const OpResult decoded = DecodeTape(state, bounds, path, host);
  result.records = std::move(state.loadedBlocks);
  result.storeFull = host.storeFull();
  return decoded;
}

TempRecording::TempRecording() {
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  const std::string pattern = ((ec ? std::filesystem::path("/tmp") : folder) / "reelo-signal-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = mkstemp(name.data());
  if (fd_ < 0) {
    error_ = errno;
    return;
  }
  path_ = name.data();
  buffer_.reserve(kBufferSize);
}

TempRecording::~TempRecording() {
  if (fd_ >= 0) ::close(fd_);
  if (!path_.empty()) ::unlink(path_.c_str());
}

void TempRecording::Put(std::uint8_t level, std::int64_t count) {
  while (count > 0 && error_ == 0) {
    const auto part = std::min<std::int64_t>(count, static_cast<std::int64_t>(kBufferSize - buffer_.size()));
    buffer_.insert(buffer_.end(), static_cast<std::size_t>(part), level);
    count -= part;
    if (buffer_.size() == kBufferSize) Flush();
  }
}

void TempRecording::Put(const std::uint8_t* bytes, std::size_t size) {
  while (size > 0 && error_ == 0) {
    const std::size_t part = std::min(size, kBufferSize - buffer_.size());
    buffer_.insert(buffer_.end(), bytes, bytes + part);
    bytes += part;
    size -= part;
    if (buffer_.size() == kBufferSize) Flush();
  }
}

bool TempRecording::Flush() {
  std::size_t done = 0;
  while (done < buffer_.size() && error_ == 0) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : EIO;
    } else {
      done += static_cast<std::size_t>(n);
    }
  }
  buffer_.clear();
  return error_ == 0;
}

}  // namespace reelo
