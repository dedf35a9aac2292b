// Tape files of every format the program opens (TZX, PZX, CSW, TAP, told by
// their content) on arbitrary bytes, into a project that may already be nearly
// or completely full; then the loaded project saved as TZX and as TAP and
// loaded back into an empty project. The model: a TZX saved and loaded again
// gives the same blocks of every kind, and saved again the same bytes; a TAP
// gives the records of the blocks that hold them with the records decoded
// from the signal blocks in their place. The loaded tape's signal
// has an end whatever its loops and jumps.
//
// Input: 1 steering byte (how full the project is, whether to save), then the file.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/signal_blocks.h"
#include "formats/tape_file.h"
#include "formats/tzx_file.h"
#include "project/block_fields.h"
#include "sound/export/signal_stream.h"
#include "fuzz_support.h"

namespace reelo::fuzz {
namespace {

constexpr std::size_t kSteeringBytes = 1;
constexpr std::array<int, 4> kProjectFill = {0, 2, kMaxBlocks - 1, kMaxBlocks};

TapeProject ProjectWithBlocks(int count) {
  TapeProject project;
  for (int i = 0; i < count; ++i) {
    const auto b = static_cast<std::uint8_t>(i);
    project.blocks.push_back(MakeRecord({0xFF, b, static_cast<std::uint8_t>(0xFF ^ b)}));
  }
  project.fileName = "старая.tzx";
  project.modified = (count % 2) != 0;
  return project;
}

// A load's progress: one Begin, steps that never go back and never pass the
// maximum (a long signal run may repeat the value it stands at), one End.
class LoadProgressCheck final : public Progress {
 public:
  void Begin(const std::string& text, long long max) override {
    FUZZ_CHECK(begun++ == 0 && max >= 0 && IsUtf8(text));
    maximum = max;
  }
  void Step(long long value) override {
    FUZZ_CHECK(begun == 1 && ended == 0 && value >= last && value <= maximum);
    last = value;
  }
  void End() override { FUZZ_CHECK(begun == 1 && ended++ == 0); }

