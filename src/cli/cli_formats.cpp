// reelo-cli's commands for tapes in every format: list, convert and view.
#include <sys/stat.h>

#include <cctype>
#include <optional>

#include "cli/cli_batch.h"
#include "cli/commands.h"
#include "blocks/png_writer.h"
#include "project/atomic_file.h"
#include "project/block_kinds.h"
#include "project/file_calls.h"
#include "project/tap_file.h"
#include "formats/tape_file.h"
#include "project/block_list.h"
#include "sound/export/signal_stream.h"
#include "sound/export/wav_export.h"
#include "viewers/basic_listing.h"
#include "viewers/line_ends.h"
#include "viewers/dump_view.h"
#include "viewers/screen_view.h"
#include "viewers/text_view.h"

namespace reelo::cli {
namespace {

bool EndsWith(const std::string& name, const std::string& ending) {
  if (name.size() < ending.size()) return false;
  for (std::size_t i = 0; i < ending.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(name[name.size() - ending.size() + i])) != ending[i]) return false;
  }
  return true;
}

// A sound recording rather than a tape image, by the name's ending: convert
// decodes it as `decode` does.
bool IsRecordingName(const std::string& name) {
  for (const char* ending : {".wav", ".flac", ".ogg", ".oga", ".aif", ".aiff", ".w64", ".rf64"}) {
    if (EndsWith(name, ending)) return true;
  }
  return false;
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

int NoSync(int) { return 0; }

}  // namespace

bool ReadAnyTape(const std::string& path, TapeProject& project, Io& io) {
  NullProgress progress;
  const OpResult result = LoadTapeFile(project, path, progress);
  if (!result.ok()) {
    PrintFailure(io, result.message, result.detail);
    return false;
  }
  if (result.isWarning()) io.err << result.message << '\n';
  return true;
}

int RunList(const Args& args, Io& io) {
  const ParsedArgs parsed = ParseArgs(args, {}, 1, 1);
  if (!parsed.error.empty()) return UsageError(io, "list", parsed.error);
  TapeProject project;
  if (!ReadAnyTape(parsed.positional[0], project, io)) return kExitUsage;
  // A damaged block's line carries a mark and what is wrong with it.
  for (const BlockListEntry& entry : BlockListEntries(project)) {
    io.out << entry.line;
    if (!entry.damage.empty()) io.out << "  ! " << entry.damage;
    io.out << '\n';
  }
  const ProjectSummary summary = Summarize(project);
  io.out << summary.blocksText << '\n' << summary.filesText << '\n' << summary.dataText << '\n';
  return project.blockCount() > 0 ? kExitOk : kExitNothing;
}

bool ReadConvertOptions(const ParsedArgs& parsed, bool wav, SignalOptions& options, Io& io, const char* command) {
  long long value = 0;
  if (parsed.has("--rate")) {
    if (!ParseNumber(parsed.value("--rate"), 1, 1000000, value)) {
      UsageError(io, command, "неверная частота");
      return false;
    }
    options.sampleRate = static_cast<int>(value);
  }
  if (parsed.has("--bits")) {
    if (!ParseNumber(parsed.value("--bits"), 1, 64, value)) {
      UsageError(io, command, "неверная разрядность");
      return false;
    }
    options.bitsPerSample = static_cast<int>(value);
  }
  options.inverted = parsed.has("--invert");
  if (parsed.has("--rom-timings")) options.timings = SignalTimings::Rom;
  if (!wav && !(options == SignalOptions{})) {
    UsageError(io, command, "параметры звука действуют только для WAV-файла");
    return false;
  }
  if (!IsValid(options)) {
    UsageError(io, command, "частота 22050, 44100 или 48000, разрядность 8 или 16");
    return false;
  }
  return true;
}

int ConvertFile(const std::string& input, const std::string& out, const SignalOptions& options, Io& io,
                OutputSync sync) {
  // Looked at before anything is read: whether the call replaces a file.
  const bool newOutput = sync == OutputSync::SyncReplaced && !PathExists(out);
  TapeProject project;
  if (IsRecordingName(input)) {
    RecordingDecodeOptions decoding;
    decoding.printReport = false;
    const int decoded = DecodeRecording(input, decoding, project, io);
    if (decoded != kExitOk) return decoded;
  } else if (!ReadAnyTape(input, project, io)) {
    return kExitUsage;
  }
  if (project.blockCount() == 0) {
    PrintFailure(io, "в файле нет блоков: " + input);
    return kExitNothing;
  }
  NullProgress progress;
  project.fileName = out;
  const bool wav = EndsWith(out, ".wav");
  const TapLosses losses = wav || IsTzxFileName(out) ? TapLosses{} : TapLossesOf(project);
  if (!losses.empty()) io.err << TapLossesText(losses) << '\n';
  OpResult result;
  {
    // The file calls in place, with the flush to the disk left to the system,
    // and with it the writeback: started early, it would make the conversion
    // wait for the disk (twice as long for a 1.4 GB WAV).
    FileCalls unsynced = ActiveFileCalls();
    unsynced.fsync = NoSync;
    unsynced.syncRange = nullptr;
    std::optional<ScopedFileCalls> noSync;
    if (newOutput) noSync.emplace(unsynced);
    result = wav ? SaveWavFile(project, out, options, progress) : SaveTapeFile(project, progress);
  }
  if (!result.ok()) {
    PrintFailure(io, result.message + " (" + out + ")", result.detail);
    return kExitUsage;
  }
  // A TAP file written from signal blocks: what was decoded from them.
  if (result.isWarning()) io.err << result.message << '\n';
  return kExitOk;
}

