#include "formats/signal_blocks.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "project/system_error.h"
#include "sound/export/tape_signal.h"
#include "sound/export/wav_writer.h"
#include "sound/import/import_host.h"
#include "sound/import/pulse_classifier.h"
#include "sound/import/tape_decoder.h"

namespace reelo {
namespace {

constexpr std::uint64_t kClockHz = 3500000;
constexpr std::int64_t kLeadInSamples = 1000;
constexpr std::int64_t kTailSamples = 1000;
constexpr std::size_t kWriteChunk = std::size_t{256} << 10;
constexpr const char* kTempFailedText = "Не удалось расшифровать сигнал ленты";

// The import's window reduced to nothing: no report, no progress, and every
// doubtful pulse is noise.
class SilentHost final : public ImportHost {
 public:
  explicit SilentHost(const std::function<void()>& tick) : tick_(tick) {}
  void Yield() override {
    if (tick_) tick_();
  }
  void LockImportControls() override {}
  void UnlockImportControls() override {}
  void SetProgressMaximum(std::int64_t) override {}
  void ShowImportProgress(std::int64_t) override {}
  void FinishImportRun() override {}
  void SetStatusText(const std::string&) override {}
  void ClearReport() override {}
  void AddReportLine(const std::string& line) override { storeFull_ = storeFull_ || line == kReportStoreFull; }
  void DrawSpectrum() override {}
  QuestionReply AskBadSignal(std::int64_t, int, const RecordingReader&) override { return QuestionReply::Noise; }
  bool storeFull() const { return storeFull_; }

 private:
  const std::function<void()>& tick_;
  bool storeFull_ = false;
};

// A temporary file that is removed when the object goes.
class TempRecording {
 public:
  TempRecording() {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "reelo-signal-XXXXXX").string();
    if (ec) pattern = "/tmp/reelo-signal-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = mkstemp(name.data());
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    path_ = name.data();
    buffer_.reserve(kWriteChunk);
  }
  ~TempRecording() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempRecording(const TempRecording&) = delete;
  TempRecording& operator=(const TempRecording&) = delete;

  void Put(std::uint8_t level, std::int64_t count) {
    while (count > 0 && error_ == 0) {
      const auto part = std::min<std::int64_t>(count, static_cast<std::int64_t>(kWriteChunk - buffer_.size()));
      buffer_.insert(buffer_.end(), static_cast<std::size_t>(part), level);
      count -= part;
      if (buffer_.size() == kWriteChunk) Flush();
    }
  }
  void Put(const std::uint8_t* bytes, std::size_t size) {
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    Flush();
  }
  bool Flush() {
    std::size_t done = 0;
    while (done < buffer_.size() && error_ == 0) {
      const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) error_ = n < 0 ? errno : EIO;
      else done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return error_ == 0;
  }
  int error() const { return error_; }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  int error_ = 0;
  std::string path_;
  std::vector<std::uint8_t> buffer_;
};

// Turns libspectrum's edges into levels held for whole samples.
class EdgeRenderer {
 public:
  explicit EdgeRenderer(TempRecording& out) : out_(out) {}

  // Time passes by tstates, then the edge the flags describe happens.
  void Edge(libspectrum_dword tstates, int flags) {
    clock_ += tstates;
    // Whole seconds and the rest apart, so the product never overflows.
    const std::uint64_t rate = kSampleRate;
    const auto sample = static_cast<std::int64_t>(clock_ / kClockHz * rate + clock_ % kClockHz * rate / kClockHz);
    Hold(sample - emitted_);
    emitted_ = sample;
    if (flags & LIBSPECTRUM_TAPE_FLAGS_LEVEL_LOW) {
      high_ = false;
    } else if (flags & LIBSPECTRUM_TAPE_FLAGS_LEVEL_HIGH) {
      high_ = true;
    } else if (!(flags & LIBSPECTRUM_TAPE_FLAGS_NO_EDGE)) {
      high_ = !high_;
    }
  }
  bool full() const { return written_ >= kMaxRenderedSamples; }

 private:
  void Hold(std::int64_t samples) {
    samples = std::min({samples, kMaxRenderedRun, kMaxRenderedSamples - written_});
    if (samples <= 0) return;
    out_.Put(high_ ? kHighLevel : kLowLevel, samples);
    written_ += samples;
  }

  TempRecording& out_;
  std::uint64_t clock_ = 0;
  std::int64_t emitted_ = 0;
  std::int64_t written_ = 0;
  bool high_ = false;
};

// Renders the blocks' edges; false when the signal was cut at the limit.
bool RenderBlocks(libspectrum_tape* tape, int first, int count, TempRecording& out,
                  const std::function<void()>& tick) {
  EdgeRenderer renderer(out);
  for (int n = first; n < first + count; ++n) {
    if (libspectrum_tape_nth_block(tape, n) != LIBSPECTRUM_ERROR_NONE) continue;
    for (long long edges = 1;; ++edges) {
      libspectrum_dword tstates = 0;
      int flags = 0;
      if (libspectrum_tape_get_next_edge(&tstates, &flags, tape) != LIBSPECTRUM_ERROR_NONE) break;
      renderer.Edge(tstates, flags);
      if (renderer.full() || out.error() != 0) return false;
      if (flags & (LIBSPECTRUM_TAPE_FLAGS_BLOCK | LIBSPECTRUM_TAPE_FLAGS_TAPE)) break;
      if (edges % (1 << 20) == 0 && tick) tick();
    }
  }
  return true;
}

}  // namespace

OpResult DecodeSignalBlocks(libspectrum_tape* tape, int first, int count, SignalDecode& result,
                            const std::function<void()>& tick) {
  TempRecording recording;
  if (recording.error() != 0) return OpResult::Fail(kTempFailedText, SystemErrorText(recording.error()));
  // The decoder reads from the 50th byte on and does not look at the header.
  const WavHeader header = MakeWavHeader(0);
  recording.Put(header.data(), header.size());
  recording.Put(kRestLevel, kLeadInSamples);
  result.signalCut = !RenderBlocks(tape, first, count, recording, tick) && recording.error() == 0;
  recording.Put(kRestLevel, kTailSamples);
  if (!recording.Flush()) return OpResult::Fail(kTempFailedText, SystemErrorText(recording.error()));

  ImportState state;
  SilentHost host(tick);
  const OpResult decoded = DecodeTape(state, PulseBounds{}, recording.path(), host);
  if (!decoded.ok()) return OpResult::Fail(kTempFailedText, decoded.detail);
  result.records = std::move(state.loadedBlocks);
  result.storeFull = host.storeFull();
  return OpResult::Success();
}

}  // namespace reelo
