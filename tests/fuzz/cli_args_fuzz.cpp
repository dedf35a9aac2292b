// reelo-cli's argument handling under arbitrary argument vectors. The input is
// split at zero bytes into arguments; every command runs in an empty folder of
// its own, with every '/' in an argument turned into '_' (and ".." into "_.")
// so that no path can leave that folder. With no input file to read, the model
// is simple: a call either asks for help (status 0) or is refused with status
// 2 and a message; it never crashes, never prints results, and never leaves a
// file behind.
// A batch conversion (convert with --to, --out-dir, -j or --overwrite) finds
// one readable tape, t.tap, in the folder. Its model: status 0, 1 or 2 with a
// message unless 0, nothing on standard output, status 0 only for help or a
// summary that says every file was converted, t.tap unchanged, and no file
// left but t.tap and what a conversion of it may write (t.tzx, t.wav).
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>
#include <sstream>

#include "cli/cli.h"
#include "fuzz_support.h"

namespace {

constexpr std::size_t kMaxArgs = 12;
constexpr std::size_t kMaxArgLength = 80;

// A small tape: a CODE header and its two data bytes.
const std::vector<std::uint8_t> kTape = {0x13, 0x00, 0x00, 0x03, 't', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                         0x02, 0x00, 0x00, 0x80, 0x00, 0x80, 0x55, 0x04, 0x00, 0xFF, 0x12, 0x34, 0xD9};

bool IsBatch(const reelo::cli::Args& args) {
  if (args.empty() || args[0] != "convert") return false;
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    for (const char* option : {"--to", "--out-dir", "--jobs", "--overwrite", "-j"}) {
      if (arg.rfind(option, 0) == 0) return true;
    }
  }
  return false;
}

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool AsksForHelp(const reelo::cli::Args& args) {
  return std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help"; }) ||
         (!args.empty() && (args[0] == "-h" || args[0] == "help"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path folder = [] {
    const auto path = reelo::fuzz::ScratchDir() / "cli";
    std::filesystem::create_directories(path);
    return path;
  }();

  reelo::cli::Args args(1);
  for (std::size_t i = 0; i < size && args.size() <= kMaxArgs; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else if (args.back().size() < kMaxArgLength) {
      args.back().push_back(data[i] == '/' ? '_' : static_cast<char>(data[i]));
    }
  }
  if (size == 0) args.clear();
  for (std::string& arg : args) {
    if (arg == "..") arg = "_.";
  }
  const bool batch = IsBatch(args) && !AsksForHelp(args);
  if (batch) std::ofstream(folder / "t.tap", std::ios::binary).write(reinterpret_cast<const char*>(kTape.data()),
                                                                    static_cast<std::streamsize>(kTape.size()));

  std::ostringstream out, err;
  reelo::cli::Io io{out, err, false};
  // The command runs in the empty folder; libFuzzer's own relative paths need
  // the working folder back afterwards.
  const std::filesystem::path home = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  const int status = reelo::cli::RunCli(args, io);
  std::filesystem::current_path(home);

  if (batch) {
    FUZZ_CHECK(status == reelo::cli::kExitOk || status == reelo::cli::kExitNothing ||
               status == reelo::cli::kExitUsage);
    FUZZ_CHECK(out.str().empty());
    FUZZ_CHECK(status == reelo::cli::kExitOk || !err.str().empty());
    if (status == reelo::cli::kExitOk) FUZZ_CHECK(err.str().find("Переведено ") != std::string::npos);
    FUZZ_CHECK(ReadAll(folder / "t.tap") == kTape);
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      FUZZ_CHECK(name == "t.tap" || name == "t.tzx" || name == "t.wav");
    }
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return 0;
  }
  FUZZ_CHECK(status == reelo::cli::kExitOk || status == reelo::cli::kExitUsage);
  if (status == reelo::cli::kExitOk) {
    FUZZ_CHECK(AsksForHelp(args));
    FUZZ_CHECK(!out.str().empty());
  } else {
    FUZZ_CHECK(!err.str().empty());
    FUZZ_CHECK(out.str().empty());
  }
  FUZZ_CHECK(std::filesystem::is_empty(folder));
  return 0;
}
