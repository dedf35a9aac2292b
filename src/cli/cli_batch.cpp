#include "cli/cli_batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "project/file_calls.h"
#include "project/system_error.h"

namespace reelo::cli {
namespace {

constexpr long long kMaxJobs = 256;
constexpr int kExitInterrupted = 128 + SIGINT;
constexpr const char* kProgramPrefix = "reelo-cli: ";

// Set by the stop signals while a batch runs; workers look at it between files.
std::atomic<bool> stopRequested{false};
std::atomic<int> stopSignal{0};

extern "C" void OnBatchStop(int signal) {
  stopSignal.store(signal);
  stopRequested.store(true);
}

// Installs the stop handlers for the life of the object. A second Ctrl+C gets
// the system's default (SA_RESETHAND): a user who will not wait can still end
// the program at once (an output under way then stays a hidden temporary file).
class BatchStopSignals {
 public:
  BatchStopSignals() {
    stopRequested.store(false);
    stopSignal.store(0);
    struct sigaction action {};
    action.sa_handler = OnBatchStop;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
  }
  ~BatchStopSignals() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }
  BatchStopSignals(const BatchStopSignals&) = delete;
  BatchStopSignals& operator=(const BatchStopSignals&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

// What a file is known by for spotting duplicates: its device and inode when
// it exists (whatever path names it), its path made absolute otherwise.
std::string Identity(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    return std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino);
  }
  std::error_code error;
  return "?" + std::filesystem::absolute(path, error).lexically_normal().string();
}

// Each result is written whole to a temporary file, closed and renamed, as
// every save is; the batch only leaves the flush to the disk to one syncfs at
// its end instead of one fsync per file, which on a disk costs more than
// converting a small file.
int SyncLater(int) { return 0; }

// Flushes the file system of the folder; "" or the reason it failed.
std::string SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return SystemErrorText(errno);
  const int synced = syncfs(fd);
  const int err = errno;
  close(fd);
  return synced == 0 ? std::string() : SystemErrorText(err);
}

// "" when the folder exists and a file can be created in it; else the reason.
std::string OutputFolderProblem(const std::string& folder) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) return SystemErrorText(errno);
  if (!S_ISDIR(info.st_mode)) return "это не папка";
  std::string probe = folder + "/.reelo-cli-XXXXXX";
  const int fd = mkstemp(probe.data());
  if (fd < 0) return SystemErrorText(errno);
  close(fd);
  unlink(probe.c_str());
  return {};
}

// Each line a conversion printed, with the file it was about in front.
std::string WithFileName(const std::string& input, const std::string& text) {
  std::string result;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(kProgramPrefix, 0) == 0) line.erase(0, std::char_traits<char>::length(kProgramPrefix));
    result += kProgramPrefix + input + ": " + line + '\n';
  }
  return result;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

enum class ItemState { NotStarted, Done };

struct ItemOutcome {
  ItemState state = ItemState::NotStarted;
  int code = kExitOk;
};

}  // namespace

Args BatchOptionsSpelledOut(const Args& args) {
  Args result;
  bool optionsEnded = false;
  for (const std::string& arg : args) {
    if (optionsEnded) {
      result.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
      result.push_back(arg);
    } else if (arg == "-j") {
      result.push_back("--jobs");
    } else if (arg.size() > 2 && arg.compare(0, 2, "-j") == 0) {
      result.push_back("--jobs=" + arg.substr(2));
    } else {
      result.push_back(arg);
    }
  }
  return result;
}

bool IsBatchCall(const ParsedArgs& parsed) {
  return parsed.has("--to") || parsed.has("--out-dir") || parsed.has("--jobs") || parsed.has("--overwrite");
}

std::vector<BatchItem> PlanBatch(const std::vector<std::string>& inputs, const std::string& outDir,
                                 const std::string& format) {
  std::vector<std::string> inputIds;
  inputIds.reserve(inputs.size());
  for (const std::string& input : inputs) inputIds.push_back(Identity(input));
  const std::set<std::string> allInputs(inputIds.begin(), inputIds.end());
  std::set<std::string> seenInputs;
  // Every output is in the one folder, so its name tells outputs apart.
  std::map<std::string, std::string> outputs;  // name of an output -> the input writing it
  std::vector<BatchItem> items;
  items.reserve(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    BatchItem item{inputs[i], {}, {}};
    const std::string name = std::filesystem::path(inputs[i]).filename().replace_extension(format).string();
    item.output = (std::filesystem::path(outDir) / name).string();
    const std::string& inputId = inputIds[i];
    if (!seenInputs.insert(inputId).second) {
      item.problem = "файл указан дважды, переводится один раз";
    } else if (const auto taken = outputs.find(name); taken != outputs.end()) {
      item.problem = "выходной файл " + item.output + " уже получает " + taken->second +
                     " (одинаковые имена из разных папок)";
    } else if (const std::string outputId = Identity(item.output);
               outputId != inputId && allInputs.count(outputId) != 0) {
      item.problem = "выходной файл " + item.output + " заменил бы другой входной файл";
    } else {
      outputs.emplace(name, inputs[i]);
    }
    items.push_back(std::move(item));
  }
  return items;
}

