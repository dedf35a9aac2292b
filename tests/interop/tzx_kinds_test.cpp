// Hand-made tapes of every TZX kind, the way game tapes are made (a loader at
// normal speed, turbo blocks, custom loaders of tones, pulses and pure data,
// information blocks, groups, texts, loops, jumps): saved again they list the
// same under tzxlist, and their ROM-timed WAV export has the half-waves of
// tape2wav's within one sample.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../formats/tape_images.h"
#include "external_tools.h"
#include "formats/tape_file.h"
#include "sound/export/signal_stream.h"
#include "sound/export/wav_export.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using namespace reelo::testing;

Bytes Block(std::uint8_t id, std::initializer_list<int> bytes) {
  Bytes out{id};
  for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

// A turbo block of any timing, used bits and pause.
Bytes Turbo(const Bytes& body, int usedBits, int pause, std::initializer_list<int> timings) {
  Bytes out{0x11};
  for (int v : timings) PutWord(out, static_cast<std::uint32_t>(v), 2);  // pilot, syncs, bits, pilot pulses
  out.push_back(static_cast<std::uint8_t>(usedBits));
  PutWord(out, static_cast<std::uint32_t>(pause), 2);
  PutWord(out, static_cast<std::uint32_t>(body.size()), 3);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes PureData(const Bytes& body, int usedBits, int pause) {
  Bytes out = TzxPureData(body, usedBits);
  out[6] = static_cast<std::uint8_t>(pause & 0xFF);
  out[7] = static_cast<std::uint8_t>(pause >> 8);
  return out;
}

struct GameTape {
  const char* name;
  Bytes file;
};

std::vector<GameTape> GameTapes() {
  const TapeBlock header = MakeHeader(3, "screen", 6912, 16384);
  const TapeBlock screen = MakeDataBlock(RandomBytes(6912, 51));
  const TapeBlock code = MakeDataBlock(RandomBytes(300, 52));
  const Bytes archive = {0x32, 13, 0, 2, 0x00, 4, 'G', 'a', 'm', 'e', 0x03, 4, '1', '9', '8', '7'};
  return {
      {"loader and turbo screen of 6 bits",
       Tzx({TzxText(0x30, "Loading..."), TzxRom(header), TzxRom(code, 500),
            Turbo(Body(header), 8, 200, {1500, 400, 450, 500, 1000, 3000}),
            Turbo(Body(screen), 6, 1500, {1500, 400, 450, 500, 1000, 2000})})},
      {"custom loader of tones, pulses and pure data",
       Tzx({TzxText(0x21, "Level 1"), TzxPureTone(2168, 3223), TzxPulses({667, 735}), PureData(Body(code), 8, 1000),
            Block(0x22, {}), TzxPause(1500), TzxPureTone(1800, 500), TzxPulses({500, 600}),
            PureData(Body(code), 3, 700)})},
      {"a loop of tones and pulses",
       Tzx({Block(0x24, {3, 0}), TzxPureTone(1000, 100), TzxPulses({300, 300, 600}), Block(0x25, {}), TzxRom(code)})},
      {"information, a jump and blocks without pauses",
       Tzx({archive, Block(0x33, {1, 0, 0, 1}), Block(0x23, {2, 0}), TzxPureTone(3000, 50),
            Turbo(Body(code), 8, 0, {1800, 500, 550, 600, 1200, 2500}), PureData(Body(code), 5, 0), TzxPause(800)})},
      {"ROM-timed turbo, a stop and a one-bit last byte",
       Tzx({Block(0x31, {5, 2, 'H', 'i'}), Turbo(Body(header), 8, 1000, {2168, 667, 735, 855, 1710, 8063}),
            TzxRom(screen), TzxPause(0), Turbo(Body(code), 1, 1000, {2168, 667, 735, 855, 1710, 3223}),
            TzxDirectRecording(Joined({Silence(10), RomPulses(code), Silence(20)}))})},
  };
}

std::string ListingOf(const fs::path& tzx, const fs::path& log) {
  EXPECT_TRUE(RunTool("tzxlist " + Quoted(tzx), log));
  std::ifstream in(log);
  std::string line, text;
  // Leaves out the line that names the file.
  while (std::getline(in, line)) {
    if (line.rfind("Listing of", 0) != 0) text += line + "\n";
  }
  return text;
}

// Runs of equal samples after the 44-byte header: every level change starts a
// half-wave. A run longer than 50 ms is a pause and ends a stretch of signal.
std::vector<std::vector<std::size_t>> Stretches(const Bytes& wav) {
  std::vector<std::vector<std::size_t>> stretches(1);
  constexpr std::size_t kPause = 44100 / 20;
  for (std::size_t i = 44; i < wav.size();) {
    std::size_t j = i;
    while (j < wav.size() && wav[j] == wav[i]) ++j;
    if (j - i > kPause) {
      if (!stretches.back().empty()) stretches.emplace_back();
    } else {
      stretches.back().push_back(j - i);
    }
    i = j;
  }
  if (stretches.back().empty()) stretches.pop_back();
  return stretches;
}

// How far apart two lengths of one half-wave may be: one sample for every
// pilot, sync and data half-wave (all far below 200 samples); a longer run (a
// silence inside a recording) also by tape2wav's clock, which runs 0.46% slow.
std::size_t Allowed(std::size_t theirs) { return 1 + theirs / 200; }

// Every half-wave of theirs within reach of ours, ours starting `skip`
// half-waves later; ours may have one more at the end (the 1 ms closing pulse).
bool HalfWavesMatch(const std::vector<std::size_t>& ours, const std::vector<std::size_t>& theirs, std::size_t skip) {
  if (ours.size() < theirs.size() + skip || ours.size() > theirs.size() + skip + 1) return false;
  for (std::size_t i = 0; i < theirs.size(); ++i) {
    const std::size_t x = ours[i + skip], y = theirs[i];
    if ((x > y ? x - y : y - x) > Allowed(y)) return false;
  }
  return true;
}

std::string MatchReport(const std::vector<std::size_t>& ours, const std::vector<std::size_t>& theirs) {
  std::string text = std::to_string(ours.size()) + " half-waves against " + std::to_string(theirs.size());
  for (std::size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
    const std::size_t x = ours[i], y = theirs[i];
    if ((x > y ? x - y : y - x) > Allowed(y)) return text + ", first apart at " + std::to_string(i) + ": " + std::to_string(x) + " against " + std::to_string(y);
  }
  return text;
}

class TzxKindsInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"tzxlist", "tape2wav"}) {
      if (!ToolInPath(tool)) GTEST_SKIP() << tool << " is not installed";
    }
  }
  TempDir dir_;
};

