// reelo-cli's argument handling under arbitrary argument vectors. The input is
// split at zero bytes into arguments; every command runs in an empty folder of
// its own, with every '/' in an argument turned into '_' so that no path can
// leave that folder. With no input file to read, the model is simple: a call
// either asks for help (status 0) or is refused with status 2 and a message;
// it never crashes, never prints results, and never leaves a file behind.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "fuzz_support.h"

namespace {

constexpr std::size_t kMaxArgs = 12;
constexpr std::size_t kMaxArgLength = 80;

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

  std::ostringstream out, err;
  reelo::cli::Io io{out, err, false};
  // The command runs in the empty folder; libFuzzer's own relative paths need
  // the working folder back afterwards.
  const std::filesystem::path home = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  const int status = reelo::cli::RunCli(args, io);
  std::filesystem::current_path(home);

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
