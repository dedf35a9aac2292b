#include "project/block_access.h"

namespace reelo {

const TapeBlock& BlockAt(const TapeProject& project, int index) {
  static const TapeBlock kNoBlock;
  if (index < 0 || index >= project.blockCount()) return kNoBlock;
  return project.blocks[static_cast<std::size_t>(index)];
}

}  // namespace reelo
