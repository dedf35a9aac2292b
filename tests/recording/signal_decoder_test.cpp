// The prepared path's decoder on signals made in code: the ROM's signal at
// several rates and speeds, with drift and wow inside a block, noise, and
// sounds that are not a tape at all.
#include "sound/recording/signal_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "recording_builders.h"
#include "sound/export/signal_stream.h"
#include "sound/export/wav_export.h"
#include "sound/recording/sound_file.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::RomSignal;

class MemorySource final : public SampleSource {
 public:
  MemorySource(std::vector<float> samples, int rate) : samples_(std::move(samples)), rate_(rate) {}
  int rate() const override { return rate_; }
  std::int64_t length() const override { return static_cast<std::int64_t>(samples_.size()); }
  std::size_t Read(float* out, std::size_t maxSamples) override {
    const std::size_t n = std::min(maxSamples, samples_.size() - position_);
    std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position_), n, out);
    position_ += n;
    return n;
  }

 private:
  std::vector<float> samples_;
  int rate_;
  std::size_t position_ = 0;
};

class Events final : public DecodeEvents {
 public:
  bool Progress(std::int64_t) override { return ++calls_ <= stopAfter_; }
  void ReportLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
  int stopAfter_ = 1 << 30;

 private:
  int calls_ = 0;
};

// A TAP record (with its length field) of flag and data, checksum computed.
TapeBlock MakeRecord(std::uint8_t flag, const std::vector<std::uint8_t>& data) {
  TapeBlock block;
  const std::size_t length = data.size() + 2;
  block.push_back(static_cast<std::uint8_t>(length & 0xFF));
  block.push_back(static_cast<std::uint8_t>(length >> 8));
  block.push_back(flag);
  std::uint8_t x = flag;
  for (std::uint8_t b : data) {
    block.push_back(b);
    x ^= b;
  }
  block.push_back(x);
  return block;
}

std::vector<std::uint8_t> Body(const TapeBlock& block) { return {block.begin() + 2, block.end()}; }

std::vector<std::uint8_t> Bytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::uint8_t> out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(gen());
  return out;
}

const TapeBlock kHeader = MakeRecord(0x00, {0x03, 'r', 'e', 'e', 'l', 'o', ' ', ' ', ' ', ' ', ' ', 0x2C, 0x01,
                                            0x00, 0x80, 0x00, 0x80});
const TapeBlock kData = MakeRecord(0xFF, Bytes(300, 5));

// Plays a signal with a speed that changes over time (1 = as made).
std::vector<float> Warped(const std::vector<float>& x, const std::function<double(double)>& speedAt, int rate) {
  std::vector<float> out;
  double position = 0;
  while (position + 1 < static_cast<double>(x.size())) {
    const auto i = static_cast<std::size_t>(position);
    const double f = position - static_cast<double>(i);
    out.push_back(static_cast<float>(x[i] * (1 - f) + x[i + 1] * f));
    position += speedAt(static_cast<double>(out.size()) / rate);
  }
  return out;
}

struct SignalRow {
  const char* name;
  int rate;
  double speed;            // of the whole recording
  double driftPerSecond;   // speed change inside the recording
  double wowDepth;         // share, at 0.7 Hz
  double lowPassHz;        // 0: none
  double snrDb;            // 0: no noise
  float gain;
  float offset;
};

class DecodeSignalTable : public ::testing::TestWithParam<SignalRow> {};

