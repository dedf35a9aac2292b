// The fields of one block as the header frame of the main window shows them:
// a header's type, start, size and autostart; a turbo block's timings; the
// tone, pause, text, message or archive entries of the other kinds. One row
// per field, each a caption and a value, both texts the user reads.
#pragma once

#include <string>
#include <vector>

#include "project/tape_project.h"

namespace reelo {

struct BlockField {
  std::string key;      // what the row holds (Type, Pilot, Text ...), the same for every block
  std::string caption;  // "Тип:"
  std::string value;    // "Bytes"
  bool operator==(const BlockField&) const = default;
};

// What the frame says of a block: its title and rows. No rows for a plain
// data record (nothing to show beyond its list line).
struct BlockFields {
  std::string title;
  std::vector<BlockField> rows;
  bool turbo = false;  // the timings can be changed (a turbo block)
};

BlockFields BlockFieldsOf(const TapeBlock& block);

}  // namespace reelo
