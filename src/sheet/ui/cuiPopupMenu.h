#pragma once

#include <QByteArray>
#include <QList>
#include <QMenu>
#include <functional>
#include <memory>
#include <vector>

#include "gtex/cmcCellObj.h"

class cmcCellParser;
class cmcGTex;
class QAction;
struct cmcCellCapsule;

// Builds a menu from a GTEX menu description: line 0 of <stem>_BasicCell is the basic cell,
// <stem>_Body holds one item per line ("+" after as many spaces as the item's depth, then the
// item's cell; a caption "-" is a separator; the link's argument is the shortcut). Items hold no
// code: a click hands the item's cell to the click handler. The popup menus of the sheets use
// it, and so may the main window's menus.
class cuiPopupMenu {
 public:
  using ClickHandler = std::function<void(const cmcCellObj& item)>;
  // Fills `state` for an item (a state query to the dispatcher); may be empty.
  using StateQuery = std::function<void(const cmcCellObj& item, cmcCellCapsule& state)>;

  cuiPopupMenu(cmcGTex& text, cmcCellParser& parser);
  ~cuiPopupMenu();

  // Replaces the items under `root` with those of the description `stem` (a GI_PMenu_... or
  // GI_Menu_... name without the _Body suffix). A missing section is the resource text's fatal
  // error.
  void build(QMenu* root, const QByteArray& stem);
  // Empties a menu; safe while one of its items runs.
  static void clear(QMenu* root);
  // Adds the body items of `stem` under `root` without reading its basic cell again (the Edit
  // submenu that mirrors a popup menu).
  void append(QMenu* root, const QByteArray& stem);
  const QByteArray& stem() const { return stem_; }

  void setClickHandler(ClickHandler handler) { click_ = std::move(handler); }
  void setStateQuery(StateQuery query) { query_ = std::move(query); }
  // Asks every item for its checked, enabled, visible state and caption.
  void refresh();
  // Asks one item.
  void refresh(QAction* action);

  // The item whose shortcut is `keys` (enabled items only), or null.
  QAction* actionForShortcut(const QKeySequence& keys) const;
  // The same, asking only the items with that shortcut for their state first: a key need not
  // refresh the whole menu.
  QAction* refreshedActionForShortcut(const QKeySequence& keys);
  // The item cell behind an action of this builder, or null.
  const cmcCellObj* cellOf(const QAction* action) const;
  const QList<QAction*>& actions() const { return actions_; }

 private:
  void readBody(QMenu* root, const QByteArray& stem);

  cmcGTex& text_;
  cmcCellParser& parser_;
  QByteArray stem_;
  cmcCellObj basic_;
  std::vector<std::shared_ptr<cmcCellObj>> cells_;
  QList<QAction*> actions_;
  ClickHandler click_;
  StateQuery query_;
};
