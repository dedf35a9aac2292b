// Recordings made in code: the ROM's tape signal of some records at any rate
// and speed, a few cassette effects, and files written through libsndfile in
// any format it writes.
#pragma once

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "project/tape_project.h"
#include "sound/recording/signal_stages.h"

namespace reelo::testing {

// Interleaved frames of a recording, -1..1.
struct Recording {
  int rate = 44100;
  int channels = 1;
  std::vector<float> samples;
};

// The ROM's signal: half-waves in T-states at 3.5 MHz, the level toggling at
// each edge. The pilot is shorter than the ROM's (pilotHalfWaves) to keep the
// tests quick. After each record the level holds for 1 ms, then a pause of
// silence.
inline std::vector<float> RomSignal(const std::vector<TapeBlock>& records, double rate, double speed = 1.0,
                                    int pilotHalfWaves = 1200, double pauseSeconds = 0.5) {
  std::vector<float> out;
  const double tPerSample = 3500000.0 / rate * speed;
  double clock = 0;  // T-states since the start, at the next sample
  float level = 1.0f;
  auto emit = [&](double tstates) {
    while (clock < tstates) {
      out.push_back(level);
      clock += tPerSample;
    }
    clock -= tstates;
    level = -level;
  };
  out.insert(out.end(), static_cast<std::size_t>(rate * 0.2), 0.0f);
  for (const TapeBlock& record : records) {
    level = 1.0f;
    for (int i = 0; i < pilotHalfWaves; ++i) emit(2168);
    emit(667);
    emit(735);
    for (std::size_t i = 2; i < record.size(); ++i) {
      for (int bit = 7; bit >= 0; --bit) {
        const double half = (record[i] >> bit) & 1 ? 1710 : 855;
        emit(half);
        emit(half);
      }
    }
    emit(3500);  // 1 ms at the last level
    out.insert(out.end(), static_cast<std::size_t>(rate * pauseSeconds), 0.0f);
    clock = 0;
  }
  return out;
}

inline Recording Mono(std::vector<float> samples, int rate) { return {rate, 1, std::move(samples)}; }

// Two channels from two signals of the same length.
inline Recording Stereo(const std::vector<float>& left, const std::vector<float>& right, int rate) {
  Recording r{rate, 2, {}};
  for (std::size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
    r.samples.push_back(i < left.size() ? left[i] : 0.0f);
    r.samples.push_back(i < right.size() ? right[i] : 0.0f);
  }
  return r;
}

inline std::vector<float> Scaled(std::vector<float> x, float gain, float offset = 0) {
  for (float& v : x) v = std::clamp(v * gain + offset, -1.0f, 1.0f);
  return x;
}

inline std::vector<float> LowPassed(std::vector<float> x, double hz, double rate) {
  Biquad a = Biquad::LowPass(hz, rate), b = Biquad::LowPass(hz, rate);
  for (float& v : x) v = b.Process(a.Process(v));
  return x;
}

// White noise at the given ratio below the signal's RMS (dB), seeded.
inline std::vector<float> Noisy(std::vector<float> x, double snrDb, unsigned seed = 7) {
  double power = 0;
  for (float v : x) power += v * v;
  const double sigma = std::sqrt(power / static_cast<double>(x.size())) / std::pow(10.0, snrDb / 20);
  std::mt19937 gen(seed);
  std::normal_distribution<double> noise(0, sigma);
  for (float& v : x) v = static_cast<float>(std::clamp(v + noise(gen), -1.0, 1.0));
  return x;
}

// Writes the recording through libsndfile; false when it cannot.
inline bool WriteRecording(const std::string& path, const Recording& r, int format) {
  SF_INFO info{};
  info.samplerate = r.rate;
  info.channels = r.channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  const sf_count_t frames = static_cast<sf_count_t>(r.samples.size()) / r.channels;
  const bool ok = sf_writef_float(file, r.samples.data(), frames) == frames;
  sf_close(file);
  return ok;
}

}  // namespace reelo::testing
