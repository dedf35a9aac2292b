#include "cli/cli.h"

#include <charconv>

#include "project/tap_file.h"

namespace reelo::cli {
namespace {

constexpr const char* kProgram = "reelo-cli";

const Command* FindCommand(const std::string& name) {
  for (const Command& command : Commands()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

void PrintHelp(std::ostream& out) {
  out << "Использование: " << kProgram << " КОМАНДА [ПАРАМЕТРЫ]\n"
      << "Reelo без окон: ленты ZX Spectrum и их записи из командной строки.\n\n"
      << "Команды:\n";
  for (const Command& command : Commands()) {
    out << "  " << kProgram << ' ' << command.name << ' ' << command.usage << "\n      " << command.summary << '\n';
    if (*command.help) {
      std::string help = command.help;
      std::size_t start = 0;
      while (start < help.size()) {
        const std::size_t end = help.find('\n', start);
        out << "        " << help.substr(start, end - start) << '\n';
        if (end == std::string::npos) break;
        start = end + 1;
      }
    }
  }
  out << "\nКоды завершения: 0 - результат записан или показан, 1 - ничего не найдено,\n"
      << "2 - ошибка в параметрах или файл не читается и не записывается.\n";
}

const OptionSpec* FindSpec(std::initializer_list<OptionSpec> specs, const std::string& name) {
  for (const OptionSpec& option : specs) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

}  // namespace

std::string ParsedArgs::value(const std::string& name) const {
  const auto it = options.find(name);
  return it == options.end() ? std::string() : it->second;
}

ParsedArgs ParseArgs(const Args& args, std::initializer_list<OptionSpec> specs, std::size_t minPositional,
                     std::size_t maxPositional) {
  ParsedArgs parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionSpec* option = FindSpec(specs, name);
    if (!option) {
      parsed.error = "неизвестный параметр " + name;
      return parsed;
    }
    if (parsed.has(name)) {
      parsed.error = "параметр " + name + " указан дважды";
      return parsed;
    }
    if (!option->takesValue) {
      if (equals != std::string::npos) {
        parsed.error = "параметр " + name + " не принимает значения";
        return parsed;
      }
      parsed.options[name] = "";
    } else if (equals != std::string::npos) {
      parsed.options[name] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      parsed.options[name] = args[++i];
    } else {
      parsed.error = "параметру " + name + " нужно значение";
      return parsed;
    }
  }
  if (parsed.positional.size() < minPositional) {
    parsed.error = "не хватает аргументов";
  } else if (parsed.positional.size() > maxPositional) {
    parsed.error = "лишний аргумент " + parsed.positional[maxPositional];
  }
  return parsed;
}

int UsageError(Io& io, const char* command, const std::string& why) {
  io.err << kProgram << ": " << why << '\n';
  if (const Command* row = FindCommand(command)) {
    io.err << "Использование: " << kProgram << ' ' << row->name << ' ' << row->usage << '\n';
  } else {
    io.err << "Использование: " << kProgram << " КОМАНДА [ПАРАМЕТРЫ]; список команд: " << kProgram << " --help\n";
  }
  return kExitUsage;
}

bool ParseNumber(const std::string& text, long long min, long long max, long long& value) {
  long long parsed = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
  if (text.empty() || ec != std::errc() || ptr != end || parsed < min || parsed > max) return false;
  value = parsed;
  return true;
}

void PrintFailure(Io& io, const std::string& message, const std::string& detail) {
  io.err << kProgram << ": " << message;
  if (!detail.empty()) io.err << ": " << detail;
  io.err << '\n';
}

bool ReadTape(const std::string& path, TapeProject& project, Io& io) {
  NullProgress progress;
  const OpResult result = LoadTapFile(project, path, progress);
  if (!result.ok()) {
    PrintFailure(io, result.message, result.detail);
    return false;
  }
  if (result.isWarning()) PrintFailure(io, result.message, result.detail);
  return true;
}

bool WriteTape(TapeProject& project, const std::string& path, Io& io) {
  NullProgress progress;
  project.fileName = path;
  const OpResult result = SaveTapFile(project, progress);
  if (!result.ok()) {
    PrintFailure(io, result.message + " (" + path + ")", result.detail);
    return false;
  }
  return true;
}

int RunCli(const Args& args, Io& io) {
  if (args.empty()) return UsageError(io, "", "не указана команда");
  const std::string& name = args.front();
  if (name == "--help" || name == "-h" || name == "help") {
    PrintHelp(io.out);
    return kExitOk;
  }
  const Command* command = FindCommand(name);
  if (!command) return UsageError(io, "", "неизвестная команда " + name);
  const Args rest(args.begin() + 1, args.end());
  for (const std::string& arg : rest) {
    if (arg == "--help") {
      io.out << "Использование: " << kProgram << ' ' << command->name << ' ' << command->usage << '\n'
             << command->summary << '\n'
             << command->help << '\n';
      return kExitOk;
    }
  }
  return command->run(rest, io);
}

}  // namespace reelo::cli