int RunConvert(const Args& args, Io& io) {
  const ParsedArgs parsed = ParseArgs(BatchOptionsSpelledOut(args),
                                      {{"--rate", true},
                                       {"--bits", true},
                                       {"--invert", false},
                                       {"--rom-timings", false},
                                       {"--to", true},
                                       {"--out-dir", true},
                                       {"--jobs", true},
                                       {"--overwrite", false}},
                                      1, std::string::npos);
  if (!parsed.error.empty()) return UsageError(io, "convert", parsed.error);
  if (IsBatchCall(parsed)) return RunBatchConvert(parsed, io);
  if (parsed.positional.size() != 2) {
    return UsageError(io, "convert", parsed.positional.size() < 2 ? "не хватает аргументов"
                                                                  : "лишний аргумент " + parsed.positional[2] +
                                                                        " (несколько файлов: --to ФОРМАТ --out-dir ПАПКА)");
  }
  const std::string& out = parsed.positional[1];
  if (EndsWith(out, ".pzx") || EndsWith(out, ".csw")) {
    return UsageError(io, "convert", "PZX и CSW только читаются: выходной файл .tap, .tzx или .wav");
  }
  SignalOptions options;
  if (!ReadConvertOptions(parsed, EndsWith(out, ".wav"), options, io)) return kExitUsage;
  return ConvertFile(parsed.positional[0], out, options, io);
}

int RunView(const Args& args, Io& io) {
  const ParsedArgs parsed = ParseArgs(args, {}, 3, 4);
  if (!parsed.error.empty()) return UsageError(io, "view", parsed.error);
  const std::string& kind = parsed.positional[0];
  const bool screen = kind == "screen";
  if (kind != "basic" && kind != "text" && kind != "dump" && !screen) {
    return UsageError(io, "view", "вид должен быть basic, text, dump или screen");
  }
  if (screen != (parsed.positional.size() == 4)) {
    return UsageError(io, "view", screen ? "не указан PNG-файл" : "лишний аргумент " + parsed.positional.back());
  }
  TapeProject project;
  if (!ReadAnyTape(parsed.positional[1], project, io)) return kExitUsage;
  long long number = 0;
  if (!ParseNumber(parsed.positional[2], 1, project.blockCount(), number)) {
    PrintFailure(io, "нет блока с номером " + parsed.positional[2],
                 "в ленте блоков:" + NumberText(project.blockCount()));
    return kExitUsage;
  }
  const TapeBlock& block = project.blocks[static_cast<std::size_t>(number - 1)];
  NullProgress progress;
  if (kind == "basic") io.out << BuildSpectrumListing(block);
  if (kind == "text") io.out << WithLfLineEnds(BuildTextView(block, progress));
  if (kind == "dump") io.out << WithLfLineEnds(BuildDumpView(block, progress));
  if (!screen) return kExitOk;
  const ScreenPicture picture = DecodeScreen(block);
  std::vector<std::uint32_t> pixels;
  pixels.reserve(static_cast<std::size_t>(kScreenWidth) * kScreenHeight);
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) pixels.push_back(ScreenPixelColour(picture, ScreenMode::Colour, x, y));
  }
  const std::vector<std::uint8_t> png = EncodePng(kScreenWidth, kScreenHeight, pixels);
  AtomicFileWriter writer;
  const bool saved = writer.Open(parsed.positional[3]) && writer.Write(png.data(), png.size()) && writer.Commit();
  const OpResult written = saved ? OpResult::Success() : OpResult::Fail(kSaveFailedText, writer.error());
  if (!written.ok()) {
    PrintFailure(io, written.message + " (" + parsed.positional[3] + ")", written.detail);
    return kExitUsage;
  }
  return kExitOk;
}

}  // namespace reelo::cli
