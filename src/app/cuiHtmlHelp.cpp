#include "app/cuiHtmlHelp.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

#include "base/prompter.h"
#include "base/textcodec.h"
#include "gtex/celllinks.h"
#include "gtex/cmcGTex.h"

namespace {

constexpr const char* kMapSection = "GI_AppItem_CellName_to_ContextID";
constexpr int kFallbackPopupSide = 300;
// A help-topic map is a few dozen lines; this only guards against a map without its "#".
constexpr int kMaxMapLines = 100000;

QStringList candidateFolders() {
  const QString bin = QCoreApplication::applicationDirPath();
  return {QDir::cleanPath(bin + QStringLiteral("/../share/kestrin/help")),
          QDir::cleanPath(bin + QStringLiteral("/help")),
          // Development builds run from the build tree, next to the sources.
          QDir::cleanPath(QFileInfo(QStringLiteral(__FILE__)).absolutePath() +
                          QStringLiteral("/../../resources/help"))};
}

bool windowsAvailable() { return qobject_cast<QApplication*>(QCoreApplication::instance()); }

int lineNumber(cmcGTex& text, const char* section, int fallback) {
  if (!text.hasSection(section)) return fallback;
  bool ok = false;
  const int value = text.getLine(section, 0).trimmed().toInt(&ok);
  return ok && value > 0 ? value : fallback;
}

}  // namespace

cuiHtmlHelp::cuiHtmlHelp(cmcGTex& text, cmcHelpGTex& helpMap, Prompter& prompter, QWidget* owner)
    : text_(text), map_(helpMap), prompter_(prompter), owner_(owner) {}

cuiHtmlHelp::~cuiHtmlHelp() {
  // Windows without an owner are ours; those with one go with it, but not before we do.
  delete popup_.data();
  delete helpWindow_.data();
}

int cuiHtmlHelp::topicOf(int link) {
  const QByteArray name = linkName(link);
  if (name.isEmpty() || !map_.hasSection(kMapSection)) return 0;
  QByteArray noted;
  for (int i = 0; i < kMaxMapLines; ++i) {
    const QByteArray line = map_.getLine(kMapSection, i);
    if (line.startsWith('#')) break;
    const int tab = line.indexOf('\t');
    if (tab >= 0 && line.left(tab) == name) noted = line.mid(tab + 1);
  }
  return noted.isEmpty() ? 0 : int(std::strtol(noted.constData(), nullptr, 10));
}

QString cuiHtmlHelp::helpFolder() const {
  if (!folderOverride_.isEmpty()) {
    return QFileInfo::exists(folderOverride_ + QLatin1Char('/') + QLatin1String(kContentsPage))
               ? folderOverride_
               : QString();
  }
  for (const QString& folder : candidateFolders()) {
    if (QFileInfo::exists(folder + QLatin1Char('/') + QLatin1String(kContentsPage))) return folder;
  }
  return QString();
}

