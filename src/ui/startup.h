// What the program needs before its first window: the compiled-in pictures,
// Qt's own Russian texts, and a display to show the windows on.
#pragma once

#include <QIcon>
#include <QStringList>
#include <functional>
#include <string>

class QCoreApplication;

namespace reelo {

// Registers the compiled-in icons (safe to call more than once).
void LoadAssets();

// The program's icon, 16 and 32 pixels.
QIcon ProgramIcon();

// A toolbar icon by its key ("new", "open", ..., "scr").
QIcon ToolbarIcon(const QString& iconKey);

// Loads Qt's Russian translations, so the standard buttons read "Да", "Нет",
// "Отмена", "ОК" and the file dialog "Папка", adds the few texts they lack,
// and makes Russian the default locale (dates, numbers). Returns false when a
// translation is not installed.
bool InstallRussianTranslation(QCoreApplication& app);

// When none of DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM is set (or all are
// empty), the text that tells how to run the program, in Russian and English;
// otherwise an empty text. `lookup` reads the environment (getenv by default).
using EnvLookup = std::function<const char*(const char*)>;
std::string NoDisplayAdvice(const EnvLookup& lookup = {});

// Names the program for the desktop and for QSettings (organisation and
// application "Reelo", desktop entry "reelo"). Call once, after the
// application object exists.
void NameTheProgram();

// When XDG_RUNTIME_DIR is unset or empty, makes a private folder for it
// (<TMPDIR or /tmp>/reelo-runtime-<uid>, ours, mode 0700) and sets the
// variable, so Qt does not warn on every start that it had to guess one.
// Returns the folder it set, or an empty text when the variable was set
// already or no folder could be made (Qt then says so itself).
std::string ProvideRuntimeFolder(const EnvLookup& lookup = {});

// What the command line asks for. Files are made absolute against the folder
// the program was started in, and kept in their order.
struct CommandLine {
  QStringList files;
  std::string text;   // help, version or the error to print instead of running
  int exitCode = -1;  // -1: run the program; else print `text` and end with it
};
CommandLine ParseCommandLine(const QStringList& arguments, const QString& startFolder);

}  // namespace reelo
