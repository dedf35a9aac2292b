// The built reelo-cli program itself, on every path whose library it opens
// only when first called (libspectrum, libsndfile, libsoxr, libpng): each
// command must give the same exit status, output and file as the same
// command run inside this test, which calls the libraries directly.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "../formats/tape_images.h"
#include "cli/cli.h"
#include "project/progress.h"
#include "sound/export/wav_writer.h"
#include "tape_builders.h"

namespace reelo::cli {
namespace {

using namespace reelo::testing;

struct Outcome {
  int code = -1;
  std::string out;
  Bytes file;
};

// Runs the program with the arguments, standard error thrown away.
Outcome RunProgram(const Args& args, const std::string& file) {
  std::string line = std::string("'") + REELO_CLI_PROGRAM + "'";
  for (const std::string& arg : args) line += " '" + arg + "'";
  line += " 2>/dev/null";
  Outcome outcome;
  std::FILE* pipe = popen(line.c_str(), "r");
  if (pipe == nullptr) return outcome;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) outcome.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  outcome.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (!file.empty() && std::filesystem::exists(file)) outcome.file = ReadFileBytes(file);
  return outcome;
}

Outcome RunInside(const Args& args, const std::string& file) {
  std::ostringstream out, err;
  Io io{out, err};
  Outcome outcome;
  outcome.code = RunCli(args, io);
  outcome.out = out.str();
  if (!file.empty() && std::filesystem::exists(file)) outcome.file = ReadFileBytes(file);
  return outcome;
}

TEST(CliProgram, PathsOfTheLibrariesOpenedWhenCalledAnswerAsInside) {
  TempDir dir;
  const auto path = [&dir](const char* name) { return (dir / name).string(); };
  const TapeBlock header = MakeHeader(3, "screen", 6912, 16384);
  const TapeBlock screen = MakeDataBlock(RandomBytes(6912, 21));
  Bytes tap(header.begin(), header.end());
  tap.insert(tap.end(), screen.begin(), screen.end());
  WriteFileBytes(path("tape.tap"), tap);
  WriteFileBytes(path("tape.csw"), CswV1(Joined({RomPulses(header), Silence(500), RomPulses(screen)})));
  // Tones, pulses, a direct recording (levels set edge by edge), a level set
  // high and a pause: every kind of flag libspectrum gives its edges.
  const Bytes levelHigh = {0x2B, 1, 0, 0, 0, 1};
  WriteFileBytes(path("kinds.tzx"),
                 Tzx({TzxPureTone(2168, 301), TzxPulses({667, 735, 2000, 3000}), TzxPause(20),
                      TzxDirectRecording(Joined({Silence(2), RomPulses(header)})), levelHigh, TzxPulses({900, 900, 900}),
                      TzxRom(header, 100), TzxPureData(Body(screen), 5)}));
  {
    TapeProject project;
    project.blocks = {header, screen};
    NullProgress progress;
    ASSERT_TRUE(SaveWavFile(project, path("tape.wav"), progress).ok());
  }
  struct Row {
    const char* name;
    Args args;  // the output's name last when there is one
    const char* output;
    int code;
  };
  const std::vector<Row> rows = {
      {"help", {"--help"}, "", 0},
      {"CSW to TAP (libspectrum)", {"convert", path("tape.csw"), path("csw.tap")}, "csw.tap", 0},
      {"list of a CSW (libspectrum)", {"list", path("tape.csw")}, "", 0},
      {"TZX tones and pulses to WAV (libspectrum's edges)",
       {"convert", path("kinds.tzx"), path("kinds.wav")},
       "kinds.wav",
       0},
      {"the same at 44100 Hz, 16 bits, inverted",
       {"convert", path("kinds.tzx"), path("kinds16.wav"), "--rate", "44100", "--bits", "16", "--invert"},
       "kinds16.wav",
       0},
      {"recording decoded (libsndfile, libsoxr)", {"decode", path("tape.wav"), path("decoded.tap")}, "decoded.tap", 0},
      {"16-bit recording decoded (libsndfile's 16-bit reading)",
       {"decode", path("kinds16.wav"), path("decoded16.tap")},
       "decoded16.tap",
       0},
      {"recording analysed (libsndfile)", {"analyse", path("tape.wav")}, "", 0},
      {"screen as a picture (libpng)", {"view", "screen", path("tape.tap"), "2", path("screen.png")}, "screen.png", 0},
      {"a file that is no CSW", {"list", path("tape.wav")}, "", 2},
  };
  for (const Row& row : rows) {
    const std::string output = *row.output ? path(row.output) : std::string();
    const Outcome program = RunProgram(row.args, output);
    if (!output.empty()) std::filesystem::remove(output);
    const Outcome inside = RunInside(row.args, output);
    EXPECT_EQ(program.code, row.code) << row.name;
    EXPECT_EQ(inside.code, row.code) << row.name;
    EXPECT_EQ(program.out, inside.out) << row.name;
    EXPECT_EQ(program.file, inside.file) << row.name;
    if (!output.empty()) {
      EXPECT_GT(program.file.size(), 40u) << row.name;
    }
  }
}

}  // namespace
}  // namespace reelo::cli
