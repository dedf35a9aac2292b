// Reelo's own help window: the help page in a browser of its own, so F1
// works on a desktop with no viewer for HTML files. Links within the page and
// to its other pages, and the page's pictures, work as in a web browser;
// links to the web go to the desktop's browser.
#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QToolButton;

namespace reelo {

class Prompts;

class HelpWindow final : public QWidget {
  Q_OBJECT

 public:
  // A top-level window over `owner` (it closes with it), not modal.
  explicit HelpWindow(QWidget* owner);

  // Shows `page` (a local file) from its top; false when no such file exists,
  // and the window then shows what it showed before.
  bool ShowPage(const QUrl& page);
  QTextBrowser* browser() const { return browser_; }

 private:
  void UpdateButtons();

  QTextBrowser* browser_ = nullptr;
  QToolButton* back_ = nullptr;
  QToolButton* forward_ = nullptr;
  QToolButton* home_ = nullptr;
};

// The help command: the help page, found as HelpPageUrl finds it, in the help
// window of `owner` (made on first use, then brought to the front with the
// page shown again). When the page is nowhere, a box says where it was
// looked for. Returns the window, or null when there was no page.
HelpWindow* ShowHelp(QWidget& owner, Prompts& prompts);

}  // namespace reelo
