// The deck end to end through a real sound server: a private PulseAudio with a
// null sink, reelo-cli play sending a two-block tape from zmakebas to it, and
// parec recording the sink's monitor (8-bit, 22050 Hz, mono). The recording
// must give the tape's records back, both to the program's own decoder and to
// fuse-utils' audio2tape; with "pause after each block" the recording holds a
// silence between the blocks, where the deck waited for Enter.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <fstream>
#include <iostream>
#include <thread>

#include "cli/commands.h"
#include "external_tools.h"
#include "sound_server_support.h"
#include "project/tap_file.h"
#include "quiet_import_host.h"
#include "sound/export/tape_signal.h"
#include "sound/export/wav_writer.h"
#include "sound/import/tape_decoder.h"
#include "tape_builders.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::Bytes;
using testing::Child;
using testing::Env;
using testing::FileHolds;
using testing::Quoted;
using testing::RunTool;

constexpr const char* kSinkName = "reelo_deck_test";
constexpr int kRate = 22050;
// Near the middle of the 8-bit scale: the rest level 127 and the server's own
// silence 128, with the ringing a resampler leaves.
constexpr int kQuietSpread = 6;
// The time the test waits at the hold before pressing Enter, and what it
// accepts as the hold in the recording: well above the 0.45 s every block's
// own pause lasts, well below what the test waited.
constexpr auto kHoldWait = 2000ms;
constexpr std::size_t kHeldQuietSamples = kRate * 3 / 2;
// audio2tape needs rest before the first pilot and an edge after the last
// pause (as in the export's own round-trip test).
constexpr std::size_t kLeadIn = 200, kTailRest = 2000, kClosingPulse = 200;

// The longest run of quiet samples that has sound both before and after it.
std::size_t LongestInnerQuiet(const Bytes& samples) {
  auto loud = [](std::uint8_t s) { return std::abs(int{s} - 128) > kQuietSpread; };
  std::size_t best = 0, run = 0;
  bool soundBefore = false;
  for (std::uint8_t s : samples) {
    if (!loud(s)) {
      ++run;
      continue;
    }
    if (soundBefore) best = std::max(best, run);
    soundBefore = true;
    run = 0;
  }
  return best;
}