TEST_F(TzxKindsInterop, SavedAgainTheTapeListsTheSameUnderTzxlist) {
  for (const GameTape& tape : GameTapes()) {
    SCOPED_TRACE(tape.name);
    WriteFileBytes(dir_ / "in.tzx", tape.file);
    TapeProject project;
    NullProgress progress;
    ASSERT_EQ(LoadTapeFile(project, (dir_ / "in.tzx").string(), progress).kind, OpResult::Kind::Ok);
    project.fileName = (dir_ / "out.tzx").string();
    ASSERT_TRUE(SaveTapeFile(project, progress).ok());
    EXPECT_EQ(ListingOf(dir_ / "out.tzx", dir_ / "out.log"), ListingOf(dir_ / "in.tzx", dir_ / "in.log"));
    EXPECT_TRUE(ReadFileBytes(dir_ / "out.tzx") == tape.file);
  }
}

// Every pilot, sync and data half-wave of the export within one sample of
// tape2wav's. tape2wav counts in whole steps of 79 T-states (3500000 / 44100
// rounded down), so its long pauses come out longer: pauses are only where
// the stretches end. After a TAP record's data the export sends a 1 ms pulse
// that gives the last bit its edge before the pause: one half-wave more there.
TEST_F(TzxKindsInterop, TheExportHasTheHalfWavesOfTape2wav) {
  for (const GameTape& tape : GameTapes()) {
    SCOPED_TRACE(tape.name);
    WriteFileBytes(dir_ / "in.tzx", tape.file);
    TapeProject project;
    NullProgress progress;
    ASSERT_TRUE(LoadTapeFile(project, (dir_ / "in.tzx").string(), progress).ok());
    const SignalOptions options{44100, 8, false, SignalTimings::Rom};
    ASSERT_TRUE(SaveWavFile(project, (dir_ / "ours.wav").string(), options, progress).ok());
    ASSERT_TRUE(RunTool("tape2wav -r 44100 " + Quoted(dir_ / "in.tzx") + " " + Quoted(dir_ / "theirs.wav"),
                        dir_ / "tape2wav.log"));
    const auto ours = Stretches(ReadFileBytes(dir_ / "ours.wav"));
    const auto theirs = Stretches(ReadFileBytes(dir_ / "theirs.wav"));
    ASSERT_EQ(ours.size(), theirs.size());
    std::size_t compared = 0;
    for (std::size_t s = 0; s < ours.size(); ++s) {
      // tape2wav turns a stop of the tape into an edge of no length, so the
      // first pilot half-wave after it lies inside the pause before: there the
      // export has one half-wave more at the start.
      const bool plain = HalfWavesMatch(ours[s], theirs[s], 0);
      EXPECT_TRUE(plain || HalfWavesMatch(ours[s], theirs[s], 1)) << "stretch " << s << ": "
                                                                  << MatchReport(ours[s], theirs[s]);
      compared += theirs[s].size();
    }
    EXPECT_GT(compared, 1000u);
  }
}

