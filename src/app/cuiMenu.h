#pragma once

#include <QByteArray>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "gtex/cmcCellObj.h"
#include "gtex/outline.h"

class FieldCatalogue;
#include <QAction>
class QIcon;
#include <QMenu>
class QWidget;
class cmcCellParser;
class cmcEvMan;
class cmcGTex;
struct cmcEvent;

// What the menu, toolbar and tree builders work with; the application object owns all of it.
struct BuilderServices {
  cmcGTex* text = nullptr;
  cmcCellParser* parser = nullptr;
  FieldCatalogue* catalogue = nullptr;
  cmcEvMan* bus = nullptr;
};

// A shortcut text of the resource text ("Ctrl+N", "Alt+F4", "F1", "Enter", "Del", "Ins",
// "Ctrl+Up", "Shift+Enter") as a key sequence; Enter is the main Enter key.
QKeySequence shortcutFromText(const QByteArray& text);

// Builds a menu (the main menu bar or a popup menu) from the GTEX description `stem`_BasicCell
// and `stem`_Body. Each item's cell names a cell link; a click hands the cell to the catalogue's
// dispatcher, and every refresh asks the dispatcher for each item's checked, visible and enabled
// state and caption.
class cuiMenu : public QObject {
  Q_OBJECT

 public:
  // Called for a clicked item instead of the default (executing its cell).
  using ClickHandler = std::function<void(cuiMenu& menu, const cmcCellObj& cell)>;

  // `root` is a QMenuBar or a QMenu; `owner` is the window the commands act for.
  cuiMenu(QWidget* owner, QWidget* root, const QByteArray& stem, const BuilderServices& services,
          ClickHandler handler = {});
  ~cuiMenu() override;

  void build();
  void refresh();
  // Removes every item the builder made.
  void clear();

  // The default click: the cell executed (key 13) with the current cell as context, then a
  // refresh of the whole menu. A click on an action that is no longer one of this builder's
  // items does nothing.
  void click(QAction* action);

  QWidget* owner() const { return owner_; }
  QWidget* root() const { return root_; }
  const QByteArray& stem() const { return stem_; }
  // The action of the first item (depth first) with this link and, when given, this subscript.
  QAction* actionFor(int link, int index = -1) const;
  // Every action the builder made, depth first, separators included.
  QList<QAction*> actions() const;
  const cmcCellObj* cellOf(const QAction* action) const;

 private:
  struct Item {
    QPointer<QAction> action;
    std::unique_ptr<cmcCellObj> cell;  // none for a line without a cell link
    QPointer<QMenu> submenu;
    cuiMenu* handlerOf = nullptr;  // the builder whose owner and click handler the item takes
  };
  void onEvent(const cmcEvent& event);
  void fillLevel(QWidget* parent, const std::vector<OutlineLine>& lines, size_t& at, int depth,
                 cuiMenu* handlerOf, std::vector<std::unique_ptr<Item>>& into);
  void fillFromSection(Item& item, const QByteArray& stem, cuiMenu* handlerOf);
  Item* findItem(const QAction* action) const;
  Item* findLink(int link) const;
  void refreshItem(Item& item, const cmcCellObj* context);
  void collect(QList<QAction*>& out) const;

  QWidget* owner_;
  QPointer<QWidget> root_;
  QByteArray stem_;
  BuilderServices services_;
  ClickHandler handler_;
  cmcCellObj basic_;
  std::vector<std::unique_ptr<Item>> items_;  // depth first
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool refreshQueued_ = false;
};