int RunBatchConvert(const ParsedArgs& parsed, Io& io) {
  if (!parsed.has("--to") || !parsed.has("--out-dir")) {
    return UsageError(io, "convert", "для нескольких файлов нужны --to ФОРМАТ и --out-dir ПАПКА");
  }
  const std::string format = parsed.value("--to");
  if (format != "tap" && format != "tzx" && format != "wav") {
    return UsageError(io, "convert", "--to: формат tap, tzx или wav (PZX и CSW только читаются)");
  }
  long long jobs = std::max(1u, std::thread::hardware_concurrency());
  if (parsed.has("--jobs") && !ParseNumber(parsed.value("--jobs"), 1, kMaxJobs, jobs)) {
    return UsageError(io, "convert", "-j: число потоков от 1 до 256");
  }
  SignalOptions options;
  if (!ReadConvertOptions(parsed, format == "wav", options, io)) return kExitUsage;
  const std::string outDir = parsed.value("--out-dir");
  if (const std::string problem = OutputFolderProblem(outDir); !problem.empty()) {
    PrintFailure(io, "в папку для результатов нельзя записать: " + outDir, problem);
    return kExitUsage;
  }

  const std::vector<BatchItem> items = PlanBatch(parsed.positional, outDir, format);
  std::vector<ItemOutcome> outcomes(items.size());
  const bool overwrite = parsed.has("--overwrite");
  std::atomic<std::size_t> next{0};
  std::mutex printing;
  auto convertOne = [&](std::size_t index) {
    const BatchItem& item = items[index];
    std::ostringstream out, err;
    Io fileIo{out, err, false};
    int code = kExitUsage;
    if (!item.problem.empty()) {
      PrintFailure(fileIo, item.problem);
    } else if (!overwrite && Exists(item.output)) {
      PrintFailure(fileIo, "выходной файл уже есть, не заменяется (--overwrite - заменить): " + item.output);
    } else {
      code = ConvertFile(item.input, item.output, options, fileIo, OutputSync::AsActive);
    }
    outcomes[index] = {ItemState::Done, code};
    if (err.str().empty()) return;
    const std::lock_guard<std::mutex> lock(printing);
    io.err << WithFileName(item.input, err.str()) << std::flush;
  };
  auto work = [&] {
    while (!stopRequested.load()) {
      const std::size_t index = next.fetch_add(1);
      if (index >= items.size()) return;
      convertOne(index);
    }
  };
  std::string syncProblem;
  {
    FileCalls calls = ActiveFileCalls();
    calls.fsync = SyncLater;
    const ScopedFileCalls syncLater(calls);
    BatchStopSignals signals;
    const std::size_t threads = std::min<std::size_t>(static_cast<std::size_t>(jobs), items.size());
    std::vector<std::thread> workers;
    for (std::size_t i = 1; i < threads; ++i) workers.emplace_back(work);
    work();
    for (std::thread& worker : workers) worker.join();
    syncProblem = SyncFolder(outDir);
  }
  if (!syncProblem.empty()) PrintFailure(io, "результаты не удалось сбросить на диск: " + outDir, syncProblem);

  std::size_t converted = 0, failed = 0, empty = 0, notStarted = 0;
  int code = kExitOk;
  std::string failures;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (outcomes[i].state == ItemState::NotStarted) {
      ++notStarted;
      continue;
    }
    const int itemCode = outcomes[i].code;
    code = std::max(code, itemCode);
    if (itemCode == kExitOk) ++converted;
    if (itemCode == kExitNothing) ++empty;
    if (itemCode == kExitUsage) ++failed;
    if (itemCode != kExitOk) failures += "  код " + std::to_string(itemCode) + ": " + items[i].input + '\n';
  }
  if (!failures.empty()) io.err << "Не переведены (код 1 - нет блоков, 2 - ошибка):\n" << failures;
  const bool interrupted = stopRequested.load();
  io.err << (interrupted ? "Прервано: переведено " : "Переведено ") << converted << " из " << items.size()
         << (items.size() % 10 == 1 && items.size() % 100 != 11 ? " файла" : " файлов") << " в " << outDir;
  if (failed != 0) io.err << "; с ошибками " << failed;
  if (empty != 0) io.err << "; без блоков " << empty;
  if (interrupted) io.err << "; не начато " << notStarted;
  io.err << ".\n" << std::flush;
  if (!syncProblem.empty()) code = kExitUsage;
  if (!interrupted) return code;
  const int signal = stopSignal.load();
  return signal == 0 ? kExitInterrupted : 128 + signal;
}

}  // namespace reelo::cli