// PZX tapes of the same shapes: a ROM loader, a turbo screen of 6 bits, a
// custom loader of tones, pulses, pure data and generalised data, pauses of
// their own and a stop. The export of the blocks they are read as has the
// half-waves of tape2wav's, which reads the PZX file itself.
TEST_F(TzxKindsInterop, APzxTapeSoundsAsTape2wavPlaysIt) {
  const TapeBlock header = MakeHeader(3, "screen", 6912, 16384);
  const Bytes screen = Body(MakeDataBlock(RandomBytes(6912, 51)));
  const TapeBlock code = MakeDataBlock(RandomBytes(300, 52));
  const Bytes tape = PzxFile(
      {PzxBlock("PULS", Words({0x8000 | 8063, 2168, 667, 735})), PzxRomData(header), PzxPause(3500000),
       PzxBlock("PULS", Words({0x8000 | 3000, 1500, 400, 450})),
       PzxData(static_cast<std::uint32_t>(screen.size() * 8 - 2), 945, {500, 500}, {1000, 1000}, screen),
       PzxPause(5250000), PzxBlock("PULS", Words({0x8000 | 500, 1800, 500, 600})), PzxRomData(code, 0, false),
       PzxData(24, 0, {400}, {400, 800}, {0x12, 0x34, 0x56}), PzxPause(3500000 * 2), PzxBlock("STOP", {0, 0}),
       PzxBlock("PULS", Words({0x8000 | 3223, 2168, 667, 735})), PzxRomData(code), PzxPause(3500000)},
      {'G', 'a', 'm', 'e', 0});
  WriteFileBytes(dir_ / "in.pzx", tape);
  TapeProject project;
  NullProgress progress;
  ASSERT_TRUE(LoadTapeFile(project, (dir_ / "in.pzx").string(), progress).ok());
  const SignalOptions options{44100, 8, false, SignalTimings::Rom};
  ASSERT_TRUE(SaveWavFile(project, (dir_ / "ours.wav").string(), options, progress).ok());
  ASSERT_TRUE(RunTool("tape2wav -r 44100 " + Quoted(dir_ / "in.pzx") + " " + Quoted(dir_ / "theirs.wav"),
                      dir_ / "tape2wav.log"));
  auto ours = Stretches(ReadFileBytes(dir_ / "ours.wav"));
  auto theirs = Stretches(ReadFileBytes(dir_ / "theirs.wav"));
  ASSERT_EQ(ours.size(), theirs.size());
  std::size_t compared = 0;
  for (std::size_t s = 0; s < ours.size(); ++s) {
    // A PZX block's tail pulse (945 T-states, 12 samples) before a pause is
    // the block's 1 ms closing pulse (44 samples) here.
    if (ours[s].back() >= 44 && ours[s].back() <= 45 && theirs[s].back() == 12) {
      ours[s].pop_back();
      theirs[s].pop_back();
    }
    EXPECT_TRUE(HalfWavesMatch(ours[s], theirs[s], 0) || HalfWavesMatch(ours[s], theirs[s], 1))
        << "stretch " << s << ": " << MatchReport(ours[s], theirs[s]);
    compared += theirs[s].size();
  }
  EXPECT_GT(compared, 100000u);
}

