#include "sound/import/loaded_blocks.h"

#include <algorithm>
#include <string>

namespace reelo {
namespace {

std::string NoRoomText(int leftOut) {
  return "В проекте может быть не больше" + NumberText(kMaxBlocks) + " блоков: не добавлено загруженных блоков:" +
         NumberText(leftOut) + ".";
}

}  // namespace

OpResult AddLoadedBlocks(TapeProject& project, const ImportState& state) {
  const int count = state.loadedBlockCount();
  const int fitting = std::clamp(project.freeSlots(), 0, count);
  project.blocks.insert(project.blocks.end(), state.loadedBlocks.begin(), state.loadedBlocks.begin() + fitting);
  if (fitting > 0) project.modified = true;
  project.blockSelected = false;
  const int leftOut = count - fitting;
  return leftOut > 0 ? OpResult::Warn(NoRoomText(leftOut)) : OpResult::Success();
}

}  // namespace reelo
