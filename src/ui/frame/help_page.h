// The help page: found beside the program or where it was installed, and
// handed to the desktop's default viewer.
#pragma once

#include <QStringList>
#include <QUrl>
#include <functional>

namespace reelo {

// The page, relative to the folder it is looked for in.
inline constexpr const char* kHelpPagePath = "Help/index.htm";

// The folders the page is looked for in, in order: the current folder (a run
// from the source tree, `make run`), the program's folder, and the data folder
// an installed program has beside its bin folder (a start from a desktop menu,
// where the current folder is the home folder).
QStringList HelpFolders();

// The page in the first of `folders` that holds it, as a local-file URL.
// Where none does, the page in the first folder: the viewer then says the file
// is missing, and the program says nothing.
QUrl HelpPageUrl(const QStringList& folders);

// Asks the desktop to show a URL; true when it took the request (which does
// not mean a viewer opened).
using UrlOpener = std::function<bool(const QUrl&)>;

// Hands the help page to `open` (the desktop's default handler unless a test
// gives another). The answer is not examined: a failure shows no message.
void OpenHelpPage(const UrlOpener& open = {});

}  // namespace reelo
