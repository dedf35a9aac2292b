// The period decoder on arbitrary sound: raw samples, or a square wave whose
// half-wave lengths are the input's bytes (so pilots, syncs and data are near).
// Checked against plain rules: a record has a flag and a checksum, one
// confidence per bit, its checksum state is what its bytes say, a repair stays
// within its limit, positions lie inside the recording in order; and the same
// sound delivered in other pieces gives the same records.
//
// Input: 8 steering bytes (the way: raw or half-waves; the rate; the piece
// sizes of the two readings; the level; a stop after so many progress calls),
// then the sound.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "sound/recording/bit_repair.h"
#include "sound/recording/signal_decoder.h"

namespace reelo::fuzz {
namespace {

constexpr std::size_t kSteeringBytes = 8;
constexpr int kRates[] = {8000, 11025, 22050, 44100, 48000, 96000};
constexpr std::size_t kMaxSamples = 1 << 18;

class PieceSource final : public SampleSource {
 public:
  PieceSource(const std::vector<float>& samples, int rate, std::size_t piece)
      : samples_(samples), rate_(rate), piece_(piece) {}
  int rate() const override { return rate_; }
  std::int64_t length() const override { return static_cast<std::int64_t>(samples_.size()); }
  std::size_t Read(float* out, std::size_t maxSamples) override {
    FUZZ_CHECK(maxSamples > 0);
    const std::size_t n = std::min({maxSamples, piece_, samples_.size() - position_});
    std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position_), n, out);
    position_ += n;
    return n;
  }

 private:
  const std::vector<float>& samples_;
  int rate_;
  std::size_t piece_;
  std::size_t position_ = 0;
};

class Events final : public DecodeEvents {
 public:
  bool Progress(std::int64_t done) override {
    FUZZ_CHECK(done >= last_);
    last_ = done;
    return true;
  }
  void ReportLine(const std::string& line) override { FUZZ_CHECK(!line.empty()); }

 private:
  std::int64_t last_ = 0;
};

std::vector<float> SoundFrom(const Steering& s, bool halfWaves, float level) {
  std::vector<float> out;
  const std::uint8_t* p = s.payload();
  if (!halfWaves) {
    for (std::size_t i = 0; i < s.payloadSize(); ++i) out.push_back(level * (static_cast<float>(p[i]) - 128) / 128);
    return out;
  }
  // Each byte a half-wave of that many samples (0: a tenth of a second of silence).
  float sign = 1;
  for (std::size_t i = 0; i < s.payloadSize() && out.size() < kMaxSamples; ++i) {
    const std::size_t n = p[i] == 0 ? 2205 : p[i];
    out.insert(out.end(), n, p[i] == 0 ? 0.0f : sign * level);
    sign = -sign;
  }
  return out;
}

void CheckResult(const SignalDecodeResult& r, std::int64_t total) {
  FUZZ_CHECK(r.samplesRead == total);
  FUZZ_CHECK(!r.stopped);
  std::int64_t previousEnd = -1;
  for (const SignalRecord& rec : r.records) {
    FUZZ_CHECK(rec.bytes.size() >= 2);
    FUZZ_CHECK(rec.confidence.size() == rec.bytes.size() * 8);
    FUZZ_CHECK(rec.checksumOk == (RecordSyndrome(rec.bytes) == 0));
    FUZZ_CHECK(rec.repairedBits >= 0 && rec.repairedBits <= 3);
    FUZZ_CHECK(rec.repairedBits == 0 || rec.checksumOk);
    FUZZ_CHECK(rec.pilotSample <= rec.dataSample && rec.dataSample <= rec.endSample && rec.endSample <= total);
    FUZZ_CHECK(rec.pilotHalfWaves >= 400);
    FUZZ_CHECK(rec.pilotSample >= previousEnd - 1);
    previousEnd = rec.endSample;
  }
}

bool SameRecords(const SignalDecodeResult& a, const SignalDecodeResult& b) {
  if (a.records.size() != b.records.size()) return false;
  for (std::size_t i = 0; i < a.records.size(); ++i) {
    if (a.records[i].bytes != b.records[i].bytes || a.records[i].confidence != b.records[i].confidence ||
        a.records[i].endSample != b.records[i].endSample) {
      return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace reelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace reelo;
  using namespace reelo::fuzz;
  Steering s(data, size, kSteeringBytes);
  const bool halfWaves = s.Next() % 2 != 0;
  const int rate = kRates[s.Next() % std::size(kRates)];
  const std::size_t pieceA = 1 + static_cast<std::size_t>(s.NextWord() % 20000);
  const std::size_t pieceB = 1 + static_cast<std::size_t>(s.Next());
  const float level = static_cast<float>(1 + s.Next()) / 256.0f;
  const std::vector<float> sound = SoundFrom(s, halfWaves, level);
  const auto total = static_cast<std::int64_t>(sound.size());

  PieceSource a(sound, rate, pieceA), b(sound, rate, pieceB);
  Events ea, eb;
  const SignalDecodeResult ra = DecodeSignal(a, ea);
  const SignalDecodeResult rb = DecodeSignal(b, eb);
  CheckResult(ra, total);
  FUZZ_CHECK(SameRecords(ra, rb));
  return 0;
}