class SoundServer : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"pulseaudio", "pactl", "parec"}) {
      if (!testing::ToolInPath(tool)) GTEST_SKIP() << "no sound server can be started here: " << tool << " is not installed (packages pulseaudio, pulseaudio-utils)";
    }
    for (const char* tool : {"zmakebas", "audio2tape", "tapeconv"}) {
      if (!testing::ToolInPath(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    dir_ = temp_.path();
    fs::create_directories(dir_ / "run");
    fs::permissions(dir_ / "run", fs::perms::owner_all);
    // As root the server warns that it is not meant to run as root, and runs.
    const std::string start = Env(dir_) + "pulseaudio -n --daemonize=yes --exit-idle-time=-1 --use-pid-file=yes" +
                              " --log-target=file:" + Quoted(dir_ / "pulse.log") +
                              " --load='module-null-sink sink_name=" + kSinkName + "'" +
                              " --load=module-native-protocol-unix";
    if (!RunTool(start, dir_ / "start.log")) GTEST_SKIP() << "the sound server did not start: " << Log("start.log");
    started_ = true;
    for (int i = 0; i < 50; ++i) {
      if (std::system((Env(dir_) + "pactl info >/dev/null 2>&1").c_str()) == 0) break;
      std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(RunTool(Env(dir_) + "pactl set-default-sink " + kSinkName, dir_ / "sink.log")) << Log("sink.log");

    std::ofstream(dir_ / "two.bas") << "10 PRINT \"REELO\"\n20 GO TO 10\n";
    ASSERT_TRUE(RunTool("zmakebas -n reelo -o " + Quoted(dir_ / "two.tap") + " " + Quoted(dir_ / "two.bas"),
                        dir_ / "zmakebas.log"));
    NullProgress progress;
    ASSERT_TRUE(LoadTapFile(tape_, (dir_ / "two.tap").string(), progress).ok());
    ASSERT_EQ(tape_.blockCount(), 2);
  }

  void TearDown() override {
    if (!started_) return;
    [[maybe_unused]] const int status = std::system((Env(dir_) + "pulseaudio --kill >/dev/null 2>&1").c_str());
  }

  std::string Log(const char* name) const {
    const Bytes bytes = testing::ReadFileBytes(dir_ / name);
    return std::string(bytes.begin(), bytes.end());
  }

  // Plays the tape with reelo-cli while parec records the monitor; returns
  // the recorded samples. With pauseAfterBlock the test presses Enter once,
  // a while after the deck said it holds.
  Bytes PlayAndRecord(bool pauseAfterBlock) {
    const fs::path raw = dir_ / "recording.raw";
    Child recorder("exec " + Env(dir_) + "parec -d " + kSinkName + ".monitor --format=u8 --rate=22050 --channels=1 --raw > " +
                   Quoted(raw));
    std::this_thread::sleep_for(500ms);
    const fs::path input = dir_ / "enter";
    mkfifo(input.c_str(), 0600);
    const int enter = open(input.c_str(), O_RDWR);  // kept open: the player never sees the input end
    const std::string play = "exec " + Env(dir_) + Quoted(REELO_CLI_PATH) + " play " + Quoted(dir_ / "two.tap") +
                             (pauseAfterBlock ? " --pause-after-block" : "") + " <" + Quoted(input) + " 2>" +
                             Quoted(dir_ / "play.log");
    Child player(play);
    if (pauseAfterBlock) {
      for (int i = 0; i < 300 && !FileHolds(dir_ / "play.log", "Пауза после блока"); ++i) std::this_thread::sleep_for(100ms);
      EXPECT_TRUE(FileHolds(dir_ / "play.log", "Пауза после блока")) << Log("play.log");
      std::this_thread::sleep_for(kHoldWait);
      EXPECT_EQ(write(enter, "\n", 1), 1);
    }
    EXPECT_EQ(player.Wait(60s), 0) << Log("play.log");
    close(enter);
    std::this_thread::sleep_for(500ms);  // the monitor's last samples
    recorder.Signal(SIGTERM);
    recorder.Wait(5s);
    EXPECT_TRUE(FileHolds(dir_ / "play.log", "Лента проиграна до конца")) << Log("play.log");
    return testing::ReadFileBytes(raw);
  }

  // The recording as the 8-bit 22050 Hz mono WAV the decoders read.
  fs::path SaveWav(const Bytes& samples, const char* name) {
    const WavHeader header = MakeWavHeader(static_cast<std::uint32_t>(samples.size()));
    Bytes file(header.begin(), header.end());
    file.insert(file.end(), samples.begin(), samples.end());
    testing::WriteFileBytes(dir_ / name, file);
    return dir_ / name;
  }

  // The program's own decoder, default bounds. The signal sends one byte
  // after each checksum, and a sound server's resampling rings at the step
  // into the pause, so that byte may be completed: a record then comes back
  // one byte longer, with the tape's record whole in front and the sent 0
  // after it. Everything else must match byte for byte.
  void ExpectOwnDecoderGetsTheRecords(const Bytes& samples) {
    ImportState state;
    testing::QuietImportHost host;
    ASSERT_TRUE(DecodeTape(state, PulseBounds{}, SaveWav(samples, "recording.wav").string(), host).ok());
    ASSERT_EQ(state.loadedBlocks.size(), tape_.blocks.size());
    for (std::size_t i = 0; i < tape_.blocks.size(); ++i) {
      const TapeBlock& sent = tape_.blocks[i];
      const TapeBlock& back = state.loadedBlocks[i];
      const int length = RecordLength(sent);
      ASSERT_TRUE(RecordLength(back) == length || RecordLength(back) == length + 1) << "block " << i;
      EXPECT_TRUE(std::equal(sent.begin() + 2, sent.end(), back.begin() + 2)) << "block " << i;
      if (RecordLength(back) == length + 1) {
        EXPECT_EQ(back.back(), 0) << "block " << i;
        std::cout << "block " << i << " came back with the byte sent after its checksum\n";
      }
    }
  }

  // The rescue path the import window and reelo-cli decode take: the recording
  // prepared (the slicer keeps the pause silent, so the byte after each
  // checksum is never completed) and decoded with fitted bounds gives the
  // tape's records exactly.
  void ExpectPreparedDecodingGetsTheRecordsExactly(const Bytes& samples) {
    std::ostringstream out, err;
    cli::Io io{out, err};
    cli::RecordingDecodeOptions options;
    options.printReport = false;
    TapeProject back;
    ASSERT_EQ(cli::DecodeRecording(SaveWav(samples, "prepared-source.wav").string(), options, back, io), cli::kExitOk)
        << err.str();
    EXPECT_TRUE(back.blocks == tape_.blocks) << err.str();
  }

  // audio2tape on a padded copy, then tapeconv: the TAP file itself.
  void ExpectAudio2TapeGetsTheTape(const Bytes& samples) {
    Bytes padded(kLeadIn, kRestLevel);
    padded.insert(padded.end(), samples.begin(), samples.end());
    padded.insert(padded.end(), kTailRest, kRestLevel);
    padded.insert(padded.end(), kClosingPulse, 255);
    padded.insert(padded.end(), kClosingPulse, 0);
    padded.insert(padded.end(), kClosingPulse, kRestLevel);
    const fs::path wav = SaveWav(padded, "padded.wav");
    ASSERT_TRUE(RunTool("audio2tape " + Quoted(wav) + " " + Quoted(dir_ / "back.tzx"), dir_ / "audio2tape.log"));
    ASSERT_TRUE(RunTool("tapeconv " + Quoted(dir_ / "back.tzx") + " " + Quoted(dir_ / "back.tap"), dir_ / "tapeconv.log"));
    EXPECT_TRUE(testing::ReadFileBytes(dir_ / "back.tap") == testing::ReadFileBytes(dir_ / "two.tap"))
        << Log("audio2tape.log");
  }

  testing::TempDir temp_;
  fs::path dir_;
  bool started_ = false;
  TapeProject tape_;
};

TEST_F(SoundServer, RecordingGivesTheTapeBack) {
  const Bytes samples = PlayAndRecord(false);
  ASSERT_GT(samples.size(), std::size_t{kRate});
  std::cout << "longest quiet between sounds: " << LongestInnerQuiet(samples) << " samples\n";
  ExpectOwnDecoderGetsTheRecords(samples);
  ExpectPreparedDecodingGetsTheRecordsExactly(samples);
  ExpectAudio2TapeGetsTheTape(samples);
  EXPECT_LT(LongestInnerQuiet(samples), kHeldQuietSamples) << "a hold where none was asked for";
}

TEST_F(SoundServer, PauseAfterEachBlockHoldsBetweenTheBlocks) {
  const Bytes samples = PlayAndRecord(true);
  ASSERT_GT(samples.size(), std::size_t{kRate});
  std::cout << "longest quiet between sounds: " << LongestInnerQuiet(samples) << " samples\n";
  EXPECT_GE(LongestInnerQuiet(samples), kHeldQuietSamples);
  ExpectOwnDecoderGetsTheRecords(samples);
  ExpectPreparedDecodingGetsTheRecordsExactly(samples);
  ExpectAudio2TapeGetsTheTape(samples);
}

// The sound card goes away in the middle of a block: the player says so and
// ends, never waits for ever.
TEST_F(SoundServer, SinkGoneStopsWithTheReason) {
  Child player("exec " + Env(dir_) + Quoted(REELO_CLI_PATH) + " play " + Quoted(dir_ / "two.tap") + " </dev/null 2>" +
               Quoted(dir_ / "play.log"));
  std::this_thread::sleep_for(1500ms);
  ASSERT_TRUE(RunTool(Env(dir_) + "pactl unload-module module-null-sink", dir_ / "unload.log")) << Log("unload.log");
  EXPECT_EQ(player.Wait(20s), 2) << Log("play.log");
  EXPECT_TRUE(FileHolds(dir_ / "play.log", "Нет устройства для вывода звука: ")) << Log("play.log");
}

// Ctrl+C in the middle of a block: the stream is closed and the status says
// the player was interrupted (130, as a shell counts SIGINT).
TEST_F(SoundServer, CtrlCStopsCleanly) {
  Child player("exec " + Env(dir_) + Quoted(REELO_CLI_PATH) + " play " + Quoted(dir_ / "two.tap") + " </dev/null 2>" +
               Quoted(dir_ / "play.log"));
  std::this_thread::sleep_for(1500ms);
  player.Signal(SIGINT);
  EXPECT_EQ(player.Wait(10s), 130) << Log("play.log");
  EXPECT_TRUE(FileHolds(dir_ / "play.log", "Остановлено (Ctrl+C)")) << Log("play.log");
  ASSERT_TRUE(RunTool(Env(dir_) + "pactl list short sink-inputs", dir_ / "inputs.log"));
  EXPECT_EQ(Log("inputs.log"), "") << "a stream left open on the server";
}

// The sound output driven by sound_open_probe over two pipes, line by line.
class Probe {
 public:
  explicit Probe(const std::string& env) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      close(in[1]);
      close(out[0]);
      const std::string command = "exec " + env + Quoted(SOUND_OPEN_PROBE_PATH) + " 2>/dev/null";
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
    fcntl(from_, F_SETFL, O_NONBLOCK);
  }
  ~Probe() {
    if (to_ >= 0) close(to_);
    if (from_ >= 0) close(from_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  void Send(const std::string& line) {
    const std::string text = line + "\n";
    EXPECT_EQ(write(to_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // The next line starting with word, or "" after the timeout; lines
  // passed over are kept in the log.
  std::string Next(const std::string& word, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (true) {
      for (std::size_t at; (at = pending_.find('\n')) != std::string::npos;) {
        const std::string line = pending_.substr(0, at);
        pending_.erase(0, at + 1);
        log_ += line + "\n";
        if (line.rfind(word + " ", 0) == 0 || line == word) return line;
      }
      if (std::chrono::steady_clock::now() >= end) return "";
      char buffer[512];
      const ssize_t n = read(from_, buffer, sizeof buffer);
      if (n > 0) {
        pending_.append(buffer, static_cast<std::size_t>(n));
      } else {
        std::this_thread::sleep_for(10ms);
      }
    }
  }
  // The number after the word of a line ("start 12 ok" gives 12).
  static long Millis(const std::string& line) {
    const auto space = line.find(' ');
    return space == std::string::npos ? -1 : std::strtol(line.c_str() + space + 1, nullptr, 10);
  }
  // The longest time the probe's event loop stood still since the last ask.
  long Gap() {
    Send("gap");
    return Millis(Next("gap", 5s));
  }
  const std::string& log() const { return log_; }

 private:
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
  std::string pending_, log_;
};

// The sound output opened while the server refuses the stream, stalls, or
// has lost the sink: Start holds its caller for about a quarter of a second
// at most, the event loop (a window's) never stands still for long, and the
// output either plays or fails with the reason the window shows after
// "Нет устройства для вывода звука".
TEST_F(SoundServer, OpeningNeverHoldsTheWindow) {
  std::string pid;
  for (char c : testing::ReadFileBytes(dir_ / "run" / "pulse" / "pid")) {
    if (std::isdigit(static_cast<unsigned char>(c))) pid += c;
  }
  ASSERT_FALSE(pid.empty()) << "no pid file of the sound server";
  const pid_t server = static_cast<pid_t>(std::stol(pid));
  // Far above the quarter second Start waits (a busy machine), far below
  // the three seconds of a stalled open, and the refusal's "for ever".
  constexpr long kLongestHold = 1000;
  constexpr long kLongestGap = 2000;
  Probe probe(Env(dir_));
  ASSERT_NE(probe.Next("ready", 20s), "") << probe.log();
  auto playsAgain = [&](const char* when) {
    SCOPED_TRACE(when);
    probe.Send("play");
    const std::string start = probe.Next("start", 10s);
    EXPECT_NE(start.find(" ok"), std::string::npos) << probe.log();
    EXPECT_NE(probe.Next("playing", 10s), "") << probe.log();
    probe.Send("stop");
    EXPECT_NE(probe.Next("stopped", 5s), "") << probe.log();
  };
  playsAgain("at first");  // Qt's connection to the server is made now

  // A sink that takes only compressed streams refuses every new stream: Qt
  // waits for ever for the stream to become ready.
  ASSERT_TRUE(RunTool(Env(dir_) + "pactl load-module module-null-sink sink_name=refuser formats=ac3-iec61937",
                      dir_ / "refuser.log"))
      << Log("refuser.log");
  std::this_thread::sleep_for(500ms);  // the device list follows the server
  probe.Send("select refuser");
  EXPECT_NE(probe.Next("selected", 5s).find("refuser"), std::string::npos) << probe.log();
  probe.Gap();
  probe.Send("play");
  const std::string refusedStart = probe.Next("start", 10s);
  EXPECT_LE(Probe::Millis(refusedStart), kLongestHold) << probe.log();
  const std::string refused = probe.Next("failed", 10s);
  EXPECT_NE(refused.find("звуковой сервер не открыл поток за 3 секунды"), std::string::npos) << probe.log();
  EXPECT_LE(probe.Gap(), kLongestGap) << probe.log();

  // reelo-cli play on that sink says why and ends with status 2 (the thread
  // left in Qt's open must not bring the program down at exit).
  ASSERT_TRUE(RunTool(Env(dir_) + "pactl set-default-sink refuser", dir_ / "default.log")) << Log("default.log");
  Child player("exec " + Env(dir_) + Quoted(REELO_CLI_PATH) + " play " + Quoted(dir_ / "two.tap") + " </dev/null 2>" +
               Quoted(dir_ / "refused.log"));
  EXPECT_EQ(player.Wait(30s), 2) << Log("refused.log");
  EXPECT_TRUE(FileHolds(dir_ / "refused.log",
                        "Нет устройства для вывода звука: звуковой сервер не открыл поток за 3 секунды"))
      << Log("refused.log");
  ASSERT_TRUE(RunTool(Env(dir_) + "pactl set-default-sink " + kSinkName, dir_ / "default.log")) << Log("default.log");

  // The chosen sink unloaded: the device check answers at once.
  ASSERT_TRUE(RunTool(Env(dir_) + "pactl unload-module " + Log("refuser.log"), dir_ / "unload.log")) << Log("unload.log");
  std::this_thread::sleep_for(500ms);
  probe.Send("play");
  EXPECT_NE(probe.Next("start", 10s).find("выбранное устройство больше не подключено"), std::string::npos)
      << probe.log();
  probe.Send("select " + std::string(kSinkName));
  EXPECT_NE(probe.Next("selected", 5s).find(kSinkName), std::string::npos) << probe.log();

  // The server stopped for a second and a half while the stream opens: it
  // plays once the server answers.
  probe.Gap();
  kill(server, SIGSTOP);
  probe.Send("play");
  const std::string stalledStart = probe.Next("start", 10s);
  std::this_thread::sleep_for(1500ms);
  kill(server, SIGCONT);
  EXPECT_LE(Probe::Millis(stalledStart), kLongestHold) << probe.log();
  EXPECT_NE(stalledStart.find(" ok"), std::string::npos) << probe.log();
  EXPECT_NE(probe.Next("playing", 10s), "") << probe.log();
  EXPECT_EQ(probe.log().find("failed", probe.log().rfind(stalledStart)), std::string::npos) << probe.log();
  EXPECT_LE(probe.Gap(), kLongestGap) << probe.log();
  probe.Send("stop");
  EXPECT_NE(probe.Next("stopped", 5s), "") << probe.log();

  // Stopped for five seconds: the output gives up after three and says so;
  // with the server back, playing works again.
  kill(server, SIGSTOP);
  probe.Send("play");
  const std::string silentStart = probe.Next("start", 10s);
  const std::string silent = probe.Next("failed", 10s);
  std::this_thread::sleep_for(1s);
  kill(server, SIGCONT);
  EXPECT_LE(Probe::Millis(silentStart), kLongestHold) << probe.log();
  EXPECT_NE(silent.find("звуковой сервер не открыл поток за 3 секунды"), std::string::npos) << probe.log();
  EXPECT_LE(probe.Gap(), kLongestGap) << probe.log();
  playsAgain("after the server came back");
  std::cout << probe.log();
}

// reelo-cli play's answers that need no sound: bad calls, and no server at all.
struct PlayCall {
  const char* name;
  const char* args;  // after "play"; TAPE is the two-block tape, TZX the same as a TZX file, EMPTY an empty file
  int exitCode;
  const char* says;  // a part of what it prints on standard error
};

void PrintTo(const PlayCall& call, std::ostream* out) { *out << call.name; }

class PlayCommand : public ::testing::TestWithParam<PlayCall> {};

TEST_P(PlayCommand, AnswersWithoutSound) {
  const PlayCall& call = GetParam();
  testing::TempDir dir;
  testing::WriteFileBytes(dir / "two.tap", testing::Concat({testing::MakeHeader(0, "two", 3), testing::MakeDataBlock({1, 2, 3})}));
  testing::WriteFileBytes(dir / "empty.tap", {});
  const Bytes tap = testing::ReadFileBytes(dir / "two.tap");
  Bytes tzx = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
  for (std::size_t at = 0; at + 2 <= tap.size();) {  // each record as a standard block, pause 1000 ms
    const std::size_t length = tap[at] | tap[at + 1] << 8;
    tzx.insert(tzx.end(), {0x10, 0xE8, 0x03});
    tzx.insert(tzx.end(), tap.begin() + static_cast<std::ptrdiff_t>(at), tap.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
    at += 2 + length;
  }
  testing::WriteFileBytes(dir / "two.tzx", tzx);
  std::string args = call.args;
  for (auto [word, file] : {std::pair{"TAPE", "two.tap"}, std::pair{"TZX", "two.tzx"}, std::pair{"EMPTY", "empty.tap"}}) {
    if (const auto at = args.find(word); at != std::string::npos) args.replace(at, std::strlen(word), Quoted(dir / file));
  }
  // A server address where nothing listens: no sound server, whatever runs on this machine.
  Child player("exec env PULSE_SERVER=unix:" + Quoted(dir / "none") + " XDG_RUNTIME_DIR=" + Quoted(dir.path()) +
               " " + Quoted(REELO_CLI_PATH) + " play " + args + " </dev/null 2>" + Quoted(dir / "err.log"));
  const int status = player.Wait(30s);
  const Bytes err = testing::ReadFileBytes(dir / "err.log");
  const std::string said(err.begin(), err.end());
  EXPECT_EQ(status, call.exitCode) << said;
  EXPECT_NE(said.find(call.says), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(
    Calls, PlayCommand,
    ::testing::Values(PlayCall{"no_sound_server", "TAPE", 2,
                               "Нет устройства для вывода звука: звуковой сервер недоступен"},
                      PlayCall{"no_such_file", "missing.tap", 2, "reelo-cli: "},
                      PlayCall{"empty_tape", "EMPTY", 1, "в ленте нет блоков"},
                      PlayCall{"block_zero", "TAPE --from 0", 2, "--from: номер блока от 1 до 2"},
                      PlayCall{"block_past_the_end", "TAPE --from 3", 2, "--from: номер блока от 1 до 2"},
                      PlayCall{"unknown_option", "TAPE --loud", 2, "неизвестный параметр --loud"},
                      PlayCall{"tzx_tape_read_and_sent", "TZX --rate 44100 --bits 16 --rom-timings", 2,
                               "Нет устройства для вывода звука: звуковой сервер недоступен"},
                      PlayCall{"unsupported_rate", "TAPE --rate 32000", 2,
                               "reelo-cli: частота 22050, 44100 или 48000, разрядность 8 или 16"},
                      PlayCall{"rate_not_a_number", "TAPE --rate fast", 2, "reelo-cli: неверная частота"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reelo