void cuiHtmlHelp::setHelpFolder(const QString& folder) {
  folderOverride_ = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

QString cuiHtmlHelp::contentsPath() const {
  QString folder = helpFolder();
  if (folder.isEmpty())
    folder = folderOverride_.isEmpty() ? candidateFolders().first() : folderOverride_;
  return QDir::toNativeSeparators(folder + QLatin1Char('/') + QLatin1String(kContentsPage));
}

void cuiHtmlHelp::reportMissing() {
  QString message = text_.lineText("GI_Sys_HtmlHelp_Error");
  message.replace(QStringLiteral("%s"), contentsPath());
  prompter_.inform(text_.lineText("GI_Sys_AppTitle"), message, PromptIcon::Error);
}

void cuiHtmlHelp::reportNoTopic() {
  prompter_.inform(text_.lineText("GI_Sys_AppTitle"),
                   text_.lineText("GI_Sys_HtmlHelp_Error", 1), PromptIcon::Warning);
}

int cuiHtmlHelp::showContents() {
  if (!windowsAvailable()) return kUnavailable;
  const QString folder = helpFolder();
  if (folder.isEmpty()) {
    reportMissing();
    return kFileNotFound;
  }
  makeHelpWindow();
  helpBrowser_->setSearchPaths({folder});
  helpBrowser_->setSource(
      QUrl::fromLocalFile(folder + QLatin1Char('/') + QLatin1String(kContentsPage)));
  helpBrowser_->clearHistory();
  helpWindow_->show();
  helpWindow_->raise();
  helpWindow_->activateWindow();
  return kShown;
}

int cuiHtmlHelp::showContext(int link, QPoint pointer) {
  if (!windowsAvailable()) return kUnavailable;

  // The popup is hidden while the next topic is looked up, and comes back unchanged when there
  // is none, so a click on a cell without help does not lose the page being read.
  const bool wasVisible = popup_ && popup_->isVisible();
  const QSize keptSize = popup_ ? popup_->size() : QSize();
  if (popup_) popup_->hide();

  const QString folder = helpFolder();
  if (folder.isEmpty()) {
    reportMissing();
    return kFileNotFound;
  }
  const int topic = topicOf(link);
  const QString page = folder + QStringLiteral("/%1.htm").arg(topic);
  if (topic <= 0 || !QFileInfo::exists(page)) {
    if (wasVisible) {
      popup_->setAttribute(Qt::WA_ShowWithoutActivating, true);
      popup_->show();
      popup_->setAttribute(Qt::WA_ShowWithoutActivating, false);
    }
    reportNoTopic();
    return kNoTopic;
  }

  makePopup();
  popupBrowser_->setSearchPaths({folder});
  popupBrowser_->setSource(QUrl::fromLocalFile(page));
  popupBrowser_->clearHistory();
  popup_->setWindowTitle(popupBrowser_->documentTitle());
  popup_->resize(keptSize.isValid() ? keptSize : defaultPopupSize());

  const QScreen* screen = QGuiApplication::screenAt(pointer);
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect workArea = screen ? screen->availableGeometry() : QRect();
  popup_->move(placePopup(pointer, popup_->size(), workArea));
  popup_->show();
  // With window decorations the frame is larger than the page: place the whole frame.
  const QSize frame = popup_->frameGeometry().size();
  if (frame != popup_->size()) popup_->move(placePopup(pointer, frame, workArea));
  popup_->raise();
  popup_->activateWindow();
  return kShown;
}

QPoint cuiHtmlHelp::placePopup(QPoint pointer, QSize size, const QRect& workArea) {
  const int width = size.width();
  const int height = size.height();
  int x = pointer.x() > width / 2 ? pointer.x() - width / 2 : 0;
  int y = pointer.y();
  if (workArea.isValid()) {
    // Centred on the pointer but never left of the work area. On a screen at the origin this
    // is the same as starting at 0; on a screen left of the primary one (negative x) it keeps
    // the popup on the pointer's screen instead of moving it to the primary one.
    x = std::max(pointer.x() - width / 2, workArea.x());
    const int bottom = workArea.y() + workArea.height();  // exclusive
    const int right = workArea.x() + workArea.width();
    if (y + height > bottom) {
      const int roomAbove = pointer.y() - workArea.y();
      y = (height < roomAbove && pointer.y() < bottom) ? pointer.y() - height : bottom - height;
    }
    if (x + width > right) x = right - width;
  }
  return QPoint(x, y);
}

QSize cuiHtmlHelp::defaultPopupSize() {
  return QSize(lineNumber(text_, "GI_Sys_HtmlHelp_Popup_Width", kFallbackPopupSide),
               lineNumber(text_, "GI_Sys_HtmlHelp_Popup_Height", kFallbackPopupSide));
}

QWidget* cuiHtmlHelp::helpWindow() const { return helpWindow_.data(); }
QWidget* cuiHtmlHelp::popupWindow() const { return popup_.data(); }

void cuiHtmlHelp::makeHelpWindow() {
  if (helpWindow_) return;
  auto* window = new QWidget(owner_, Qt::Window);
  window->setObjectName(QStringLiteral("HelpWindow"));
  const QString title = text_.lineText("GI_Sys_AppTitle");
  window->setWindowTitle(title + QStringLiteral(" Help"));
  window->resize(720, 560);

  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = new QToolBar(window);
  bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  auto* browser = new QTextBrowser(window);
  browser->setOpenExternalLinks(true);
  browser->document()->setDocumentMargin(8);

  QAction* back = bar->addAction(QIcon(QStringLiteral(":/icons/imgIcon_Bar_Page_Previous.svg")),
                                 QStringLiteral("&Back"), browser, &QTextBrowser::backward);
  back->setShortcuts(QKeySequence::Back);
  back->setEnabled(false);
  QAction* forward = bar->addAction(QIcon(QStringLiteral(":/icons/imgIcon_Bar_Page_Next.svg")),
                                    QStringLiteral("&Forward"), browser, &QTextBrowser::forward);
  forward->setShortcuts(QKeySequence::Forward);
  forward->setEnabled(false);
  QAction* contents = bar->addAction(QIcon(QStringLiteral(":/icons/imgIcon_Bar_Page_Top.svg")),
                                     QStringLiteral("&Contents"), browser, &QTextBrowser::home);
  contents->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
  auto* close = new QAction(window);
  close->setShortcut(QKeySequence(Qt::Key_Escape));
  connect(close, &QAction::triggered, window, &QWidget::close);
  window->addAction(close);

  connect(browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  connect(browser, &QTextBrowser::sourceChanged, window, [window, browser, title] {
    const QString page = browser->documentTitle();
    window->setWindowTitle(page.isEmpty()
                               ? title + QStringLiteral(" Help")
                               : page + QStringLiteral(" - ") + title + QStringLiteral(" Help"));
  });

  layout->addWidget(bar);
  layout->addWidget(browser);
  helpWindow_ = window;
  helpBrowser_ = browser;
  connect(window, &QObject::destroyed, this, [this] { helpBrowser_ = nullptr; });
  browser->setFocus();
}

void cuiHtmlHelp::makePopup() {
  if (popup_) return;
  // A small tool window with only a close box; it floats over the main window.
  auto* popup = new QWidget(
      owner_, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  popup->setObjectName(QStringLiteral("HelpPopup"));
  auto* layout = new QVBoxLayout(popup);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* browser = new QTextBrowser(popup);
  browser->setOpenExternalLinks(true);
  browser->document()->setDocumentMargin(6);
  layout->addWidget(browser);
  auto* close = new QAction(popup);
  close->setShortcut(QKeySequence(Qt::Key_Escape));
  connect(close, &QAction::triggered, popup, &QWidget::close);
  popup->addAction(close);
  connect(browser, &QTextBrowser::sourceChanged, popup,
          [popup, browser] { popup->setWindowTitle(browser->documentTitle()); });
  popup_ = popup;
  popupBrowser_ = browser;
  connect(popup, &QObject::destroyed, this, [this] { popupBrowser_ = nullptr; });
  popup->setFocusProxy(browser);
}
