#pragma once

#include <QDialog>
#include <QPixmap>
#include <functional>
#include <vector>

#include "print/PrintLayout.h"

class QAction;
class QLabel;
class QLineEdit;
class QScrollArea;
class QStatusBar;
class QToolBar;
class cmcGTex;

// The print preview: one page at a time at the screen's resolution, drawn from its page record
// by the very layout that prints it, so what shows is what prints. "&Print" closes it with the
// decision to print; closing it any other way cancels.
class cuiPreview : public QDialog {
  Q_OBJECT

 public:
  enum Action { Print, Setting, TopPage, PreviousPage, NextPage, LastPage, Zoom, ActionCount };

  // `layout` outlives the preview.
  cuiPreview(PrintLayout& layout, cmcGTex& text, double screenDpi, QWidget* parent = nullptr);
  ~cuiPreview() override;

  void setPages(std::vector<PrintPage> pages);
  const std::vector<PrintPage>& pages() const { return pages_; }
  int pageCount() const { return static_cast<int>(pages_.size()); }
  int currentPage() const { return current_; }  // 0-based
  void showPage(int index);

  // The font size set-up: asked with the current size (8..12), answers the chosen one or 0 when
  // cancelled. By default the Setting dialog.
  std::function<int(int)> askFontSize;
  // Lays every page out again after the font size changed.
  std::function<std::vector<PrintPage>(int fontSize)> relayout;
  int fontSize = 10;

  bool printChosen() const { return printChosen_; }
  QAction* action(Action which) const { return actions_[which]; }
  QLineEdit* pageBox() const { return pageBox_; }
  QString pageCountText() const;
  QString statusText() const;
  const QPixmap& pageImage() const;

  // The Setting dialog: "Font Size: " and the items "1".."5" for 8..12 points.
  static int settingDialog(cmcGTex& text, int fontSize, QWidget* parent);

 private:
  void render();
  void fitWindow();
  void changeSetting();

  PrintLayout& layout_;
  cmcGTex& text_;
  double screenDpi_;
  std::vector<PrintPage> pages_;
  int current_ = 0;
  bool printChosen_ = false;
  QAction* actions_[ActionCount] = {};
  QToolBar* bar_ = nullptr;
  QLineEdit* pageBox_ = nullptr;
  QLabel* countLabel_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QLabel* image_ = nullptr;
  QPixmap page_;  // the page as shown
  QStatusBar* status_ = nullptr;
  QLabel* statusField_ = nullptr;
};
