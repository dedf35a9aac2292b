// A CSW file made safe for libspectrum: its header checked, a compressed
// recording unpacked here with a limit on its size, and the result given back
// as a plain (run-length) version 2 file with no header extension.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace reelo {

// The unpacked pulse data of one CSW file may not be larger than this.
inline constexpr std::uint64_t kMaxCswPulseData = std::uint64_t{128} << 20;

// Fills plain from file; false with a reason in the user's words when the
// header is damaged, the rate is 0, the compression is unknown, the packed
// data is damaged or unpacks to more than kMaxCswPulseData.
bool MakePlainCsw(const std::uint8_t* file, std::size_t size, std::vector<std::uint8_t>& plain, std::string& reason);

}  // namespace reelo
