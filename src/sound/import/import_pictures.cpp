#include "sound/import/import_pictures.h"

namespace reelo {

SpectrumPicture BuildSpectrumPicture(const PulseHistogram& histogram, const PulseBounds& bounds) {
  SpectrumPicture picture{};
  for (int band = 0; band < 3; ++band) {
    const int low = 2 * band;
    picture.bands[static_cast<std::size_t>(band)] = {bounds[low], bounds[low + 1],
                                                     kSpectrumBandColours[static_cast<std::size_t>(band)]};
  }
  for (int i = 0; i < PulseBounds::kCount; ++i) picture.labels[static_cast<std::size_t>(i)] = std::to_string(bounds[i]);
  const int base = kSpectrumScaleHeight - kSpectrumBaseOffset;
  picture.start = {0, base};
  for (int i = 0; i < kHistogramBins; ++i) {
    const int count = histogram[static_cast<std::size_t>(i)];
    picture.polyline[static_cast<std::size_t>(i)] = {i, base - count};
    if (count > 0) picture.markedLengths.push_back(i);
  }
  return picture;
}

QuestionPicture BuildQuestionPicture(RecordingReader& recording, std::int64_t position, int length) {
  QuestionPicture picture{};
  picture.bandLeft = kQuestionEndX - length;
  picture.bandRight = kQuestionEndX;
  const std::int64_t first = position - kQuestionSamplesBefore;
  for (int i = 0; i < kQuestionSampleCount; ++i) {
    picture.samples[static_cast<std::size_t>(i)] = recording.SampleAt(first + i);
  }
  return picture;
}

}  // namespace reelo
