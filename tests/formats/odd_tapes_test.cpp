// Tapes the fuzzing found the loader stumbling on: each loads without harm,
// keeps the records it holds, and its progress bar never goes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "formats/tape_file.h"
#include "recording_progress.h"
#include "tape_images.h"

namespace reelo {
namespace {

using namespace reelo::testing;

const TapeBlock kHeader = MakeHeader(3, "odd", 8);
const TapeBlock kData = MakeDataBlock(RandomBytes(8, 11));

TEST(OddTapes, LoadWithoutHarmAndTheBarNeverGoesBack) {
  struct Case {
    const char* name;
    Bytes file;
    std::vector<TapeBlock> records;
    int blocks;
  };
  const std::vector<Case> cases = {
      // libspectrum walked past the end of an empty pulse block without end:
      // a crash under AddressSanitizer, seconds of reading memory without it.
      {"a pulse block of no pulses", Tzx({TzxRom(kHeader), TzxPulses({}), TzxRom(kData)}), {kHeader, kData}, 3},
      // libspectrum played a tone of no pulses as one of 2^32 pulses (minutes).
      {"a tone of no pulses", Tzx({TzxPureTone(1000, 0), TzxPulses({667, 735}), TzxRom(kData)}), {kData}, 3},
      {"a pulse block of no pulses after a tone",
       Tzx({TzxPureTone(2168, 100), TzxPulses({}), TzxRom(kData)}),
       {kData},
       3},
      // Read first as standard blocks, then through libspectrum once the
      // pause shows up: the bar went back to the start for the second reading.
      {"standard blocks, then a pause", Tzx({TzxRom(kHeader), TzxRom(kData), TzxPause(100)}), {kHeader, kData}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFileBytes(dir / "odd.tzx", c.file);
    TapeProject project;
    RecordingProgress progress;
    TapeLoadCounts counts;
    const OpResult result = LoadTapeFile(project, (dir / "odd.tzx").string(), progress, &counts);
    ASSERT_TRUE(result.ok()) << result.message << ": " << result.detail;
    EXPECT_EQ(RecordBytes(project.blocks), c.records);
    EXPECT_EQ(project.blockCount(), c.blocks);
    EXPECT_TRUE(std::is_sorted(progress.values.begin(), progress.values.end()));
    ASSERT_FALSE(progress.values.empty());
    EXPECT_EQ(progress.values.back(), static_cast<long long>(c.file.size()) + 1);
  }
}

}  // namespace
}  // namespace reelo
