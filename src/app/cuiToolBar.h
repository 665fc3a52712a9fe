#pragma once

#include <QAction>
#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "app/ImageLists.h"
#include "app/cuiMenu.h"
#include "gtex/cmcCellObj.h"
class QMainWindow;
class QToolBar;

// Builds the toolbar from the GTEX description `stem`_BasicCell and `stem`_Body: one button per
// line in text order, "-" a separator 8 pixels wide, "/" the end of a toolbar row. A click hands
// the button's cell to the dispatcher without a current-cell context; refresh() asks for each
// button's checked and enabled state.
class cuiToolBar : public QObject {
  Q_OBJECT

 public:
  using ClickHandler = std::function<void(const cmcCellObj& cell)>;

  static constexpr int kSeparatorWidth = 8;

  cuiToolBar(QMainWindow* parent, const BuilderServices& services);
  ~cuiToolBar() override;

  void create(const QByteArray& stem, const QList<QIcon>& images);
  void fill(ClickHandler handler = {});
  void refresh();
  void setVisible(bool visible);
  bool isVisible() const;

  // The toolbar rows (one unless the description breaks rows with "/").
  QList<QToolBar*> rows() const;
  // The button of the first cell with this link, or nullptr.
  QAction* actionFor(int link) const;
  int buttonCount() const { return int(buttons_.size()); }
  int separatorCount() const { return separators_; }
  void click(QAction* action);

 private:
  struct Button {
    QPointer<QAction> action;
    cmcCellObj cell;
    bool separator = false;
  };
  QToolBar* newRow(bool breakBefore);
  void clearRows();

  QMainWindow* parent_;
  BuilderServices services_;
  QByteArray stem_;
  QList<QIcon> images_;
  ClickHandler handler_;
  QList<QPointer<QToolBar>> rows_;
  std::vector<std::unique_ptr<Button>> buttons_;
  int separators_ = 0;
  bool visible_ = true;
};
