// The functions behind reelo-cli's commands, one group per source file.
#pragma once

#include <optional>
#include <string>

#include "cli/cli.h"
#include "sound/export/signal_stream.h"
#include "sound/import/pulse_classifier.h"
#include "sound/recording/preparation.h"

namespace reelo::cli {

// cli_recording.cpp: decode and analyse.
int RunDecode(const Args& args, Io& io);
int RunAnalyse(const Args& args, Io& io);

// How a recording becomes records. The defaults are the best automatic
// settings: prepared (cleaned, channel chosen), bounds fitted to its spectrum.
struct RecordingDecodeOptions {
  bool prepare = true;      // false: the decoder reads the file as it is
  bool fitBounds = true;    // false: the default bounds
  ChannelChoice channel = ChannelChoice::Auto;
  std::optional<PulseBounds> bounds;  // given bounds win over both
  bool printReport = true;  // the summary, quality report, bounds and report lines on out
};

// Reads --exact, --no-prepare, --channel and --bounds (those present) into
// options; false after printing a usage error.
bool ParseRecordingOptions(const ParsedArgs& parsed, RecordingDecodeOptions& options, Io& io, const char* command);

// Decodes a recording (any format libsndfile reads, else byte by byte) and
// appends the records found to project, answering every bad-signal question
// "Шум". Returns kExitOk when at least one record was added, kExitNothing when
// none was found, kExitUsage (after printing the reason in Russian) when the
// recording cannot be read or prepared.
int DecodeRecording(const std::string& recording, const RecordingDecodeOptions& options, TapeProject& project, Io& io);
// The same over one or more recordings (takes) of one tape: with preparation
// and no bounds given they are read by periods, merged and repaired where the
// checksum allows; several takes otherwise are refused by the caller.
int DecodeRecordings(const std::vector<std::string>& recordings, const RecordingDecodeOptions& options,
                     TapeProject& project, Io& io);
// cli_blocks.cpp: a program from BASIC text, a CODE block from a binary.
int RunBas2Tap(const Args& args, Io& io);
int RunBin2Tap(const Args& args, Io& io);
// cli_formats.cpp: tapes in every format.
int RunList(const Args& args, Io& io);
int RunConvert(const Args& args, Io& io);
// Reads --rate, --bits, --invert and --rom-timings into options (sound options
// are refused unless wav); false after printing a usage error for command.
bool ReadConvertOptions(const ParsedArgs& parsed, bool wav, SignalOptions& options, Io& io,
                        const char* command = "convert");
// Reads a tape of any format (TAP, TZX, PZX, CSW) into an empty project,
// printing any warning; false after printing why it cannot be read. A WAV
// recording is refused by the reader with its own message.
bool ReadAnyTape(const std::string& path, TapeProject& project, Io& io);
// How a conversion's output reaches the disk. Always through a temporary file
// renamed whole over the output; with SyncReplaced the data is flushed to the
// disk before the rename only when an existing file is replaced (a new output
// has nothing older to lose if the machine stops first); with AsActive the
// file calls in place decide (a batch syncs once at its end).
enum class OutputSync { SyncReplaced, AsActive };
// Converts one file as `convert ВХОД ВЫХОД` does (a recording is decoded; the
// output's ending picks TAP, TZX or WAV, written atomically). Returns kExitOk,
// kExitNothing (no blocks) or kExitUsage, after printing why on io.err.
int ConvertFile(const std::string& input, const std::string& output, const SignalOptions& options, Io& io,
                OutputSync sync = OutputSync::SyncReplaced);
int RunView(const Args& args, Io& io);
// play TAPE [--from N] [--pause-after-block] [sound options as convert's]: the
// tape through the sound card (cli_play.cpp, built into reelo-cli-play only:
// it needs Qt).
int RunPlay(const Args& args, Io& io);
// reelo-cli's play row: replaces the process by reelo-cli-play beside it with
// the same arguments (cli_play_handover.cpp); returns only when it cannot.
int HandOverPlay(const Args& args, Io& io);
// The path reelo-cli-play is looked for at: the running program's folder.
std::string PlayerPath();

}  // namespace reelo::cli