// The pulses of a CSW recording block's body, unpacked.
std::vector<std::uint32_t> CswBlockRuns(const Bytes& body) {
  Bytes data(body.begin() + 14, body.end());
  if (body[9] == 2) {
    Bytes unpacked(64 << 20);
    uLongf size = unpacked.size();
    EXPECT_EQ(uncompress(unpacked.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
    unpacked.resize(size);
    data = unpacked;
  }
  std::vector<std::uint32_t> runs;
  for (std::size_t i = 0; i < data.size();) {
    std::uint32_t n = data[i++];
    if (n == 0) {
      n = data[i] | (data[i + 1] << 8) | (data[i + 2] << 16) | (static_cast<std::uint32_t>(data[i + 3]) << 24);
      i += 4;
    }
    runs.push_back(n);
  }
  return runs;
}

// The runs of equal bits of the first direct-recording block of a TZX file.
std::vector<std::uint32_t> DirectRecordingRuns(const Bytes& tzx) {
  const std::size_t at = 10;
  EXPECT_EQ(tzx[at], 0x15);
  const std::size_t used = tzx[at + 5];
  const std::size_t length = tzx[at + 6] | (tzx[at + 7] << 8) | (tzx[at + 8] << 16);
  std::vector<std::uint32_t> runs;
  int level = -1;
  for (std::size_t i = 0; i < length; ++i) {
    for (std::size_t bit = 0; bit < (i + 1 == length ? used : 8); ++bit) {
      const int b = (tzx[at + 9 + i] >> (7 - bit)) & 1;
      if (b != level) runs.push_back(0);
      level = b;
      ++runs.back();
    }
  }
  return runs;
}

// A CSW file made by libspectrum (a ROM header, turbo data) opens as one CSW
// recording block: its export has the half-waves of tape2wav's playing the
// file, and its TZX block holds the very pulses tapeconv writes, as a direct
// recording, for the file (libspectrum reads no CSW recording block in a TZX
// file, so tzxlist cannot list ours).
TEST_F(TzxKindsInterop, ACswFileSoundsAndSavesAsTheFileHoldsIt) {
  if (!ToolInPath("tapeconv")) GTEST_SKIP() << "tapeconv is not installed";
  const Bytes tzx = Tzx({TzxRom(MakeHeader(3, "screen", 2000, 16384)),
                         TzxTurbo(Body(MakeDataBlock(RandomBytes(2000, 61)))), TzxPause(500)});
  WriteFileBytes(dir_ / "made.tzx", tzx);
  ASSERT_TRUE(RunTool("tapeconv " + Quoted(dir_ / "made.tzx") + " " + Quoted(dir_ / "in.csw"), dir_ / "csw.log"));
  TapeProject project;
  NullProgress progress;
  const OpResult loaded = LoadTapeFile(project, (dir_ / "in.csw").string(), progress);
  ASSERT_EQ(loaded.kind, OpResult::Kind::Ok) << loaded.message;
  ASSERT_EQ(project.blockCount(), 1);
  ASSERT_EQ(project.blocks[0].kind(), 0x18);

  const SignalOptions options{44100, 8, false, SignalTimings::Rom};
  ASSERT_TRUE(SaveWavFile(project, (dir_ / "ours.wav").string(), options, progress).ok());
  ASSERT_TRUE(RunTool("tape2wav -r 44100 " + Quoted(dir_ / "in.csw") + " " + Quoted(dir_ / "theirs.wav"),
                      dir_ / "tape2wav.log"));
  const auto ours = Stretches(ReadFileBytes(dir_ / "ours.wav"));
  const auto theirs = Stretches(ReadFileBytes(dir_ / "theirs.wav"));
  ASSERT_EQ(ours.size(), theirs.size());
  std::size_t compared = 0;
  for (std::size_t s = 0; s < ours.size(); ++s) {
    EXPECT_TRUE(HalfWavesMatch(ours[s], theirs[s], 0)) << "stretch " << s << ": " << MatchReport(ours[s], theirs[s]);
    compared += theirs[s].size();
  }
  EXPECT_GT(compared, 30000u);

  project.fileName = (dir_ / "ours.tzx").string();
  ASSERT_TRUE(SaveTapeFile(project, progress).ok());
  const Bytes saved = ReadFileBytes(dir_ / "ours.tzx");
  ASSERT_EQ(saved[10], 0x18);
  const Bytes body(saved.begin() + 11, saved.end());
  EXPECT_EQ(body, project.blocks[0].kept->head);
  ASSERT_TRUE(RunTool("tapeconv " + Quoted(dir_ / "in.csw") + " " + Quoted(dir_ / "theirs.tzx"), dir_ / "tzx.log"));
  EXPECT_EQ(CswBlockRuns(body), DirectRecordingRuns(ReadFileBytes(dir_ / "theirs.tzx")));
}

}  // namespace
}  // namespace reelo
