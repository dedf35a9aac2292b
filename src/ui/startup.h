// What the program needs before its first window: the compiled-in pictures,
// Qt's own Russian texts, and a display to show the windows on.
#pragma once

#include <QIcon>
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

// Loads Qt's Russian translation, so the standard buttons read "Да", "Нет",
// "Отмена", "ОК". Returns false when it is not installed.
bool InstallRussianTranslation(QCoreApplication& app);

// When none of DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM is set (or all are
// empty), the text that tells how to run the program, in Russian and English;
// otherwise an empty text. `lookup` reads the environment (getenv by default).
using EnvLookup = std::function<const char*(const char*)>;
std::string NoDisplayAdvice(const EnvLookup& lookup = {});

}  // namespace reelo
