#include "sound/import/loaded_blocks.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace reelo {
namespace {

std::string NoRoomText(int leftOut) {
  return "В проекте может быть не больше" + NumberText(kMaxBlocks) + " блоков: не добавлено загруженных блоков:" +
         NumberText(leftOut) + ".";
}

}  // namespace

OpResult AddLoadedBlocks(TapeProject& project, const ImportState& state) {
  TapeRead read = LoadedBlocksToAdd(state, project.freeSlots());
  if (!read.blocks.empty()) project.modified = true;
  project.blocks.insert(project.blocks.end(), std::make_move_iterator(read.blocks.begin()),
                        std::make_move_iterator(read.blocks.end()));
  project.blockSelected = false;
  return read.status;
}

TapeRead LoadedBlocksToAdd(const ImportState& state, int room) {
  const int count = state.loadedBlockCount();
  const int fitting = std::clamp(room, 0, count);
  TapeRead read;
  read.blocks.assign(state.loadedBlocks.begin(), state.loadedBlocks.begin() + fitting);
  const int leftOut = count - fitting;
  if (leftOut > 0) read.status = OpResult::Warn(NoRoomText(leftOut));
  return read;
}

}  // namespace reelo
