// The size of every TZX block from the bytes after its ID alone: the format
// gives every block a length a reader can skip by, and any block of an ID it
// does not define starts with the length of the rest in 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace reelo {

inline constexpr std::size_t kTzxHeaderSize = 10;  // "ZXTape!", 0x1A, major and minor version

// The size of a block's body (the bytes after its ID) from the first bytes of
// that body (left of them in the file), or nothing when the file ends before
// the count that gives it.
std::optional<std::uint64_t> TzxBodySize(std::uint8_t id, const std::uint8_t* body, std::uint64_t left);

}  // namespace reelo
