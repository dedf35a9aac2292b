// The decoders' input: a recording as mono samples pulled in order at a fixed
// rate, whatever stands behind it (a sound file read through libsndfile, a
// preparation streaming its output, a rendered TZX block, samples in memory).
// Nothing here knows about files, so a prepared recording reaches a decoder
// without a temporary file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace reelo {

class SampleSource {
 public:
  virtual ~SampleSource() = default;
  // Samples per second.
  virtual int rate() const = 0;
  // The number of samples the source will deliver, or -1 when it is not
  // known in advance; used for progress only.
  virtual std::int64_t length() const = 0;
  // Reads up to maxSamples samples (-1..1) into out and returns how many
  // arrived; 0 only at the end of the recording.
  virtual std::size_t Read(float* out, std::size_t maxSamples) = 0;
};

// A recording of 8-bit samples (unsigned, 128 the middle) handed out as they
// are, a large block per call: the exact import reads its levels from one,
// with no conversion and one virtual call per block rather than per sample.
// As a SampleSource it gives the same samples as -1..1.
class ByteSampleSource : public SampleSource {
 public:
  // Reads up to size samples into dest, from where the last read ended (or
  // Seek put it), and returns how many arrived; 0 at the end or when the
  // source cannot give more.
  virtual std::size_t ReadBytes(std::uint8_t* dest, std::size_t size) = 0;
  // Moves the next read to the sample at index (0-based); false when the
  // source cannot go there (a stream read once).
  virtual bool Seek(std::int64_t index) {
    (void)index;
    return false;
  }

  // Samples the source already holds in memory, lent without a copy: a
  // stretch that holds the sample at index, data[0] being the sample at
  // first. Valid until the next call on the source. None (count 0) where the
  // source holds none; ReadBytes then copies them.
  struct Lent {
    const std::uint8_t* data = nullptr;
    std::int64_t first = 0;
    std::int64_t count = 0;
  };
  virtual Lent Lend(std::int64_t index) {
    (void)index;
    return {};
  }

  std::size_t Read(float* out, std::size_t maxSamples) override {
    constexpr std::size_t kBlock = 4096;
    std::uint8_t block[kBlock];
    const std::size_t n = ReadBytes(block, maxSamples < kBlock ? maxSamples : kBlock);
    for (std::size_t i = 0; i < n; ++i) out[i] = (static_cast<float>(block[i]) - 128.0f) / 128.0f;
    return n;
  }
};

// What a decoding run tells the one who started it. The run calls Progress
// about every few milliseconds of work (by time, not per sample), so a window
// may process its events there.
class DecodeEvents {
 public:
  virtual ~DecodeEvents() = default;
  // Samples consumed so far; return false to stop the run.
  virtual bool Progress(std::int64_t samplesDone) = 0;
  // One line of the running report ("Найдены данные...").
  virtual void ReportLine(const std::string& line) = 0;
};

}  // namespace reelo
