// A small PNG writer for pictures the program shows (the screen view):
// 8-bit RGB, no interlace, one zlib stream; written atomically.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/op_result.h"

namespace reelo {

// The PNG bytes of a width x height picture given as RGB triples, row by row.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

// Writes EncodePng's bytes to path, replacing it atomically; kSaveFailedText on failure.
OpResult WritePngFile(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace reelo
