#include "ui/startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdlib>

// The resource registration of the icons; it has to be named outside any namespace.
static void RegisterCompiledAssets() { Q_INIT_RESOURCE(reelo); }

namespace reelo {
namespace {

constexpr const char* kTranslationName = "qtbase_ru";
constexpr const char* kDisplayVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

constexpr const char* kNoDisplayText =
    "Reelo: нет дисплея для окон программы.\n"
    "  Задайте переменную DISPLAY (например, DISPLAY=:0) или запустите программу\n"
    "  на виртуальном дисплее: xvfb-run make run\n"
    "Reelo: no display to show the program's windows on.\n"
    "  Set DISPLAY (for example DISPLAY=:0), or run it on a virtual display:\n"
    "  xvfb-run make run\n";

}  // namespace

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
  auto* translator = new QTranslator(&app);
  if (!translator->load(QString::fromLatin1(kTranslationName),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

std::string NoDisplayAdvice(const EnvLookup& lookup) {
  for (const char* name : kDisplayVariables) {
    const char* value = lookup ? lookup(name) : std::getenv(name);
    if (value && *value) return {};
  }
  return kNoDisplayText;
}

}  // namespace reelo
