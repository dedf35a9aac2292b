// reelo-cli play: hands the call over to reelo-cli-play, the program beside
// reelo-cli that holds the deck and Qt Multimedia, so every other command
// starts without loading Qt. The hand-over replaces this process (execv):
// the player's exit status, Ctrl+C and standard input are the caller's own.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "project/system_error.h"

namespace reelo::cli {
namespace {

constexpr const char* kPlayerName = "reelo-cli-play";
constexpr const char* kNoPlayerText = "проигрывание недоступно: не найдена программа reelo-cli-play рядом с reelo-cli";

// The folder of the running program, from the kernel's link to it ("" when unknown).
std::string OwnFolder() {
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return {};
  const std::string self(path.data(), static_cast<std::size_t>(length));
  const std::size_t slash = self.rfind('/');
  return slash == std::string::npos ? std::string() : self.substr(0, slash + 1);
}

}  // namespace

std::string PlayerPath() {
  const std::string folder = OwnFolder();
  return folder.empty() ? std::string() : folder + kPlayerName;
}

int HandOverPlay(const Args& args, Io& io) {
  const std::string player = PlayerPath();
  if (player.empty() || access(player.c_str(), X_OK) != 0) {
    PrintFailure(io, kNoPlayerText);
    return kExitUsage;
  }
  std::vector<char*> argv;
  std::string name = kPlayerName;
  argv.push_back(name.data());
  std::vector<std::string> copies(args.begin(), args.end());
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  io.out.flush();
  io.err.flush();
  execv(player.c_str(), argv.data());
  PrintFailure(io, kNoPlayerText, SystemErrorText(errno));
  return kExitUsage;
}

}  // namespace reelo::cli
