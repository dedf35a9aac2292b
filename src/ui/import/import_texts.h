// Texts the load-from-WAV window shows beside the decoder's report: built
// from plain data here, so they can be checked without a window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/tape_project.h"
#include "sound/recording/recording_info.h"

namespace reelo {

// How many of the decoded records carry a checksum that matches their bytes
// and how many do not, on two lines:
// "Контрольная сумма верна: 3\nКонтрольная сумма неверна: 1".
std::string ChecksumTallyText(const std::vector<TapeBlock>& records);

// A length in frames at a rate as "0:07", "2:31" or "1:02:03" (whole seconds,
// rounded down); empty when the rate is not positive.
std::string DurationText(std::int64_t frames, int sampleRate);

// The format line of a recording: "Запись: 44100 Гц, 16 бит, стерео; WAV;
// 2:31".
std::string RecordingFormatText(const RecordingInfo& info);

// The lines joined by line breaks, as a label shows them.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace reelo
