// A recording longer than 2^31 bytes: a sparse file with a real block signal
// near its start and another past the 2 GB mark, silence in between. Both
// blocks decode, the positions past 2^31 reach the report, the progress and the
// bad-signal question intact, and memory stays what a short recording needs.
// Run by `make fuzz`; it reads 2 GB twice, which is too slow for `make test`.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quiet_import_host.h"
#include "sound/export/sample_sink.h"
#include "sound/export/tape_signal.h"
#include "sound/export/wav_writer.h"
#include "sound/import/import_pictures.h"
#include "sound/import/pulse_histogram.h"
#include "sound/import/tape_decoder.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;

constexpr std::int64_t k2GB = std::int64_t{1} << 31;
// The second block starts this far into the file: past 2^31, at an odd offset.
constexpr std::int64_t kLateSignalOffset = k2GB + 12345;
constexpr std::int64_t kTrailingSilence = 4096;
// Growth of the peak resident size a run may cause: the reader's buffer and
// the report, a small fraction of the recording's length.
constexpr long kMaxGrowthKiB = 32 * 1024;
// A pulse of this half-length lies between the 0-bit and 1-bit bounds.
constexpr int kQuestionedHalfLength = 7;

Bytes BlockSignal(const TapeBlock& block) {
  Bytes samples;
  SampleSink sink([&samples](const std::uint8_t* s, std::size_t n) {
    samples.insert(samples.end(), s, s + n);
    return true;
  });
  WriteBlockSignal(sink, block);
  sink.Flush();
  return samples;
}

void PutAt(int fd, std::int64_t offset, const Bytes& bytes) {
  ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
            static_cast<ssize_t>(bytes.size()));
}

long PeakResidentKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The report, the furthest progress, and each question with its picture;
// every question is answered "noise".
class Host final : public testing::QuietImportHost {
 public:
  std::int64_t lastProgress = 0;
  std::vector<std::int64_t> questionPositions;
  std::vector<QuestionPicture> pictures;

  bool Progress(std::int64_t position) override {
    lastProgress = std::max(lastProgress, position);
    return true;
  }
  // Every look at the clock reports, so the last report comes near the end.
  std::chrono::nanoseconds ProgressInterval() const override { return std::chrono::nanoseconds{0}; }
  QuestionReply AskBadSignal(const BadSignalQuestion& question) override {
    questionPositions.push_back(question.position);
    pictures.push_back(question.picture);
    return QuietImportHost::AskBadSignal(question);
  }
};

class LongRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    early_ = testing::MakeDataBlock(testing::RandomBytes(300, 1));
    late_ = testing::MakeDataBlock(testing::RandomBytes(200, 2));
    questioned_ = Bytes(kQuestionedHalfLength, kLowLevel);
    questioned_.insert(questioned_.end(), kQuestionedHalfLength, kHighLevel);
    const Bytes lateSignal = BlockSignal(late_);
    const int fd = ::open(path_.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    const WavHeader header = MakeWavHeader(0);
    PutAt(fd, 0, Bytes(header.begin(), header.end()));
    PutAt(fd, kWavHeaderSize, BlockSignal(early_));
    PutAt(fd, kLateSignalOffset - static_cast<std::int64_t>(questioned_.size()), questioned_);
    PutAt(fd, kLateSignalOffset, lateSignal);
    length_ = kLateSignalOffset + static_cast<std::int64_t>(lateSignal.size()) + kTrailingSilence;
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(length_)), 0);
    ::close(fd);
  }

  testing::TempDir dir_;
  std::string path_ = (dir_ / "long.wav").string();
  TapeBlock early_, late_;
  Bytes questioned_;
  std::int64_t length_ = 0;
};

TEST_F(LongRecording, DecodesTheBlocksOnBothSidesOfTheTwoGigabyteMark) {
  ASSERT_GT(length_, k2GB);
  ImportState state;
  Host host;
  const long before = PeakResidentKiB();
  const OpResult result = DecodeTape(state, PulseBounds{}, path_, host);
  EXPECT_LT(PeakResidentKiB() - before, kMaxGrowthKiB);

  ASSERT_EQ(result.kind, OpResult::Kind::Ok) << result.message << ": " << result.detail;
  EXPECT_EQ(state.loadedBlocks, (std::vector<TapeBlock>{early_, late_}));
  const std::vector<std::string> expected = {kReportLoading,
                                             kReportDataFound,
                                             BlockReportLine(RecordLength(early_)),
                                             kReportDataFound,
                                             BlockReportLine(RecordLength(late_)),
                                             kReportFinished,
                                             BlocksFoundLine(2)};
  EXPECT_EQ(host.lines, expected);
  EXPECT_GT(host.lastProgress, kLateSignalOffset);

  // The questioned pulse ends with the first low sample of the late signal,
  // at 1-based position kLateSignalOffset + 1; the run stands just past it.
  ASSERT_EQ(host.questionPositions, (std::vector<std::int64_t>{kLateSignalOffset + 2}));
  const QuestionPicture& picture = host.pictures.front();
  EXPECT_EQ(picture.bandLeft, kQuestionEndX - kQuestionedHalfLength);
  EXPECT_EQ(picture.samples[kQuestionSamplesBefore - 1], kLowLevel);  // the sample that ended the pulse
  EXPECT_EQ(picture.samples[kQuestionSamplesBefore - 2], kHighLevel);
  EXPECT_EQ(picture.samples[kQuestionSamplesBefore - 2 - kQuestionedHalfLength], kLowLevel);
  EXPECT_EQ(picture.samples[0], 0);  // the silence of the sparse middle
}

TEST_F(LongRecording, AnalysisCountsThePulsesOfBothSignals) {
  ImportState state;
  Host host;
  const long before = PeakResidentKiB();
  const OpResult result = AnalyseSpectrum(state, path_, host);
  EXPECT_LT(PeakResidentKiB() - before, kMaxGrowthKiB);

  ASSERT_EQ(result.kind, OpResult::Kind::Ok);
  EXPECT_EQ(state.pulseHistogram[kPilotHalfLength], 2 * kDataPilotCycles);
  EXPECT_EQ(state.pulseHistogram[kQuestionedHalfLength], 1);
  EXPECT_EQ(host.lastProgress > k2GB, true);
}

}  // namespace
}  // namespace reelo
