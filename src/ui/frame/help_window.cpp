#include "ui/frame/help_window.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/frame/help_page.h"
#include "ui/prompts.h"
#include "ui/startup.h"

namespace reelo {
namespace {

constexpr const char* kHelpWindowName = "HelpWindow";
constexpr const char* kHelpWindowTitle = "Справка Reelo";
constexpr int kHelpWindowWidth = 760;
constexpr int kHelpWindowHeight = 560;
constexpr const char* kNoPageText = "Страница справки не найдена.";
constexpr const char* kNoPageDetail = "Она ищется в этих местах, по порядку:\n%1";
constexpr const char* kNoPageTitle = "Справка";

// The buttons above the page, left to right.
struct NavigationButton {
  const char* name;
  const char* caption;
  QKeySequence::StandardKey key;
};
const NavigationButton kNavigationButtons[] = {
    {"HelpBack", "← Назад", QKeySequence::Back},
    {"HelpForward", "Вперёд →", QKeySequence::Forward},
    {"HelpHome", "Оглавление", QKeySequence::UnknownKey},
};

QString PlacesLookedIn() {
  QStringList places;
  for (const QString& folder : HelpFolders()) {
    places << QDir::toNativeSeparators(QDir::cleanPath(QDir(folder).filePath(QString::fromLatin1(kHelpPagePath))));
  }
  return places.join(u'\n');
}

}  // namespace

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QString::fromLatin1(kHelpWindowName));
  setWindowTitle(QString::fromUtf8(kHelpWindowTitle));
  setWindowIcon(ProgramIcon());

  auto* buttons = new QHBoxLayout;
  QToolButton** targets[] = {&back_, &forward_, &home_};
  for (std::size_t i = 0; i < std::size(kNavigationButtons); ++i) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(kNavigationButtons[i].name));
    button->setText(QString::fromUtf8(kNavigationButtons[i].caption));
    if (kNavigationButtons[i].key != QKeySequence::UnknownKey) button->setShortcut(kNavigationButtons[i].key);
    buttons->addWidget(button);
    *targets[i] = button;
  }
  buttons->addStretch();

  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("HelpText"));
  browser_->setOpenLinks(true);
  browser_->setOpenExternalLinks(true);
  connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
  connect(home_, &QToolButton::clicked, browser_, &QTextBrowser::home);
  connect(browser_, &QTextBrowser::historyChanged, this, &HelpWindow::UpdateButtons);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(buttons);
  layout->addWidget(browser_);
  resize(kHelpWindowWidth, kHelpWindowHeight);
  if (owner) move(owner->window()->frameGeometry().center() - rect().center());
  UpdateButtons();
}

bool HelpWindow::ShowPage(const QUrl& page) {
  if (!page.isLocalFile() || !QFileInfo(page.toLocalFile()).isFile()) return false;
  // The same page again is read afresh: it may have changed since.
  if (browser_->source() == page) {
    browser_->reload();
  } else {
    browser_->setSource(page);
  }
  return true;
}

void HelpWindow::UpdateButtons() {
  back_->setEnabled(browser_->isBackwardAvailable());
  forward_->setEnabled(browser_->isForwardAvailable());
  home_->setEnabled(browser_->source().isValid());
}

HelpWindow* ShowHelp(QWidget& owner, Prompts& prompts) {
  const QUrl page = HelpPageUrl(HelpFolders());
  auto* window = owner.findChild<HelpWindow*>(QString::fromLatin1(kHelpWindowName), Qt::FindDirectChildrenOnly);
  const bool created = !window;
  if (created) window = new HelpWindow(&owner);
  if (!window->ShowPage(page)) {
    if (created) delete window;
    prompts.Ask({QString::fromUtf8(kNoPageText), QString::fromUtf8(kNoPageTitle), Buttons::Ok, BoxIcon::Warning,
                 QString::fromUtf8(kNoPageDetail).arg(PlacesLookedIn())});
    return nullptr;
  }
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

}  // namespace reelo
