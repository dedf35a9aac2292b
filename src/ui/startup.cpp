#include "ui/startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "ui/frame/frame_assets.h"
#include "ui/prompts.h"

// The resource registration of the icons; it has to be named outside any namespace.
static void RegisterCompiledAssets() { Q_INIT_RESOURCE(reelo); }

namespace reelo {
namespace {

// Qt's own Russian texts from the installed translations: the standard
// buttons, the file dialog, the text fields' context menus; then the sound
// output's messages.
constexpr const char* kTranslationNames[] = {"qtbase_ru", "qtmultimedia_ru"};

// Texts Qt shows that its installed Russian translation lacks (the file
// dialog's types of entries), as (context, text, Russian).
struct MissingText {
  const char* context;
  const char* source;
  const char* russian;
};
constexpr MissingText kMissingTexts[] = {
    {"QAbstractFileIconProvider", "Folder", "Папка"},
    {"QAbstractFileIconProvider", "Drive", "Диск"},
    {"QAbstractFileIconProvider", "File Folder", "Папка"},
    {"QAbstractFileIconProvider", "Shortcut", "Ярлык"},
    {"QAbstractFileIconProvider", "Alias", "Псевдоним"},
    {"QAbstractFileIconProvider", "Unknown", "Неизвестно"},
};

// Answers the texts of kMissingTexts; everything else goes on to the
// translations installed before it.
class MissingTextsTranslator final : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                    int /*n*/) const override {
    if (!context || !sourceText) return {};
    for (const MissingText& text : kMissingTexts) {
      if (qstrcmp(context, text.context) == 0 && qstrcmp(sourceText, text.source) == 0) {
        return QString::fromUtf8(text.russian);
      }
    }
    return {};
  }
};
constexpr const char* kDisplayVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

constexpr const char* kNoDisplayText =
    "Reelo: нет дисплея для окон программы.\n"
    "  Задайте переменную DISPLAY (например, DISPLAY=:0) или запустите программу\n"
    "  на виртуальном дисплее: xvfb-run make run\n"
    "Reelo: no display to show the program's windows on.\n"
    "  Set DISPLAY (for example DISPLAY=:0), or run it on a virtual display:\n"
    "  xvfb-run make run\n";

constexpr const char* kDesktopEntryName = "reelo";
constexpr const char* kRuntimeVariable = "XDG_RUNTIME_DIR";
constexpr mode_t kRuntimeMode = 0700;

constexpr const char* kUsageText =
    "Использование: reelo [ФАЙЛ...]\n"
    "  Открывает первый файл (TAP, TZX, PZX или CSW) и добавляет к нему остальные.\n"
    "  --help     эта справка\n"
    "  --version  версия программы\n"
    "  --         дальше только имена файлов, даже начинающиеся с \"-\"\n";
constexpr const char* kUnknownOptionText = "reelo: неизвестный ключ «%1»; ключи перечисляет reelo --help\n";
constexpr int kUsageErrorExit = 2;

const char* Lookup(const EnvLookup& lookup, const char* name) { return lookup ? lookup(name) : std::getenv(name); }

// A folder of ours that only we can enter: made here, or found made by an
// earlier run (then its mode is put right). A symbolic link or a folder of
// someone else is not used.
bool IsPrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), kRuntimeMode) == 0) return true;
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()) return false;
  return (info.st_mode & 07777) == kRuntimeMode || chmod(path.c_str(), kRuntimeMode) == 0;
}

}  // namespace

void NameTheProgram() {
  QCoreApplication::setOrganizationName(QString::fromUtf8(kProgramTitle));
  QCoreApplication::setApplicationName(QString::fromUtf8(kProgramTitle));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopEntryName));
}

std::string ProvideRuntimeFolder(const EnvLookup& lookup) {
  const char* set = Lookup(lookup, kRuntimeVariable);
  if (set && *set) return {};
  const char* tmp = Lookup(lookup, "TMPDIR");
  const std::string base = tmp && *tmp ? tmp : "/tmp";
  std::string folder = base + "/reelo-runtime-" + std::to_string(geteuid());
  if (!IsPrivateFolder(folder)) {
    // Taken by something else: a fresh folder of this run's own.
    std::string pattern = base + "/reelo-runtime-XXXXXX";
    if (!mkdtemp(pattern.data())) return {};
    folder = pattern;
  }
  if (setenv(kRuntimeVariable, folder.c_str(), 1) != 0) return {};
  return folder;
}

CommandLine ParseCommandLine(const QStringList& arguments, const QString& startFolder) {
  CommandLine line;
  bool onlyFiles = false;
  const QDir start(startFolder);
  for (const QString& argument : arguments) {
    if (!onlyFiles && argument.startsWith(u'-') && argument.size() > 1) {
      if (argument == QLatin1String("--")) {
        onlyFiles = true;
      } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
        return {{}, kUsageText, 0};
      } else if (argument == QLatin1String("--version")) {
        return {{}, std::string(kProgramTitle) + " " + VersionText().toStdString() + "\n", 0};
      } else {
        return {{}, QString::fromUtf8(kUnknownOptionText).arg(argument).toStdString(), kUsageErrorExit};
      }
      continue;
    }
    if (!argument.isEmpty()) line.files << QDir::cleanPath(start.absoluteFilePath(argument));
  }
  return line;
}

void LoadAssets() {
  static const bool registered = (RegisterCompiledAssets(), true);
  (void)registered;
}

QIcon ProgramIcon() {
  LoadAssets();
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/reelo16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/icons/reelo.png"), QSize(32, 32));
  return icon;
}

QIcon ToolbarIcon(const QString& iconKey) {
  LoadAssets();
  return QIcon(QStringLiteral(":/icons/%1.png").arg(iconKey));
}

bool InstallRussianTranslation(QCoreApplication& app) {
  // Dates, numbers and the file types' descriptions in Russian, whatever the
  // system's own language.
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  bool loaded = true;
  for (const char* name : kTranslationNames) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QString::fromLatin1(name), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      QCoreApplication::installTranslator(translator);
    } else {
      delete translator;
      loaded = false;
    }
  }
  // Installed last, so it is asked first.
  QCoreApplication::installTranslator(new MissingTextsTranslator(&app));
  return loaded;
}

std::string NoDisplayAdvice(const EnvLookup& lookup) {
  for (const char* name : kDisplayVariables) {
    const char* value = lookup ? lookup(name) : std::getenv(name);
    if (value && *value) return {};
  }
  return kNoDisplayText;
}

}  // namespace reelo
