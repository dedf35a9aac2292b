// A 16-bit recording read through the source gives the very floats
// libsndfile gives (the source converts such samples itself): every one of
// the 65536 values, in each container, from one channel or the mean of two.
#include "sound/recording/sound_file_source.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstring>

#include "tape_builders.h"

namespace reelo {
namespace {

struct SourceRow {
  const char* name;
  int format;
  int channels;
  int channel;  // -1: the mean
};

class Pcm16Table : public ::testing::TestWithParam<SourceRow> {};

TEST_P(Pcm16Table, GivesLibsndfilesFloats) {
  const SourceRow& row = GetParam();
  testing::TempDir dir;
  const std::string path = (dir.path() / "all_values").string();
  // Every 16-bit value once in each channel, the second channel reversed.
  std::vector<std::int16_t> frames;
  for (int v = 0; v < 65536; ++v) {
    frames.push_back(static_cast<std::int16_t>(v - 32768));
    if (row.channels == 2) frames.push_back(static_cast<std::int16_t>(32767 - v));
  }
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = row.channels;
  info.format = row.format;
  SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(out, nullptr) << sf_strerror(nullptr);
  ASSERT_EQ(sf_writef_short(out, frames.data(), 65536), 65536);
  sf_close(out);

  SoundFile file;
  ASSERT_TRUE(file.Open(path).ok());
  EXPECT_TRUE(file.pcm16());
  SoundFileSource source(file, row.channel);
  std::vector<float> got(70000);
  std::size_t n = 0;
  while (std::size_t piece = source.Read(got.data() + n, 5000)) n += piece;
  ASSERT_EQ(n, 65536u);

  // The same file through libsndfile's own floats.
  SF_INFO again{};
  SNDFILE* in = sf_open(path.c_str(), SFM_READ, &again);
  ASSERT_NE(in, nullptr);
  sf_command(in, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  std::vector<float> floats(65536 * static_cast<std::size_t>(row.channels));
  ASSERT_EQ(sf_readf_float(in, floats.data(), 65536), 65536);
  sf_close(in);
  for (std::size_t i = 0; i < 65536; ++i) {
    const std::size_t c = static_cast<std::size_t>(row.channels);
    const float want = row.channel >= 0 ? floats[i * c + static_cast<std::size_t>(row.channel)]
                                        : (c == 1 ? floats[i] : (floats[i * 2] + floats[i * 2 + 1]) / 2.0f);
    ASSERT_EQ(std::memcmp(&want, &got[i], sizeof want), 0) << "value " << i << ": " << want << " / " << got[i];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Containers, Pcm16Table,
    ::testing::Values(SourceRow{"wav_mono", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 0},
                      SourceRow{"wav_right", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 1},
                      SourceRow{"wav_mean", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, -1},
                      SourceRow{"wavex_left", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 2, 0},
                      SourceRow{"rf64_mono", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 1, 0},
                      SourceRow{"w64_mean", SF_FORMAT_W64 | SF_FORMAT_PCM_16, 2, -1},
                      SourceRow{"aiff_mono", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 0},
                      SourceRow{"caf_right", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 2, 1},
                      SourceRow{"au_mono", SF_FORMAT_AU | SF_FORMAT_PCM_16, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo
