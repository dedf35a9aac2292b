// Hand-made TZX tapes, one kind of block each (standard, turbo with a last
// byte of 6 bits, pure tone, pulse sequence, pure data, pauses, a loop, stops
// of the tape), played by reelo-cli play at 44100 Hz with the ROM's timings
// into a private PulseAudio null sink of 44100 Hz, recorded from its monitor
// with parec, and set against tape2wav's rendering of the same file: every
// half-wave within one sample, stretch of signal by stretch, and the pauses
// between them as long as tape2wav's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "../formats/tape_images.h"
#include "external_tools.h"
#include "sound_server_support.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace reelo::testing;

constexpr const char* kSinkName = "reelo_kinds_test";
constexpr int kRate = 44100;
// A run of one level longer than this (50 ms) is a pause between stretches.
constexpr std::size_t kPauseSamples = kRate / 20;

Bytes Block(std::uint8_t id, std::initializer_list<int> bytes) {
  Bytes out{id};
  for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

// A turbo block: pilot, syncs, bits (T-states), pilot pulses, used bits, pause.
Bytes Turbo(const Bytes& body, int usedBits, int pause, std::initializer_list<int> timings) {
  Bytes out{0x11};
  for (int v : timings) PutWord(out, static_cast<std::uint32_t>(v), 2);
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

struct KindTape {
  const char* name;
  Bytes file;
  bool stops;  // holds the deck until Enter, where tape2wav plays on
};

// Short tapes: each is played in real time. A stop follows a pause, as on
// real tapes, so that both renderings have the same stretches of signal.
std::vector<KindTape> KindTapes() {
  const TapeBlock data = MakeDataBlock(RandomBytes(40, 61));
  const Bytes code = Body(MakeDataBlock(RandomBytes(30, 62)));
  return {
      {"standard", Tzx({TzxRom(data), TzxRom(data, 500)}), false},
      {"turbo, last byte of 6 bits", Tzx({Turbo(Body(data), 6, 500, {1500, 400, 450, 500, 1000, 800})}), false},
      {"pure tone", Tzx({TzxPureTone(2168, 400), TzxPause(300), TzxPureTone(1000, 301), TzxPause(500)}), false},
      {"pulse sequence", Tzx({TzxPureTone(1500, 100), TzxPulses({667, 735, 300, 1200, 2000, 500}), TzxPause(500)}),
       false},
      {"pure data", Tzx({TzxPureTone(2168, 200), TzxPulses({667, 735}), PureData(code, 8, 400), TzxPureTone(1800, 100),
                         PureData(code, 3, 500)}),
       false},
      {"pauses", Tzx({TzxPureTone(1200, 150), TzxPause(300), TzxPureTone(900, 151), TzxPause(1500),
                      TzxPureTone(2000, 80), TzxPause(700)}),
       false},
      {"loop", Tzx({Block(0x24, {3, 0}), TzxPureTone(1000, 100), TzxPulses({300, 300, 600}), Block(0x25, {}),
                    TzxPause(500)}),
       false},
      {"stop the tape", Tzx({TzxPureTone(2168, 300), TzxPause(500), TzxPause(0), TzxPureTone(1000, 300), TzxPause(500),
                             Block(0x2A, {0, 0, 0, 0}), TzxPureTone(1500, 200), TzxPause(500)}),
       true},
  };
}

// Samples as levels: low, rest, high. The deck's 8-bit levels are 95, 127
// and 159; tape2wav's 0 and 255; the server's own silence is 128.
int Level(std::uint8_t sample) { return sample < 112 ? 0 : sample > 143 ? 2 : 1; }

struct Signal {
  std::vector<std::vector<std::size_t>> stretches;  // the half-waves of each stretch
  std::vector<std::size_t> pauses;                  // the runs between stretches
};

// Runs of one level: a run longer than kPauseSamples is a pause and ends a
// stretch; the quiet before the first stretch and after the last is left out.
Signal Split(const Bytes& samples, std::size_t from) {
  Signal signal;
  std::vector<std::size_t> stretch;
  for (std::size_t i = from; i < samples.size();) {
    std::size_t j = i;
    while (j < samples.size() && Level(samples[j]) == Level(samples[i])) ++j;
    if (j - i <= kPauseSamples) {
      stretch.push_back(j - i);
    } else if (!stretch.empty()) {
      signal.stretches.push_back(std::move(stretch));
      stretch.clear();
      signal.pauses.push_back(j - i);
    }
    i = j;
  }
  if (!stretch.empty()) signal.stretches.push_back(std::move(stretch));
  if (signal.pauses.size() >= signal.stretches.size() && !signal.pauses.empty()) signal.pauses.pop_back();
  return signal;
}

std::size_t Apart(std::size_t x, std::size_t y) { return x > y ? x - y : y - x; }

// Every half-wave of theirs within one sample of ours, ours starting `skip`
// half-waves later (after a pause tape2wav's levels can swallow the first
// pulse into the pause); ours may have one more at the end (the 1 ms pulse
// that closes a standard block, or a last pulse tape2wav holds into its pause).
// Returns the largest difference, or -1 when the counts do not fit.
long Compare(const std::vector<std::size_t>& ours, const std::vector<std::size_t>& theirs, std::size_t skip) {
  if (ours.size() < theirs.size() + skip || ours.size() > theirs.size() + skip + 1) return -1;
  long worst = 0;
  for (std::size_t i = 0; i < theirs.size(); ++i) worst = std::max(worst, static_cast<long>(Apart(ours[i + skip], theirs[i])));
  return worst;
}

class PlayKinds : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"pulseaudio", "pactl", "parec"}) {
      if (!ToolInPath(tool)) {
        GTEST_SKIP() << "no sound server can be started here: " << tool
                     << " is not installed (packages pulseaudio, pulseaudio-utils)";
      }
    }
    if (!ToolInPath("tape2wav")) GTEST_SKIP() << "tape2wav is not installed (package fuse-emulator-utils)";
    dir_ = temp_.path();
    fs::create_directories(dir_ / "run");
    fs::permissions(dir_ / "run", fs::perms::owner_all);
    // The sink at the rate the deck plays and parec records: the server
    // converts the sample format only, and resamples nothing. Without
    // rewinds: a sink that rewinds to mix a new stream in at once hands its
    // monitor the rewound stretch again, and parec loses the stream's first
    // half second.
    const std::string start = Env(dir_) + "pulseaudio -n --daemonize=yes --exit-idle-time=-1 --use-pid-file=yes" +
                              " --log-target=file:" + Quoted(dir_ / "pulse.log") + " --load='module-null-sink sink_name=" +
                              kSinkName + " rate=" + std::to_string(kRate) + " channels=1 norewinds=1'" +
                              " --load=module-native-protocol-unix";
    if (!RunTool(start, dir_ / "start.log")) GTEST_SKIP() << "the sound server did not start: " << Log("start.log");
    started_ = true;
    for (int i = 0; i < 50; ++i) {
      if (std::system((Env(dir_) + "pactl info >/dev/null 2>&1").c_str()) == 0) break;
      std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(RunTool(Env(dir_) + "pactl set-default-sink " + kSinkName, dir_ / "sink.log")) << Log("sink.log");
    ASSERT_TRUE(RunTool(Env(dir_) + "pactl list short sinks", dir_ / "sinks.log"));
    ASSERT_TRUE(FileHolds(dir_ / "sinks.log", "1ch 44100Hz")) << Log("sinks.log");
  }

  void TearDown() override {
    if (!started_) return;
    [[maybe_unused]] const int status = std::system((Env(dir_) + "pulseaudio --kill >/dev/null 2>&1").c_str());
  }

  std::string Log(const char* name) const {
    const Bytes bytes = ReadFileBytes(dir_ / name);
    return std::string(bytes.begin(), bytes.end());
  }

  // Plays the tape while parec records the monitor, pressing Enter every
  // half second (the player drops it unless held at a stop); the recording.
  Bytes PlayAndRecord(const fs::path& tape) {
    const fs::path raw = dir_ / "recording.raw";
    fs::remove(raw);
    Child recorder("exec " + Env(dir_) + "parec -d " + kSinkName + ".monitor --format=u8 --rate=" +
                   std::to_string(kRate) + " --channels=1 --raw > " + Quoted(raw));
    std::this_thread::sleep_for(500ms);
    const fs::path input = dir_ / "enter";
    fs::remove(input);
    mkfifo(input.c_str(), 0600);
    const int enter = open(input.c_str(), O_RDWR);  // kept open: the player never sees the input end
    Child player("exec " + Env(dir_) + Quoted(REELO_CLI_PATH) + " play " + Quoted(tape) +
                 " --rate 44100 --rom-timings <" + Quoted(input) + " 2>" + Quoted(dir_ / "play.log"));
    int status = -1;
    for (int i = 0; i < 120 && status == -1; ++i) {
      status = player.Wait(500ms);
      if (status == -1) {
        EXPECT_EQ(write(enter, "\n", 1), 1);
      }
    }
    EXPECT_EQ(status, 0) << Log("play.log");
    close(enter);
    std::this_thread::sleep_for(500ms);  // the monitor's last samples
    recorder.Signal(SIGTERM);
    recorder.Wait(5s);
    EXPECT_TRUE(FileHolds(dir_ / "play.log", "Лента проиграна до конца")) << Log("play.log");
    return ReadFileBytes(raw);
  }

  TempDir temp_;
  fs::path dir_;
  bool started_ = false;
};

TEST_F(PlayKinds, TheSoundCardGetsTheHalfWavesOfTape2wav) {
  for (const KindTape& tape : KindTapes()) {
    SCOPED_TRACE(tape.name);
    WriteFileBytes(dir_ / "in.tzx", tape.file);
    ASSERT_TRUE(RunTool("tape2wav -r 44100 " + Quoted(dir_ / "in.tzx") + " " + Quoted(dir_ / "theirs.wav"),
                        dir_ / "tape2wav.log"))
        << Log("tape2wav.log");
    const Signal theirs = Split(ReadFileBytes(dir_ / "theirs.wav"), 44);
    const Signal ours = Split(PlayAndRecord(dir_ / "in.tzx"), 0);
    ASSERT_EQ(ours.stretches.size(), theirs.stretches.size());
    long worst = 0;
    std::size_t compared = 0;
    for (std::size_t s = 0; s < theirs.stretches.size(); ++s) {
      long apart = Compare(ours.stretches[s], theirs.stretches[s], 0);
      if (apart < 0 || apart > 1) apart = Compare(ours.stretches[s], theirs.stretches[s], 1);
      EXPECT_TRUE(apart >= 0 && apart <= 1) << "stretch " << s << ": " << ours.stretches[s].size()
                                            << " half-waves against " << theirs.stretches[s].size()
                                            << ", largest difference " << apart;
      worst = std::max(worst, apart);
      compared += theirs.stretches[s].size();
    }
    // The pauses, where the deck does not hold: as long as tape2wav's within
    // 1% (its clock runs 0.46% slow) and 2 ms (a pulse it holds into the pause).
    std::size_t worstPause = 0;
    if (!tape.stops) {
      ASSERT_EQ(ours.pauses.size(), theirs.pauses.size());
      for (std::size_t p = 0; p < theirs.pauses.size(); ++p) {
        EXPECT_LE(Apart(ours.pauses[p], theirs.pauses[p]), theirs.pauses[p] / 100 + kRate / 500)
            << "pause " << p << ": " << ours.pauses[p] << " samples against " << theirs.pauses[p];
        worstPause = std::max(worstPause, Apart(ours.pauses[p], theirs.pauses[p]));
      }
    }
    std::cout << tape.name << ": " << theirs.stretches.size() << " stretches, " << compared
              << " half-waves, largest difference " << worst << " sample(s); ";
    if (tape.stops) {
      std::cout << "held at the stops, pauses not compared\n";
    } else {
      std::cout << theirs.pauses.size() << " pauses, largest difference " << worstPause << " samples\n";
    }
    EXPECT_GT(compared, 100u);
  }
}

}  // namespace
}  // namespace reelo
