// TAP loading on arbitrary files into a project that may already be nearly or
// completely full, then everything the main window builds from the project:
// the list lines, the summary, the checksum repair, and saving it back.
//
// Input: 2 steering bytes (how full the project is and whether to save it,
// the answers to the checksum questions), then the file.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "project/block_list.h"
#include "project/checksum.h"
#include "project/tap_file.h"

namespace reelo::fuzz {
namespace {

constexpr std::size_t kSteeringBytes = 2;
constexpr std::array<int, 6> kProjectFill = {0, 0, 1, 3, kMaxBlocks - 1, kMaxBlocks};

// What the file holds by the format's rules: its whole records in order, and
// whether it ends inside a record (a single byte after the last record is not one).
struct FileRecords {
  std::vector<TapeBlock> records;
  bool truncated = false;
};

FileRecords SplitRecords(const Bytes& file) {
  FileRecords out;
  std::size_t at = 0;
  while (file.size() - at >= 2) {
    const std::size_t n = static_cast<std::size_t>(WordFromBytes(file[at], file[at + 1])) + 2;
    if (n > file.size() - at) {
      out.truncated = true;
      break;
    }
    out.records.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(at),
                             file.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  }
  return out;
}

TapeProject ProjectWithBlocks(int count) {
  TapeProject project;
  for (int i = 0; i < count; ++i) {
    const auto b = static_cast<std::uint8_t>(i);
    project.blocks.push_back(MakeRecord({0xFF, b, static_cast<std::uint8_t>(0xFF ^ b)}));  // checksum correct
  }
  project.fileName = "старый.tap";
  project.modified = (count % 2) != 0;
  return project;
}

void CheckLoad(TapeProject& project, const Bytes& file, const std::string& path) {
  const TapeProject before = project;
  CheckedProgress progress;
  const OpResult result = LoadTapFile(project, path, progress);
  const FileRecords expected = SplitRecords(file);
  const int fits = std::min<int>(static_cast<int>(expected.records.size()), before.freeSlots());
  FUZZ_CHECK(project.blockCount() == before.blockCount() + fits && project.blockCount() <= kMaxBlocks);
  FUZZ_CHECK(std::equal(before.blocks.begin(), before.blocks.end(), project.blocks.begin()));
  FUZZ_CHECK(std::equal(expected.records.begin(), expected.records.begin() + fits,
                        project.blocks.begin() + before.blockCount()));
  FUZZ_CHECK(project.fileName == before.fileName && project.modified == before.modified);
  const bool complete = !expected.truncated && fits == static_cast<int>(expected.records.size());
  FUZZ_CHECK(result.kind == (complete ? OpResult::Kind::Ok : OpResult::Kind::Warning));
  FUZZ_CHECK(IsUtf8(result.message));
  FUZZ_CHECK(progress.label == kLoadTapLabel && progress.maximum == static_cast<long long>(file.size()) + 1);
  FUZZ_CHECK(progress.ended == 1);
}

void CheckListAndSummary(const TapeProject& project) {
  const std::vector<std::string> lines = BlockListLines(project);
  FUZZ_CHECK(lines.size() == project.blocks.size());
  // A header of an unknown type whose name is all bytes 20 lists as an empty
  // line, as the list's rules say; every line must still be whole UTF-8.
  for (const auto& line : lines) FUZZ_CHECK(IsUtf8(line));
  // No control code of a name reaches a line (a line feed would split it, an
  // escape would drive a terminal), and the damage marks go with the same lines.
  for (const auto& line : lines) {
    for (const char c : line) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
  }
  const std::vector<BlockListEntry> entries = BlockListEntries(project);
  FUZZ_CHECK(entries.size() == lines.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    FUZZ_CHECK(entries[i].line == lines[i]);
    FUZZ_CHECK(entries[i].damage.empty() == ChecksumMatches(project.blocks[i]) || RecordLength(project.blocks[i]) < 2 ||
               project.blocks[i].size() < static_cast<std::size_t>(RecordLength(project.blocks[i])) + 2);
  }
  long long files = 0;
  for (const auto& block : project.blocks) files += IsHeader(block) ? 1 : 0;
  const ProjectSummary summary = Summarize(project);
  FUZZ_CHECK(summary.blocksText == "Блоков:" + NumberText(project.blockCount()));
  FUZZ_CHECK(summary.filesText == "Файлов:" + NumberText(files));
  FUZZ_CHECK(IsUtf8(summary.title) && IsUtf8(summary.dataText));
}

// Questions come for exactly the mismatching blocks, in order; a yes repairs it.
void CheckChecksums(TapeProject& project, std::uint8_t answerBits) {
  const TapeProject before = project;
  std::vector<int> asked;
  int question = 0;
  auto repair = [&](const ChecksumMismatch& m) {
    asked.push_back(m.blockNumber);
    FUZZ_CHECK(IsUtf8(ChecksumQuestionText(m)));
    return ((answerBits >> (question++ % 8)) & 1) != 0;
  };
  const ChecksumOutcome outcome = CheckAndRepairChecksums(project, repair);
  std::vector<int> mismatching;
  bool anyLeft = false, anyRepaired = false;
  for (std::size_t i = 0; i < before.blocks.size(); ++i) {
    if (ChecksumMatches(before.blocks[i])) {
      FUZZ_CHECK(project.blocks[i] == before.blocks[i]);
      continue;
    }
    mismatching.push_back(static_cast<int>(i) + 1);
    const bool repaired = ChecksumMatches(project.blocks[i]);
    anyLeft |= !repaired;
    anyRepaired |= repaired;
    // Only the checksum byte may change.
    TapeBlock unrepaired = project.blocks[i];
    const auto checksumAt = static_cast<std::size_t>(RecordLength(unrepaired) + 1);
    if (checksumAt < unrepaired.size()) unrepaired.set(checksumAt, before.blocks[i][checksumAt]);
    FUZZ_CHECK(unrepaired == before.blocks[i]);
  }
  FUZZ_CHECK(asked == mismatching);
  FUZZ_CHECK(outcome == (mismatching.empty() ? ChecksumOutcome::AllMatched
                         : anyLeft           ? ChecksumOutcome::SomeLeft
                                             : ChecksumOutcome::AllRepaired));
  FUZZ_CHECK(project.modified == (before.modified || anyRepaired));
}

// Saving writes the blocks back to back; loading that file gives them again.
void CheckSaveAndReload(TapeProject& project) {
  project.fileName = ScratchPath("saved.tap");
  CheckedProgress progress;
  FUZZ_CHECK(SaveTapFile(project, progress).kind == OpResult::Kind::Ok);
  FUZZ_CHECK(!project.modified && progress.ended == 1);
  Bytes expected;
  for (const auto& block : project.blocks) expected.insert(expected.end(), block.begin(), block.end());
  FUZZ_CHECK(ReadScratch(project.fileName) == expected);
  TapeProject reloaded;
  NullProgress quiet;
  FUZZ_CHECK(LoadTapFile(reloaded, project.fileName, quiet).kind == OpResult::Kind::Ok);
  FUZZ_CHECK(reloaded.blocks == project.blocks);
}

}  // namespace
}  // namespace reelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace reelo::fuzz;
  Steering steering(data, size, kSteeringBytes);
  const std::uint8_t shape = steering.Next();
  reelo::TapeProject project = ProjectWithBlocks(kProjectFill[(shape & 0x0F) % kProjectFill.size()]);
  const std::uint8_t answers = steering.Next();
  const Bytes file = steering.payloadBytes();
  const std::string path = ScratchPath("input.tap");
  WriteScratch(path, file.data(), file.size());

  CheckLoad(project, file, path);
  CheckListAndSummary(project);
  CheckChecksums(project, answers);
  // Saving costs a 1 MB write buffer per execution: one input in two does it.
  if ((shape & 0x10) != 0) CheckSaveAndReload(project);
  return 0;
}