TEST_P(DecodeSignalTable, GivesTheRecordsExactly) {
  const SignalRow& row = GetParam();
  std::vector<float> x = RomSignal({kHeader, kData}, row.rate, row.speed, 1200, 0.3);
  if (row.driftPerSecond != 0 || row.wowDepth != 0) {
    x = Warped(x, [&](double t) { return 1 + row.driftPerSecond * t + row.wowDepth * std::sin(2 * 3.14159 * 0.7 * t); },
               row.rate);
  }
  if (row.lowPassHz > 0) x = testing::LowPassed(x, row.lowPassHz, row.rate);
  x = testing::Scaled(x, row.gain, row.offset);
  if (row.snrDb > 0) x = testing::Noisy(x, row.snrDb);
  MemorySource source(x, row.rate);
  Events events;
  const SignalDecodeResult result = DecodeSignal(source, events);
  ASSERT_EQ(result.records.size(), 2u);
  EXPECT_EQ(result.records[0].bytes, Body(kHeader));
  EXPECT_EQ(result.records[1].bytes, Body(kData));
  EXPECT_TRUE(result.records[0].checksumOk);
  EXPECT_TRUE(result.records[1].checksumOk);
  EXPECT_EQ(result.records[1].confidence.size(), 302u * 8);
  EXPECT_EQ(events.lines, (std::vector<std::string>{"Блок 1: 19 байт, флаг 0, контрольная сумма верна",
                                                    "Блок 2: 302 байт, флаг 255, контрольная сумма верна"}));
  EXPECT_FALSE(result.stopped);
  EXPECT_FALSE(result.storeFull);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, DecodeSignalTable,
    ::testing::Values(SignalRow{"clean_44100", 44100, 1.0, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"clean_22050", 22050, 1.0, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"clean_11025", 11025, 1.0, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"clean_8000", 8000, 1.0, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"clean_96000", 96000, 1.0, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"slow_8_percent", 44100, 0.92, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"fast_8_percent", 44100, 1.08, 0, 0, 0, 0, 0.5f, 0},
                      SignalRow{"drift_6_percent_in_block", 44100, 1.0, 0.02, 0, 0, 0, 0.5f, 0},
                      SignalRow{"wow_3_percent", 44100, 1.0, 0, 0.03, 0, 0, 0.5f, 0},
                      SignalRow{"lowpass_3k_22050", 22050, 1.0, 0, 0, 3000, 0, 0.5f, 0},
                      SignalRow{"quiet_36db_offset", 22050, 1.0, 0, 0, 0, 0, 0.016f, 0.2f},
                      SignalRow{"noise_12db_lowpass", 44100, 1.0, 0, 0, 4000, 12, 0.5f, 0},
                      SignalRow{"inverted", 44100, 1.0, 0, 0, 0, 0, -0.5f, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// Sounds that are not a tape signal, and tape signals without a pilot of their
// own: none gives a record.
struct JunkRow {
  const char* name;
  std::function<std::vector<float>(int rate)> make;
};

std::vector<float> Tone(int rate, double seconds, const std::function<double(double)>& hz) {
  std::vector<float> out;
  double phase = 0;
  for (int i = 0; i < static_cast<int>(seconds * rate); ++i) {
    phase += 2 * 3.14159265 * hz(static_cast<double>(i) / rate) / rate;
    out.push_back(static_cast<float>(0.4 * std::sin(phase)));
  }
  return out;
}

class JunkTable : public ::testing::TestWithParam<JunkRow> {};

TEST_P(JunkTable, GivesNoRecord) {
  const int rate = 44100;
  MemorySource source(GetParam().make(rate), rate);
  Events events;
  const SignalDecodeResult result = DecodeSignal(source, events);
  EXPECT_EQ(result.records.size(), 0u);
  EXPECT_TRUE(events.lines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Junk, JunkTable,
    ::testing::Values(
        JunkRow{"white_noise", [](int rate) { return testing::Noisy(std::vector<float>(rate * 4, 0.0f), -20); }},
        // A vibrato around the pilot's 807 Hz: never steady for a pilot's length.
        JunkRow{"vibrato_near_pilot",
                [](int rate) { return Tone(rate, 4, [](double t) { return 807 * (1 + 0.2 * std::sin(2 * 3.14159 * 6 * t)); }); }},
        // Notes of a melody, a tenth of a second each.
        JunkRow{"melody",
                [](int rate) {
                  return Tone(rate, 4, [](double t) { return 440.0 * std::pow(2.0, (static_cast<int>(t * 10) * 7 % 12) / 12.0); });
                }},
        JunkRow{"clicks",
                [](int rate) {
                  std::vector<float> x(static_cast<std::size_t>(rate * 3), 0.0f);
                  for (std::size_t i = 0; i < x.size(); i += static_cast<std::size_t>(rate / 50)) x[i] = 0.9f;
                  return x;
                }},
        // A data block's bits with a pilot far too short (40 half-waves).
        JunkRow{"fragment_without_pilot",
                [](int rate) { return RomSignal({kData}, rate, 1.0, 40, 0.3); }},
        JunkRow{"silence", [](int rate) { return std::vector<float>(static_cast<std::size_t>(rate), 0.0f); }}),
    [](const auto& info) { return std::string(info.param.name); });

struct RunRow {
  const char* name;
  int maxRecords;
  int stopAfter;        // progress calls before the stop
  std::size_t records;  // kept
  bool stopped, storeFull;
};

class RunTable : public ::testing::TestWithParam<RunRow> {};

TEST_P(RunTable, StopsAndFillsAsAsked) {
  const RunRow& row = GetParam();
  // Three records, and a long silence after them for the stop to land in.
  std::vector<float> x = RomSignal({kHeader, kData, kHeader}, 22050, 1.0, 1200, 0.3);
  x.resize(x.size() + 22050 * 60, 0.0f);
  MemorySource source(x, 22050);
  Events events;
  events.stopAfter_ = row.stopAfter;
  SignalDecodeOptions options;
  options.maxRecords = row.maxRecords;
  const SignalDecodeResult result = DecodeSignal(source, events, options);
  EXPECT_EQ(result.records.size(), row.records);
  EXPECT_EQ(result.stopped, row.stopped);
  EXPECT_EQ(result.storeFull, row.storeFull);
  EXPECT_EQ(events.lines.size(), row.records);
}

INSTANTIATE_TEST_SUITE_P(Runs, RunTable,
                         ::testing::Values(RunRow{"whole", 1000, 1 << 30, 3, false, false},
                                           RunRow{"store_of_two", 2, 1 << 30, 2, false, true},
                                           RunRow{"store_of_three_exactly", 3, 1 << 30, 3, false, false},
                                           RunRow{"stopped_at_once", 1000, 0, 0, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SignalDecoder, ReportsARepairedBit) {
  // The data block's first data bit (bit 8 of the record) made doubtful: its
  // first half-wave lasts longer, so its period sits near the bound, on the
  // wrong side. The checksum's syndrome names its column; the repair flips it.
  const TapeBlock record = MakeRecord(0xFF, {0x00, 0x55, 0xAA});
  std::vector<float> x = RomSignal({record}, 44100, 1.0, 1200, 0.3);
  // The first data byte's first bit (a 0: 855 + 855 T) begins after the pilot
  // sync and the flag (eight 1 bits); its middle edge moves so the period reads
  // as 1.6 zero periods, just past the bound.
  const double samplesPerT = 44100.0 / 3500000.0;
  const auto bitStart = static_cast<std::size_t>(0.2 * 44100 + (1200 * 2168 + 667 + 735 + 16 * 1710) * samplesPerT);
  const auto stretch = static_cast<std::size_t>(855 * 1.25 * samplesPerT);
  const float level = x[bitStart + 2];
  x.insert(x.begin() + static_cast<std::ptrdiff_t>(bitStart + 2), stretch, level);
  MemorySource source(x, 44100);
  Events events;
  const SignalDecodeResult result = DecodeSignal(source, events);
  ASSERT_EQ(result.records.size(), 1u);
  EXPECT_EQ(result.records[0].bytes, Body(record));
  EXPECT_EQ(result.records[0].repairedBits, 1);
  ASSERT_EQ(events.lines.size(), 1u);
  EXPECT_EQ(events.lines[0], "Блок 1: 5 байт, флаг 255, контрольная сумма верна, исправлено битов: 1");
}

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// A data block with no header before it: its length is known from nothing but
// its signal, so the ringing and hiss after its last bit must not add a byte
// (a 0 would still match the checksum), nor may its end lose one. The
// program's own export sends a 0 after each checksum and then falls back to
// its rest level: that byte is no part of the record, while a real checksum
// of 0 (the ROM's level held after its last edge) is.
struct HeaderlessRow {
  const char* name;
  int rate;
  double lowPassHz;  // 0: none
  double snrDb;      // 0: no noise
  std::uint8_t checksum;
  int exportBits = 0;  // 8 or 16: the program's own export at this rate; 0: the ROM's signal
  int byteAfter = -1;  // a byte a saver sends after the checksum (ROM's signal only); -1: none
};

// The export of the records, read back as samples at the export's rate.
std::vector<float> ExportedSamples(const std::vector<TapeBlock>& records, int rate, int bits) {
  testing::TempDir dir;
  TapeProject project;
  project.blocks = records;
  SignalOptions options;
  options.sampleRate = rate;
  options.bitsPerSample = bits;
  const std::string path = (dir / "export.wav").string();
  NullProgress progress;
  if (!SaveWavFile(project, path, options, progress).ok()) return {};
  SoundFile file;
  if (!file.Open(path).ok()) return {};
  std::vector<float> samples;
  file.Read(samples, file.info().frames);
  return samples;
}

class HeaderlessTable : public ::testing::TestWithParam<HeaderlessRow> {};

TEST_P(HeaderlessTable, GivesTheBlockAtItsOwnLength) {
  const HeaderlessRow& row = GetParam();
  std::vector<std::uint8_t> data = Bytes(40, 9);
  // The record's last byte is its checksum: 0 is what an added byte would be.
  std::uint8_t x = 0xFF;
  for (std::size_t i = 0; i + 1 < data.size(); ++i) x ^= data[i];
  data.back() = static_cast<std::uint8_t>(x ^ row.checksum);
  const TapeBlock record = MakeRecord(0xFF, data);
  TapeBlock sent = record;
  if (row.byteAfter >= 0) sent.push_back(static_cast<std::uint8_t>(row.byteAfter));
  std::vector<float> signal = row.exportBits > 0 ? ExportedSamples({record, record}, row.rate, row.exportBits)
                                                 : RomSignal({sent, sent}, row.rate, 1.0, 1200, 0.4);
  ASSERT_FALSE(signal.empty());
  if (row.lowPassHz > 0) signal = testing::LowPassed(signal, row.lowPassHz, row.rate);
  if (row.snrDb > 0) signal = testing::Noisy(signal, row.snrDb);
  MemorySource source(signal, row.rate);
  Events events;
  const SignalDecodeResult result = DecodeSignal(source, events);
  ASSERT_EQ(result.records.size(), 2u);
  for (const SignalRecord& r : result.records) {
    EXPECT_EQ(r.bytes.size(), 42u);
    EXPECT_EQ(r.bytes, Body(record));
    EXPECT_TRUE(r.checksumOk);
  }
  EXPECT_EQ(events.lines.back(), "Блок 2: 42 байт, флаг 255, контрольная сумма верна");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HeaderlessTable,
    ::testing::Values(HeaderlessRow{"clean_44100", 44100, 0, 0, 0x00}, HeaderlessRow{"clean_22050", 22050, 0, 0, 0x00},
                      HeaderlessRow{"lowpass_3k_44100", 44100, 3000, 0, 0x00},
                      HeaderlessRow{"lowpass_3k_noise_20db", 44100, 3000, 20, 0x00},
                      HeaderlessRow{"noise_20db_8000", 8000, 0, 20, 0x00},
                      HeaderlessRow{"checksum_ff", 44100, 0, 0, 0xFF},
                      HeaderlessRow{"checksum_ff_noise", 22050, 4000, 15, 0xFF},
                      HeaderlessRow{"lowpass_4k_11025", 11025, 4000, 0, 0x00},
                      HeaderlessRow{"lowpass_3k_noise_15db_22050", 22050, 3000, 15, 0x00},
                      HeaderlessRow{"export_22050_8bit", 22050, 0, 0, 0x00, 8},
                      HeaderlessRow{"export_22050_8bit_checksum_5a", 22050, 0, 0, 0x5A, 8},
                      HeaderlessRow{"export_44100_16bit", 44100, 0, 0, 0x00, 16},
                      HeaderlessRow{"export_48000_16bit_checksum_ff", 48000, 0, 0, 0xFF, 16},
                      HeaderlessRow{"export_44100_lowpass_3k", 44100, 3000, 0, 0x00, 16},
                      HeaderlessRow{"export_48000_lowpass_3k_noise_20db", 48000, 3000, 20, 0x81, 16},
                      HeaderlessRow{"export_22050_noise_20db", 22050, 0, 20, 0x00, 8},
                      HeaderlessRow{"byte_a5_after_checksum", 44100, 0, 0, 0x3C, 0, 0xA5},
                      HeaderlessRow{"byte_01_after_checksum_lowpass", 22050, 4000, 0, 0x00, 0, 0x01}),
    [](const auto& info) { return std::string(info.param.name); });

// Data after a header: its length is the header's length field (bytes 11 and
// 12 of its data), whatever the bytes beside it hold, and a checksum of 0 at
// that length is the record's own.
struct KnownLengthRow {
  const char* name;
  std::uint8_t nameEnd;  // the last character of the header's name
  std::uint16_t length;
  std::uint8_t checksum;
  int exportBits;        // 0: the ROM's signal at 44100 Hz; 8 or 16: the export at 44100 Hz
};

class KnownLengthTable : public ::testing::TestWithParam<KnownLengthRow> {};

TEST_P(KnownLengthTable, GivesTheDataAtTheHeadersLength) {
  const KnownLengthRow& row = GetParam();
  const TapeBlock header = MakeRecord(0x00, {0x03, 'c', 'o', 'd', 'e', ' ', ' ', ' ', ' ', ' ', row.nameEnd,
                                             static_cast<std::uint8_t>(row.length & 0xFF),
                                             static_cast<std::uint8_t>(row.length >> 8), 0x00, 0x80, 0x00, 0x80});
  std::vector<std::uint8_t> data = Bytes(row.length, 11);
  std::uint8_t x = 0xFF;
  for (std::size_t i = 0; i + 1 < data.size(); ++i) x ^= data[i];
  data.back() = static_cast<std::uint8_t>(x ^ row.checksum);
  const TapeBlock block = MakeRecord(0xFF, data);
  const std::vector<float> signal = row.exportBits > 0 ? ExportedSamples({header, block}, 44100, row.exportBits)
                                                       : RomSignal({header, block}, 44100, 1.0, 1200, 0.3);
  ASSERT_FALSE(signal.empty());
  MemorySource source(signal, 44100);
  Events events;
  const SignalDecodeResult result = DecodeSignal(source, events);
  ASSERT_EQ(result.records.size(), 2u);
  EXPECT_EQ(result.records[0].bytes, Body(header));
  EXPECT_EQ(result.records[1].bytes.size(), row.length + 2u);
  EXPECT_EQ(result.records[1].bytes, Body(block));
  EXPECT_TRUE(result.records[1].checksumOk);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KnownLengthTable,
    ::testing::Values(KnownLengthRow{"length_256_name_ends_ff_checksum_0", 0xFF, 256, 0x00, 0},
                      KnownLengthRow{"length_300_checksum_0", ' ', 300, 0x00, 0},
                      KnownLengthRow{"length_1_checksum_0", 0x01, 1, 0x00, 0},
                      KnownLengthRow{"export_length_256_name_ends_ff_checksum_0", 0xFF, 256, 0x00, 16},
                      KnownLengthRow{"export_length_40_checksum_0", 'x', 40, 0x00, 8}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo

#include "sound/recording/take_merge.h"

namespace reelo {
namespace {

// A dropout: the signal sinks to a fiftieth for these milliseconds from
// 'at' seconds, with hiss all along.
std::vector<float> WithDropout(std::vector<float> x, int rate, double at, double milliseconds, unsigned seed) {
  const auto from = static_cast<std::size_t>(at * rate);
  const auto to = std::min(x.size(), from + static_cast<std::size_t>(milliseconds / 1000 * rate));
  for (std::size_t i = from; i < to; ++i) x[i] *= 0.02f;
  return testing::Noisy(x, 30, seed);
}

// The data block's samples begin after the header (0.2 s of lead, the pilot,
// 19 bytes and a pause of 0.3 s) and its own pilot; its 302 bytes take about
// 2.2 s. Dropouts at these seconds land in its bytes.
struct DropoutRow {
  const char* name;
  std::vector<double> dropouts;  // one take each: where its dropout lies
  std::size_t wrongBytesAtMost;  // in the record of each take alone
};

class DropoutTable : public ::testing::TestWithParam<DropoutRow> {};

TEST_P(DropoutTable, KeepsTheRecordsLengthAndTheTakesTogetherGiveIt) {
  const DropoutRow& row = GetParam();
  const int rate = 44100;
  const std::vector<float> clean = RomSignal({kHeader, kData}, rate, 1.0, 1200, 0.3);
  std::vector<std::vector<SignalRecord>> takes;
  for (std::size_t t = 0; t < row.dropouts.size(); ++t) {
    MemorySource source(WithDropout(clean, rate, row.dropouts[t], 9, static_cast<unsigned>(t + 3)), rate);
    Events events;
    SignalDecodeResult result = DecodeSignal(source, events);
    ASSERT_EQ(result.records.size(), 2u) << t;
    const SignalRecord& data = result.records[1];
    // Read through the dropout: the bytes after it are in their place.
    ASSERT_EQ(data.bytes.size(), 302u) << t;
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < data.bytes.size(); ++i) wrong += data.bytes[i] != Body(kData)[i] ? 1 : 0;
    EXPECT_LE(wrong, row.wrongBytesAtMost) << t;
    takes.push_back(std::move(result.records));
  }
  const std::vector<MergedRecord> merged = MergeTakes(takes);
  ASSERT_EQ(merged.size(), 2u);
  EXPECT_EQ(merged[0].record.bytes, Body(kHeader));
  EXPECT_EQ(merged[1].record.bytes, Body(kData));
  EXPECT_TRUE(merged[1].record.checksumOk);
}

INSTANTIATE_TEST_SUITE_P(Rows, DropoutTable,
                         ::testing::Values(DropoutRow{"three_takes", {1.6, 2.4, 3.1}, 4},
                                           DropoutRow{"two_takes", {1.9, 2.8}, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// The half-waves of a record as the edge finder hands them over, with what
// noise does to edges: a spike that splits a half-wave in three, an edge that
// is never seen (two half-waves become one). The reader mends them and keeps
// every later bit in its place.
struct MendRow {
  const char* name;
  std::function<void(std::vector<float>&)> damage;  // on the data's half-waves (two per bit)
};

class MendTable : public ::testing::TestWithParam<MendRow> {};

TEST_P(MendTable, ReadsTheRecordExactly) {
  const double perT = 44100.0 / 3500000.0;
  const TapeBlock record = MakeRecord(0xFF, Bytes(24, 4));
  std::vector<float> data;
  for (std::size_t i = 2; i < record.size(); ++i) {
    for (int bit = 7; bit >= 0; --bit) {
      const float half = static_cast<float>(((record[i] >> bit) & 1 ? 1710 : 855) * perT);
      data.push_back(half);
      data.push_back(half);
    }
  }
  GetParam().damage(data);
  BlockReader reader(44100);
  std::int64_t at = 0;
  auto add = [&](float length) {
    at += static_cast<std::int64_t>(length);
    return reader.Add(length, at);
  };
  for (int i = 0; i < 800; ++i) add(static_cast<float>(2168 * perT));
  add(static_cast<float>(667 * perT));
  add(static_cast<float>(735 * perT));
  for (float half : data) ASSERT_FALSE(add(half));
  ASSERT_TRUE(add(44100.0f));  // the pause
  const SignalRecord r = reader.TakeRecord();
  EXPECT_EQ(r.bytes, Body(record));
  EXPECT_TRUE(r.checksumOk);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MendTable,
    ::testing::Values(
        MendRow{"clean", [](std::vector<float>&) {}},
        // Bit 20's first half split by a spike of one sample.
        MendRow{"half_wave_split",
                [](std::vector<float>& h) {
                  const float a = h[40];
                  h[40] = a * 0.4f;
                  h.insert(h.begin() + 41, {1.0f, a * 0.6f - 1.0f});
                }},
        // Bit 30's middle edge lost: its two half-waves read as one.
        MendRow{"middle_edge_lost",
                [](std::vector<float>& h) {
                  h[60] += h[61];
                  h.erase(h.begin() + 61);
                }},
        // The edge between bits 40 and 41 lost.
        MendRow{"edge_between_bits_lost",
                [](std::vector<float>& h) {
                  h[81] += h[82];
                  h.erase(h.begin() + 82);
                }},
        // The last bit's closing edge lost: its second half-wave runs on into
        // the pause, and the bit is read from its first.
        MendRow{"last_edge_lost", [](std::vector<float>& h) { h.pop_back(); }},
        // The level after the last bit held too long for a bit's half-wave,
        // though short of a pause.
        MendRow{"last_half_held", [](std::vector<float>& h) { h.back() = 1.7f * 2168 * 44100.0f / 3500000; }},
        // Two of these far apart in one record.
        MendRow{"split_and_lost_edge",
                [](std::vector<float>& h) {
                  h[121] += h[122];
                  h.erase(h.begin() + 122);
                  const float a = h[30];
                  h[30] = a * 0.5f;
                  h.insert(h.begin() + 31, {1.2f, a * 0.5f - 1.2f});
                }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// The half-waves (length in samples at 44100 Hz, swing) of a pilot, its sync
// and a record, with what a worn tape does around them: a dropout near the
// pilot's end where hiss makes sync-like half-waves too weak for a sync, a
// burst of noise in the pilot, a 1 bit of the flag stretched to a pilot's
// length. The record is read once, exactly, and nothing else is.
using Halves = std::vector<std::pair<float, float>>;

constexpr double kPerT = 44100.0 / 3500000.0;

Halves PilotHalves(int count) { return Halves(static_cast<std::size_t>(count), {static_cast<float>(2168 * kPerT), 1.0f}); }

Halves SyncAndBits(const TapeBlock& record) {
  Halves out{{static_cast<float>(667 * kPerT), 1.0f}, {static_cast<float>(735 * kPerT), 1.0f}};
  for (std::size_t i = 2; i < record.size(); ++i) {
    for (int bit = 7; bit >= 0; --bit) {
      const float half = static_cast<float>(((record[i] >> bit) & 1 ? 1710 : 855) * kPerT);
      out.insert(out.end(), 2, {half, 1.0f});
    }
  }
  return out;
}

Halves Joined(std::initializer_list<Halves> parts) {
  Halves out;
  for (const Halves& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// Every record the reader gives for these half-waves, up to their end.
std::vector<SignalRecord> ReadAll(BlockReader& reader, const Halves& halves) {
  std::vector<SignalRecord> found;
  std::int64_t at = 0;
  for (const auto& [length, swing] : halves) {
    at += static_cast<std::int64_t>(length);
    if (reader.Add(length, at, swing)) found.push_back(reader.TakeRecord());
  }
  if (reader.Finish(at)) found.push_back(reader.TakeRecord());
  return found;
}

// The data's half-waves with three of them read as one, as when the middle
// one was too weak to pass the edge threshold: in the first pair of 0 bits
// between 1 bits, either the first 0 bit's second half-wave and the second's
// first (firstHolds) or the first's second half-wave and the second's whole.
Halves LostSwing(Halves data, bool firstHolds) {
  const float zero = static_cast<float>(855 * kPerT);
  for (std::size_t i = 2; i + 8 <= data.size(); i += 2) {
    if (data[i].first > zero * 1.5f && data[i + 2].first < zero * 1.5f && data[i + 4].first < zero * 1.5f &&
        data[i + 6].first > zero * 1.5f) {
      const std::size_t from = firstHolds ? i + 2 : i + 3;
      data[from].first = 3 * zero;
      data.erase(data.begin() + static_cast<std::ptrdiff_t>(from) + 1, data.begin() + static_cast<std::ptrdiff_t>(from) + 3);
      return data;
    }
  }
  return {};
}

struct PilotRow {
  const char* name;
  std::function<Halves(const TapeBlock&)> make;
};

class PilotTable : public ::testing::TestWithParam<PilotRow> {};

TEST_P(PilotTable, ReadsTheRecordOnceExactly) {
  const TapeBlock record = MakeRecord(0xFF, Bytes(24, 6));
  BlockReader reader(44100);
  const std::vector<SignalRecord> found = ReadAll(reader, Joined({PilotHalves(100), GetParam().make(record), {{44100.0f, 1.0f}}}));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].bytes, Body(record));
  EXPECT_TRUE(found[0].checksumOk);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PilotTable,
    ::testing::Values(
        PilotRow{"clean", [](const TapeBlock& r) { return Joined({PilotHalves(800), SyncAndBits(r)}); }},
        // The flag's first 1 bit: its second half-wave as long as a pilot's.
        PilotRow{"flag_bit_stretched_to_a_pilot_half_wave",
                 [](const TapeBlock& r) {
                   Halves data = SyncAndBits(r);
                   data[3].first = static_cast<float>(2100 * kPerT);
                   data[2].first = static_cast<float>(1400 * kPerT);
                   return Joined({PilotHalves(800), data});
                 }},
        // Hiss in a dropout: a pair timed like a sync and sixteen bit-like
        // half-waves, all at a twentieth of the pilot's swing, then the level
        // held, then the pilot again.
        PilotRow{"hiss_in_a_dropout_of_the_pilot",
                 [](const TapeBlock& r) {
                   Halves hiss{{static_cast<float>(667 * kPerT), 0.05f}, {static_cast<float>(735 * kPerT), 0.05f}};
                   hiss.insert(hiss.end(), 16, {static_cast<float>(855 * kPerT), 0.05f});
                   hiss.push_back({static_cast<float>(2 * 2168 * kPerT), 0.05f});
                   return Joined({PilotHalves(800), hiss, PilotHalves(60), SyncAndBits(r)});
                 }},
        // A lossy coder's sync: its second half-wave swings at a fifth of
        // the pilot's, its first at two thirds.
        PilotRow{"sync_with_a_weak_second_half_wave",
                 [](const TapeBlock& r) {
                   Halves data = SyncAndBits(r);
                   data[0].second = 0.65f;
                   data[1].second = 0.2f;
                   return Joined({PilotHalves(800), data});
                 }},
        // Half-waves like a sync run into a 1 bit's and then eighty bits, at
        // a twentieth of the pilot's swing (hiss), end the pilot; the block
        // comes with a pilot of its own.
        PilotRow{"bit_like_hiss_after_a_pilot",
                 [](const TapeBlock& r) {
                   Halves hiss{{static_cast<float>((667 + 735 + 1710) * kPerT), 0.05f}};
                   for (int k = 0; k < 160; ++k) hiss.push_back({static_cast<float>((k / 2 % 3 ? 1710 : 855) * kPerT), 0.05f});
                   return Joined({PilotHalves(800), hiss, PilotHalves(800), SyncAndBits(r)});
                 }},
        // Six half-waves a quarter off the pilot's length (noise) just before
        // the sync: the pilot is held.
        PilotRow{"noise_burst_at_the_pilots_end",
                 [](const TapeBlock& r) {
                   Halves burst;
                   for (int k = 0; k < 6; ++k) burst.push_back({static_cast<float>((k % 2 ? 1.27 : 0.73) * 2168 * kPerT), 1.0f});
                   return Joined({PilotHalves(800), burst, PilotHalves(30), SyncAndBits(r)});
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// A lossy coder at a low bit rate thins single half-waves: a 0 bit's
// half-wave between two 1 bits' comes out at a fifth of its neighbours'
// swing, below the edge threshold, so three half-waves read as one and two
// 0 bits measure as one 1 bit's period. Uneven halves of a 1 bit (noise
// moving its middle edge) are no such thing and stay one bit.
enum class Harm { WeakHalf, MovedMiddle };

struct LossyRow {
  const char* name;
  int rate;
  double lowPassHz;  // 0: none
  double snrDb;      // 0: no noise
  Harm harm;
  int bit;           // in each marked byte (0 = most significant)
  int half;          // 0 or 1
  float share;       // WeakHalf: the swing left; MovedMiddle: the half-wave lengthened by this share
};

class LossyTable : public ::testing::TestWithParam<LossyRow> {};

TEST_P(LossyTable, GivesTheRecordExactly) {
  const LossyRow& row = GetParam();
  // Three bytes 0x67 (0 1 1 0 0 1 1 1): two 0 bits between 1 bits.
  std::vector<std::uint8_t> data = Bytes(200, 11);
  const std::vector<std::size_t> marked = {40, 100, 160};
  for (std::size_t at : marked) data[at] = 0x67;
  const TapeBlock record = MakeRecord(0xFF, data);
  // A header gives the record's length (202 bytes with flag and checksum).
  const TapeBlock header = MakeRecord(0x00, {0x03, 'r', 'e', 'e', 'l', 'o', ' ', ' ', ' ', ' ', ' ', 200, 0, 0x00,
                                             0x80, 0x00, 0x80});
  std::vector<float> x = RomSignal({header}, row.rate, 1.0, 1200, 0.3);
  const std::size_t recordFrom = x.size();
  const std::vector<float> second = RomSignal({record}, row.rate, 1.0, 1200, 0.3);
  x.insert(x.end(), second.begin(), second.end());
  // Where each half-wave lies: sample n holds the level at n / rate seconds.
  const double perT = row.rate / 3500000.0;
  std::vector<double> halfStart;  // T-states from the first data half-wave, per half-wave
  double t = 0;
  for (std::size_t i = 2; i < record.size(); ++i) {
    for (int bit = 7; bit >= 0; --bit) {
      const double half = (record[i] >> bit) & 1 ? 1710 : 855;
      halfStart.push_back(t);
      halfStart.push_back(t + half);
      t += 2 * half;
    }
  }
  halfStart.push_back(t);
  const double dataT = 0.2 * 3500000.0 + 1200 * 2168 + 667 + 735;
  const auto sampleAt = [&](double tstates) {
    return recordFrom + static_cast<std::size_t>(std::ceil((dataT + tstates) * perT));
  };
  for (std::size_t at : marked) {
    const std::size_t h = ((at + 1) * 8 + static_cast<std::size_t>(row.bit)) * 2 + static_cast<std::size_t>(row.half);
    const std::size_t from = sampleAt(halfStart[h]), to = sampleAt(halfStart[h + 1]);
    if (row.harm == Harm::WeakHalf) {
      for (std::size_t k = from; k < to; ++k) x[k] *= row.share;
    } else {
      const auto longer = static_cast<std::size_t>((to - from) * row.share);
      std::fill(x.begin() + static_cast<std::ptrdiff_t>(to), x.begin() + static_cast<std::ptrdiff_t>(to + longer), x[from]);
    }
  }
  if (row.lowPassHz > 0) x = testing::LowPassed(x, row.lowPassHz, row.rate);
  x = testing::Scaled(x, 0.5f);
  if (row.snrDb > 0) x = testing::Noisy(x, row.snrDb);
  MemorySource source(x, row.rate);
  Events events;
  const SignalDecodeResult result = DecodeSignal(source, events);
  ASSERT_EQ(result.records.size(), 2u);
  EXPECT_EQ(result.records[1].bytes, Body(record));
  EXPECT_TRUE(result.records[1].checksumOk);
  // Where half-waves were lost, the record is read again allowing for them,
  // and the bits that reading put in are reported as repaired.
  ASSERT_EQ(events.lines.size(), 2u);
  EXPECT_EQ(events.lines[0], "Блок 1: 19 байт, флаг 0, контрольная сумма верна");
  EXPECT_EQ(events.lines[1].rfind("Блок 2: 202 байт, флаг 255, контрольная сумма верна", 0), 0u) << events.lines[1];
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LossyTable,
    ::testing::Values(LossyRow{"first_zero_second_half_weak_44100", 44100, 0, 0, Harm::WeakHalf, 3, 1, 0.2f},
                      LossyRow{"first_zero_second_half_weak_48000_lowpass", 48000, 8000, 0, Harm::WeakHalf, 3, 1, 0.25f},
                      LossyRow{"first_zero_second_half_weak_22050", 22050, 0, 0, Harm::WeakHalf, 3, 1, 0.2f},
                      LossyRow{"first_zero_second_half_weak_noise_30db", 44100, 0, 30, Harm::WeakHalf, 3, 1, 0.2f},
                      LossyRow{"one_before_zeros_first_half_longer", 44100, 0, 0, Harm::MovedMiddle, 2, 0, 0.25f},
                      LossyRow{"one_after_zeros_first_half_longer", 44100, 0, 0, Harm::MovedMiddle, 5, 0, 0.25f},
                      LossyRow{"one_after_zeros_first_half_longer_22050", 22050, 0, 0, Harm::MovedMiddle, 5, 0, 0.25f}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// A lossy coder thinned one half-wave of two 0 bits between 1 bits: three
// half-waves come as one, and the two bits as one 1 bit's period. Where the
// header gave the record's length, the bit missing shows and the record is
// read again allowing for it; where nothing gave it, a match of the checksum
// alone is too weak a proof and the record stays as read.
struct LostSwingRow {
  const char* name;
  bool firstHolds;
  bool lengthKnown;
  bool exact;
};

class LostSwingTable : public ::testing::TestWithParam<LostSwingRow> {};

TEST_P(LostSwingTable, ReadsTheTwoBitsWhereTheLengthShowsThem) {
  const LostSwingRow& row = GetParam();
  const TapeBlock record = MakeRecord(0xFF, Bytes(24, 6));
  const Halves data = LostSwing(SyncAndBits(record), row.firstHolds);
  ASSERT_FALSE(data.empty());
  BlockReader reader(44100);
  if (row.lengthKnown) reader.ExpectLength(26);
  const std::vector<SignalRecord> found = ReadAll(reader, Joined({PilotHalves(800), data, {{44100.0f, 1.0f}}}));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].bytes == Body(record), row.exact);
  EXPECT_EQ(found[0].checksumOk, row.exact);
}

INSTANTIATE_TEST_SUITE_P(Rows, LostSwingTable,
                         ::testing::Values(LostSwingRow{"first_holds_three", true, true, true},
                                           LostSwingRow{"second_holds_three", false, true, true},
                                           LostSwingRow{"length_unknown", true, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// What a lossy coder does to half-waves, where the reader keeps the record
// in step. It loses the sync's second half-wave (the shorter and weaker): the
// sync runs into the data's first half-wave, three half-waves as one. Before
// a 0 bit that one lasts about a pilot half-wave and the first 0 bit passes
// for the sync (a header's leading 0 bits lost would shift it, and its
// checksum, blind to that, still match); before a 1 bit it is too long for
// the pilot and the 1 bits too long for a sync. It moves the middle edge of
// two 0 bits early, one pair short and one long: they have a 1 bit's period
// but are no 1 bit split by a spike.
struct CoderHarmRow {
  const char* name;
  bool header;       // the record is a header (starts with 0 bits), else data (1 bits)
  bool lengthKnown;  // a header before gave the data's length
  std::function<void(Halves&)> harm;  // on the sync's and the data's half-waves
};

void SyncIntoData(Halves& h) {
  h[2].first += h[0].first + h[1].first;
  h.erase(h.begin(), h.begin() + 2);
}

// The first two 0 bits in a row from half-wave from on (the first's
// first): their middle edge early by two fifths of a half-wave.
void EdgeEarly(Halves& h, std::size_t from) {
  const float zero = static_cast<float>(855 * kPerT);
  std::size_t i = from;
  while (!(h[i].first < 1.5f * zero && h[i + 2].first < 1.5f * zero)) i += 2;
  h[i].first *= 1.03f;
  h[i + 1].first *= 0.6f;
  h[i + 2].first *= 1.4f;
  h[i + 3].first *= 1.02f;
}

class CoderHarmTable : public ::testing::TestWithParam<CoderHarmRow> {};

TEST_P(CoderHarmTable, ReadsTheRecordInStep) {
  const CoderHarmRow& row = GetParam();
  const TapeBlock record = row.header ? kHeader : MakeRecord(0xFF, Bytes(40, 9));
  Halves data = SyncAndBits(record);
  row.harm(data);
  BlockReader reader(44100);
  if (row.lengthKnown) reader.ExpectLength(record.size() - 2);
  const std::vector<SignalRecord> found = ReadAll(reader, Joined({PilotHalves(1000), data, {{44100.0f, 1.0f}}}));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].bytes, Body(record));
  EXPECT_TRUE(found[0].checksumOk);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CoderHarmTable,
    ::testing::Values(CoderHarmRow{"header_sync_into_a_zero_bit", true, false, SyncIntoData},
                      CoderHarmRow{"data_sync_into_a_one_bit_length_known", false, true, SyncIntoData},
                      CoderHarmRow{"data_sync_into_a_one_bit", false, false, SyncIntoData},
                      // The flag's first 1 bit uneven, its second half-wave
                      // near enough to the pilot's to fit it.
                      CoderHarmRow{"data_sync_into_an_uneven_one_bit", false, true,
                                   [](Halves& h) {
                                     SyncIntoData(h);
                                     h[1].first *= 1.08f;
                                     h[2].first *= 0.92f;
                                   }},
                      CoderHarmRow{"zero_bits_middle_edge_early", false, true, [](Halves& h) { EdgeEarly(h, 102); }},
                      // Both in one record: a swing lost early, an edge moved later.
                      CoderHarmRow{"lost_swing_and_middle_edge_early", false, true,
                                   [](Halves& h) {
                                     h = LostSwing(h, true);
                                     EdgeEarly(h, 402);
                                   }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo
