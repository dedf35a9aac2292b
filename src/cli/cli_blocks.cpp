// bas2tap and bin2tap: a program from BASIC text, a CODE block from a binary,
// each as a header and data block written to a new TAP file or appended to one.
#include <filesystem>

#include "blocks/block_makers.h"
#include "cli/commands.h"
#include "project/block_access.h"
#include "project/edits.h"
#include "project/header_info.h"

namespace reelo::cli {
namespace {

constexpr long long kMaxLine = 9999;
constexpr long long kMaxAddress = 65535;

// Writes the blocks as OUT (a new file), or after the blocks of OUT with
// --append (a missing OUT is then made new).
int WriteBlocks(const ParsedArgs& parsed, const MadeBlocks& made, Io& io) {
  if (!made.status.ok()) {
    PrintFailure(io, made.status.message, made.status.detail);
    return kExitUsage;
  }
  const std::string& out = parsed.positional[1];
  TapeProject project;
  EditHistory history;
  std::error_code ec;
  if (parsed.has("--append") && std::filesystem::exists(out, ec) && !ReadTape(out, project, io)) return kExitUsage;
  const EditResult added = InsertBlocks(project, history, project.blockCount(), made.blocks);
  if (!added.status.ok()) {
    PrintFailure(io, added.status.message + " (" + out + ")");
    return kExitUsage;
  }
  return WriteTape(project, out, io) ? kExitOk : kExitUsage;
}

// The block name: --name, or the input file's name.
std::string NameOf(const ParsedArgs& parsed) {
  return parsed.has("--name") ? parsed.value("--name") : DefaultBlockName(parsed.positional[0]);
}

}  // namespace

int RunBas2Tap(const Args& args, Io& io) {
  const ParsedArgs parsed = ParseArgs(args, {{"--autostart", true}, {"--name", true}, {"--append", false}}, 2, 2);
  if (!parsed.error.empty()) return UsageError(io, "bas2tap", parsed.error);
  std::optional<int> autostart;
  if (parsed.has("--autostart")) {
    long long line = 0;
    if (!ParseNumber(parsed.value("--autostart"), 0, kMaxLine, line)) {
      return UsageError(io, "bas2tap", "строка запуска должна быть числом от 0 до 9999");
    }
    autostart = static_cast<int>(line);
  }
  return WriteBlocks(parsed, MakeBlocksFromFile(parsed.positional[0], SourceKind::Basic, NameOf(parsed), 0, autostart),
                     io);
}

int RunBin2Tap(const Args& args, Io& io) {
  const ParsedArgs parsed = ParseArgs(args, {{"--start", true}, {"--name", true}, {"--append", false}}, 2, 2);
  if (!parsed.error.empty()) return UsageError(io, "bin2tap", parsed.error);
  if (!parsed.has("--start")) return UsageError(io, "bin2tap", "не указан адрес загрузки --start");
  long long start = 0;
  if (!ParseNumber(parsed.value("--start"), 0, kMaxAddress, start)) {
    return UsageError(io, "bin2tap", "адрес загрузки должен быть числом от 0 до 65535");
  }
  const MadeBlocks made =
      MakeBlocksFromFile(parsed.positional[0], SourceKind::Binary, NameOf(parsed), static_cast<int>(start), {});
  // Data past address 65535 is written as asked (a loader may mean it), with
  // a warning: a refusal would break scripts that make such blocks on purpose.
  if (made.status.ok()) {
    const std::string pastEnd = PastMemoryEndWarning(static_cast<int>(start), DataLength(made.blocks.back()));
    if (!pastEnd.empty()) PrintFailure(io, "предупреждение: " + pastEnd);
  }
  return WriteBlocks(parsed, made, io);
}

}  // namespace reelo::cli