  long long maximum = -1, last = 0;
  int begun = 0, ended = 0;
};

bool AllZero(const TapeLoadCounts& c) {
  return c.taken == 0 && c.keptKinds == 0 && c.converted == 0 && c.badChecksums == 0 && c.signalBlocks == 0 && c.decodedRecords == 0 &&
         c.signalWithoutData == 0 && c.signalNotDecoded == 0 && c.pauses == 0 && c.groups == 0 && c.texts == 0 &&
         c.unknown == 0 && c.recordsLeftOut == 0;
}

// The tally must account for every record the load added and for those it
// had no room for.
void CheckCounts(const TapeLoadCounts& c, TapeFormat format, int added, int freeSlots) {
  const int found = c.taken + c.keptKinds + c.converted + c.decodedRecords;
  FUZZ_CHECK(c.badChecksums >= 0 && c.badChecksums <= c.converted);
  FUZZ_CHECK(c.signalWithoutData >= 0 && c.signalWithoutData <= c.signalBlocks);
  FUZZ_CHECK(c.pauses >= 0 && c.groups >= 0 && c.texts >= 0 && c.unknown >= 0 && c.signalNotDecoded >= 0);
  if (format == TapeFormat::Tap) {
    FUZZ_CHECK(AllZero(c));
    return;
  }
  // Taken and converted blocks count only when they were kept; decoded records
  // count whether they fitted or not.
  FUZZ_CHECK(added >= c.taken + c.keptKinds + c.converted && added <= found);
  FUZZ_CHECK(added + c.recordsLeftOut >= found);
  if (c.recordsLeftOut > 0 || c.signalNotDecoded > 0) FUZZ_CHECK(added == freeSlots);
  if (c.recordsLeftOut == 0) FUZZ_CHECK(added == found);
}

// Returns whether the load kept the project's old blocks and added some.
bool CheckLoad(TapeProject& project, const Bytes& file, const std::string& path) {
  const TapeProject before = project;
  LoadProgressCheck progress;
  TapeLoadCounts counts;
  counts.taken = -1;  // must be overwritten
  const OpResult result = LoadTapeFile(project, path, progress, &counts);
  FUZZ_CHECK(IsUtf8(result.message) && IsUtf8(result.detail));
  FUZZ_CHECK(project.fileName == before.fileName && project.modified == before.modified);
  FUZZ_CHECK(progress.begun == 1 && progress.ended == 1);
  if (result.kind == OpResult::Kind::Error) {
    FUZZ_CHECK(!result.message.empty());
    FUZZ_CHECK(project.blocks == before.blocks);
    return false;
  }
  const TapeFormat format = DetectTapeFormat(file.data(), file.size());
  const int added = project.blockCount() - before.blockCount();
  FUZZ_CHECK(added >= 0 && added <= before.freeSlots());
  FUZZ_CHECK(std::equal(before.blocks.begin(), before.blocks.end(), project.blocks.begin()));
  CheckCounts(counts, format, added, before.freeSlots());
  if (format != TapeFormat::Tap) {
    // Every record the readers hand over is whole: its length field tells its
    // size; a block of another kind holds no bytes of a record.
    for (auto it = project.blocks.begin() + before.blockCount(); it != project.blocks.end(); ++it) {
      if (it->holdsRecord()) {
        FUZZ_CHECK(it->size() >= 2 && RecordLength(*it) == static_cast<int>(it->size()) - 2);
      } else {
        FUZZ_CHECK(it->empty() && it->kept);
        // The block frame names every kind, whatever its fields hold.
        FUZZ_CHECK(!BlockFieldsOf(*it).rows.empty());
      }
    }
    // An Ok load is one of standard blocks that all fitted.
    if (result.kind == OpResult::Kind::Ok) {
      FUZZ_CHECK(counts.converted == 0 && counts.signalBlocks == 0 && counts.recordsLeftOut == 0);
    }
  }
  return true;
}

// Saved under the name and loaded into an empty project: the same records.
void CheckSaveAndReload(const TapeProject& loaded, const std::string& name) {
  TapeProject project = loaded;
  project.fileName = ScratchPath(name);
  project.modified = true;
  NullProgress quiet;
  const OpResult saved = SaveTapeFile(project, quiet);
  FUZZ_CHECK(saved.ok() && !project.modified && IsUtf8(saved.message));
  TapeProject reloaded;
  TapeLoadCounts counts;
  const OpResult result = LoadTapeFile(reloaded, project.fileName, quiet, &counts);
  if (!IsTzxFileName(name)) {
    // The records of the blocks that hold them, and in place of each run of
    // signal blocks the records decoded from it; the save says what it decoded.
    // Records decoded from a full tape may be more than a tape holds: the file
    // keeps them all, and opened again it gives what fits with a warning.
    const TapRecords expected = TapRecordsWithSignals(project, quiet);
    const bool fits = expected.records.size() <= static_cast<std::size_t>(kMaxBlocks);
    FUZZ_CHECK(result.kind == (fits ? OpResult::Kind::Ok : OpResult::Kind::Warning));
    FUZZ_CHECK(std::equal(reloaded.blocks.begin(), reloaded.blocks.end(), expected.records.begin()));
    FUZZ_CHECK(reloaded.blocks.size() == std::min(expected.records.size(), static_cast<std::size_t>(kMaxBlocks)));
    FUZZ_CHECK(saved.isWarning() == (expected.signalBlocks > 0));
    return;
  }
  FUZZ_CHECK(result.kind == OpResult::Kind::Ok);
  FUZZ_CHECK(saved.kind == OpResult::Kind::Ok);
  FUZZ_CHECK(reloaded.blocks == project.blocks);
  FUZZ_CHECK(counts.taken + counts.keptKinds == project.blockCount());
  const Bytes first = ReadScratch(project.fileName);
  reloaded.fileName = ScratchPath("again.tzx");
  FUZZ_CHECK(SaveTapeFile(reloaded, quiet).ok());
  FUZZ_CHECK(ReadScratch(reloaded.fileName) == first);
}

// The signal of every block has an end, and the stream gives exactly the
// samples it counts (the last blocks, where the loaded ones are, to stay quick).
void CheckSignal(const TapeProject& loaded) {
  TapeProject project;
  const std::size_t last = std::min<std::size_t>(loaded.blocks.size(), 40);
  project.blocks.assign(loaded.blocks.end() - static_cast<std::ptrdiff_t>(last), loaded.blocks.end());
  SignalOptions options;
  options.timings = SignalTimings::Rom;
  TapeSignalStream stream(project, options);
  if (stream.totalSamples() > (std::uint64_t{1} << 26)) return;
  std::vector<std::uint8_t> chunk(1 << 16);
  std::uint64_t total = 0;
  while (std::size_t n = stream.Read(chunk.data(), chunk.size())) total += n;
  FUZZ_CHECK(total == stream.totalSamples() && stream.done());
}

// Read whole, mapped or read in chunks, a TZX gives the same blocks, counts
// and errors, with room for all blocks and for standard blocks only.
void CheckTzxReadsAgree(const std::string& path, std::size_t size, std::size_t room) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  FUZZ_CHECK(fd >= 0);
  for (const bool standardOnly : {false, true}) {
    const TzxKinds mapped = ReadTzxKinds(fd, size, room, standardOnly, {}, FileAccess::MapWherePossible);
    const TzxKinds read = ReadTzxKinds(fd, size, room, standardOnly, {}, FileAccess::Read);
    FUZZ_CHECK(mapped.blocks == read.blocks && mapped.leftOut == read.leftOut && mapped.error == read.error);
    FUZZ_CHECK(mapped.truncatedOffset == read.truncatedOffset && mapped.truncatedBytes == read.truncatedBytes);
    FUZZ_CHECK(mapped.kindsRefused == read.kindsRefused);
    const TzxKinds whole = ReadTzxKinds(fd, size, room, standardOnly, {}, FileAccess::WholeWherePossible);
    FUZZ_CHECK(whole.blocks == read.blocks && whole.leftOut == read.leftOut && whole.error == read.error);
    FUZZ_CHECK(whole.truncatedOffset == read.truncatedOffset && whole.truncatedBytes == read.truncatedBytes);
    FUZZ_CHECK(whole.kindsRefused == read.kindsRefused);
  }
  ::close(fd);
}

}  // namespace
}  // namespace reelo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace reelo::fuzz;
  Steering steering(data, size, kSteeringBytes);
  const std::uint8_t shape = steering.Next();
  reelo::TapeProject project = ProjectWithBlocks(kProjectFill[shape % kProjectFill.size()]);
  const Bytes file = steering.payloadBytes();
  const std::string path = ScratchPath("input.tape");
  WriteScratch(path, file.data(), file.size());

  const bool loaded = CheckLoad(project, file, path);
  if (reelo::DetectTapeFormat(file.data(), file.size()) == reelo::TapeFormat::Tzx) {
    CheckTzxReadsAgree(path, file.size(), reelo::kMaxBlocks);
  }
  if (loaded && (shape & 0x20) != 0) CheckSignal(project);
  // Saving a full project costs two files of its size: one input in two does it.
  if (loaded && (shape & 0x10) != 0) {
    CheckSaveAndReload(project, "saved.tzx");
    CheckSaveAndReload(project, "saved.tap");
  }
  return 0;
}
