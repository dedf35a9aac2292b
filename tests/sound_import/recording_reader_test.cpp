// The recording read mapped and read by copies: every window and sample the
// same as the file's bytes, every pulse as the byte-by-byte rule gives it,
// across window and mapped-stretch edges; and a file cut short while it is
// read (the mapped one must not bring the process down) reads as the rest
// level past the cut, with the failure told.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import_fakes.h"
#include "sound/import/pulse_measure.h"
#include "sound/import/recording_reader.h"

namespace reelo {
namespace {

using testing::ByteByByte;

using testing::Bytes;
using testing::FakeHost;
using testing::TempDir;

// Half-waves of 1 to 23 samples between low stretches of 1 to 17, now and
// then a long one, so pulses fall across every edge of windows and stretches.
Bytes PulseTrain(std::int64_t size) {
  Bytes out;
  out.reserve(static_cast<std::size_t>(size));
  std::uint32_t state = 12345;
  while (static_cast<std::int64_t>(out.size()) < size) {
    state = state * 1103515245u + 12345u;
    const std::size_t high = (state >> 8) % 97 == 0 ? 1500 : 1 + (state >> 16) % 23;
    const std::size_t low = 1 + (state >> 4) % 17;
    out.insert(out.end(), low, (state & 1) ? 90 : 126);
    out.insert(out.end(), high, (state & 2) ? 200 : 128);
    if ((state >> 12) % 5 == 0) out.push_back(127);  // the rest level continues either
  }
  out.resize(static_cast<std::size_t>(size));
  return out;
}


struct ReadingCase {
  std::string name;
  std::int64_t size;
  std::size_t buffer;
  std::int64_t span;  // the stretch mapped at a time
  // Once the first window has been read the file is cut to this length
  // (-1: it stays whole); the samples past the first window and the cut read
  // as the rest level.
  std::int64_t cutTo;
};

constexpr std::size_t kDefault = kRecordingBufferSize;
constexpr std::int64_t kPages = 8192;  // two pages of 4 KiB, or one larger page

std::vector<ReadingCase> ReadingCases() {
  return {
      {"Empty", 0, kDefault, kMappedSpan, -1},
      {"OneByte", 1, kDefault, kMappedSpan, -1},
      {"EndsInsideAPage", 5000, kDefault, kMappedSpan, -1},
      {"WindowsOfSevenSamples", 5000, 7, kMappedSpan, -1},
      {"PulsesAcrossTheMappedStretches", 7 * kPages + 777, kDefault, kPages, -1},
      {"ExactlyTwoStretches", 2 * kPages, 4096, kPages, -1},
      {"ShorterWindowsThanStretches", 3 * kPages + 5, 1000, kPages, -1},
      {"CutInsideTheSecondStretch", 3 * kPages, 4096, kPages, kPages + 5000},
      {"EmptiedAfterTheFirstWindow", 20000, 4096, kMappedSpan, 0},
  };
}

void PrintTo(const ReadingCase& c, std::ostream* os) { *os << c.name; }

class RecordingReading : public ::testing::TestWithParam<std::tuple<ReadingCase, FileReading>> {};

TEST_P(RecordingReading, WindowsSamplesAndPulsesAsTheFile) {
  const auto& [c, reading] = GetParam();
  TempDir dir;
  const auto path = dir / "r.wav";
  const Bytes file = PulseTrain(c.size);
  testing::WriteFileBytes(path, file);
  RecordingReader recording(c.buffer, reading, c.span);
  ASSERT_TRUE(recording.Open(path.string()).ok());
  ASSERT_EQ(recording.length(), c.size);

  // What each position reads: the file, the rest level past a cut.
  std::int64_t intactThrough = c.size;
  auto expected = [&](std::int64_t p) -> std::uint8_t {
    return p >= 1 && p <= intactThrough ? file[static_cast<std::size_t>(p - 1)] : kOutsideSample;
  };
  for (std::int64_t p = 1; p <= c.size;) {
    const SampleWindow window = recording.Window(p);
    ASSERT_GE(window.count, 1) << p;
    ASSERT_LE(window.count, static_cast<std::int64_t>(c.buffer)) << p;
    ASSERT_LE(p + window.count - 1, c.size) << p;
    for (std::int64_t k = 0; k < window.count; ++k) {
      ASSERT_EQ(window.data[k], expected(p + k)) << "position " << p + k;
    }
    p += window.count;
    if (c.cutTo >= 0 && intactThrough == c.size) {
      ASSERT_EQ(::truncate(path.c_str(), c.cutTo), 0);
      intactThrough = std::max(p - 1, c.cutTo);
    }
  }
  // Single samples are read afresh: all of a cut file past its new end.
  const bool cut = intactThrough < c.size;
  const std::int64_t now = cut ? c.cutTo : c.size;
  for (std::int64_t p : {std::int64_t{-1}, std::int64_t{1}, c.size / 2, c.size, c.size + 1}) {
    EXPECT_EQ(recording.SampleAt(p), p >= 1 && p <= now ? file[static_cast<std::size_t>(p - 1)] : kOutsideSample)
        << "sample " << p;
  }
  EXPECT_EQ(recording.readFailed(), cut);
  const OpResult outcome = recording.ReadOutcome("r.wav");
  EXPECT_EQ(outcome.kind, cut ? OpResult::Kind::Warning : OpResult::Kind::Ok);
  if (cut) {
    EXPECT_EQ(outcome.message, "Ошибка чтения звукового файла r.wav");
    EXPECT_EQ(outcome.detail, "ошибка ввода-вывода");
    return;
  }

  // Every pulse from before the file to its end, one at a time with the cursor
  // a run keeps.
  FakeHost host;
  Pacer pacer = EventsPacer(host);
  PulseCursor cursor;
  std::int64_t mine = -3, theirs = -3;
  int pulses = 0;
  while (theirs <= c.size) {
    const int want = ByteByByte(file, theirs);
    ASSERT_EQ(cursor.Measure(recording, mine, pacer), want) << "pulse " << pulses;
    ASSERT_EQ(mine, theirs) << "pulse " << pulses;
    ++pulses;
  }
  EXPECT_FALSE(recording.readFailed());
}

INSTANTIATE_TEST_SUITE_P(Reading, RecordingReading,
                         ::testing::Combine(::testing::ValuesIn(ReadingCases()),
                                            ::testing::Values(FileReading::Mapped, FileReading::Copied)),
                         [](const auto& info) {
                           return std::get<0>(info.param).name +
                                  (std::get<1>(info.param) == FileReading::Mapped ? "_Mapped" : "_Copied");
                         });

// The mapped reading takes SIGBUS only for its own pages: one sent by a
// program still ends the process as before.
TEST(RecordingReadingDeathTest, OtherBusErrorsStillEndTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempDir dir;
  testing::WriteFileBytes(dir / "r.wav", PulseTrain(5000));
  EXPECT_EXIT(
      {
        RecordingReader recording;
        if (recording.Open((dir / "r.wav").string()).ok() && recording.Window(1).count > 0) ::raise(SIGBUS);
        std::exit(0);
      },
      [](int status) { return !(WIFEXITED(status) && WEXITSTATUS(status) == 0); }, "");
}

}  // namespace
}  // namespace reelo
