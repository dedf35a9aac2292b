// Recordings as people bring them, made for the window tests: the program's
// own export turned into other rates, depths and channel layouts through
// libsndfile, and a file that libsndfile cannot read.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

#include "tape_builders.h"

namespace reelo::testing {

struct RecordingForm {
  int rate = 44100;
  int channels = 2;
  int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  int signalChannel = 0;  // the other channels are silent
  int repeat = 2;         // each sample of the 22050 Hz export, this many times
  double amplitude = 0.5; // of the export's high and low levels
};

// The samples of an 8-bit export (header skipped) as a float signal: the
// export's levels 95 and 159 become -amplitude and +amplitude, its rest 0.
inline std::vector<float> ExportSignal(const Bytes& wav8, double amplitude, int repeat) {
  std::vector<float> signal;
  signal.reserve((wav8.size() - std::min<std::size_t>(44, wav8.size())) * static_cast<std::size_t>(repeat));
  for (std::size_t i = 44; i < wav8.size(); ++i) {
    const double level = (static_cast<int>(wav8[i]) - 127) / 32.0 * amplitude;
    signal.insert(signal.end(), static_cast<std::size_t>(repeat), static_cast<float>(level));
  }
  return signal;
}

// Writes the signal into one channel of a new sound file; false on failure.
inline bool WriteRecording(const std::string& path, const std::vector<float>& signal, const RecordingForm& form) {
  SF_INFO info{};
  info.samplerate = form.rate;
  info.channels = form.channels;
  info.format = form.format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  std::vector<float> frames(signal.size() * static_cast<std::size_t>(form.channels), 0.0f);
  for (std::size_t i = 0; i < signal.size(); ++i) {
    frames[i * static_cast<std::size_t>(form.channels) + static_cast<std::size_t>(form.signalChannel)] = signal[i];
  }
  const sf_count_t written = sf_writef_float(file, frames.data(), static_cast<sf_count_t>(signal.size()));
  return sf_close(file) == 0 && written == static_cast<sf_count_t>(signal.size());
}

}  // namespace reelo::testing
