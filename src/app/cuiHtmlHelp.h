#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

class cmcGTex;
class cmcHelpGTex;
class Prompter;
class QTextBrowser;
class QWidget;

// Help: HTML pages shipped with the program, shown in the program's own help window (contents,
// back and forward, links between pages) or, for one setting, in a small popup window at the
// mouse pointer. The help-topic map names the page of each cell link.
class cuiHtmlHelp : public QObject {
  Q_OBJECT
 public:
  enum Result { kShown = 0, kFileNotFound = 1, kNoTopic = 2, kUnavailable = 3 };

  // `owner` is the main window; the help windows stay on top of it. The texts must outlive us.
  cuiHtmlHelp(cmcGTex& text, cmcHelpGTex& helpMap, Prompter& prompter, QWidget* owner);
  ~cuiHtmlHelp() override;
  cuiHtmlHelp(const cuiHtmlHelp&) = delete;
  cuiHtmlHelp& operator=(const cuiHtmlHelp&) = delete;

  // Topic number of a cell link from the map (the last matching line counts), 0 when none.
  int topicOf(int link);
  // Opens the contents page in the help window.
  int showContents();
  // Shows the topic of `link` in the popup window near `pointer` (global coordinates).
  int showContext(int link, QPoint pointer);

  // The folder the pages are read from: <bin>/../share/kestrin/help, then <bin>/help, then the
  // source tree's resources/help. Empty when none holds the contents page.
  QString helpFolder() const;
  // Uses `folder` instead of searching (tests, or a folder chosen by the caller).
  void setHelpFolder(const QString& folder);

  // Where the popup of size `size` goes for a pointer at `pointer` within `workArea`: centred
  // below the pointer but not left of the work area, flipped above the pointer when it would
  // pass the bottom and fits above, pulled left from the right edge.
  static QPoint placePopup(QPoint pointer, QSize size, const QRect& workArea);

  // The windows, once made (for tests and screenshots).
  QWidget* helpWindow() const;
  QWidget* popupWindow() const;
  QTextBrowser* helpBrowser() const { return helpBrowser_; }
  QTextBrowser* popupBrowser() const { return popupBrowser_; }

  static constexpr const char* kContentsPage = "index.htm";

 private:
  QString contentsPath() const;
  void reportMissing();
  void reportNoTopic();
  void makeHelpWindow();
  void makePopup();
  QSize defaultPopupSize();

  cmcGTex& text_;
  cmcHelpGTex& map_;
  Prompter& prompter_;
  QPointer<QWidget> owner_;
  QString folderOverride_;
  QPointer<QWidget> helpWindow_;
  QTextBrowser* helpBrowser_ = nullptr;
  QPointer<QWidget> popup_;
  QTextBrowser* popupBrowser_ = nullptr;
};
