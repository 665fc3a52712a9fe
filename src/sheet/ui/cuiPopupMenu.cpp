#include "sheet/ui/cuiPopupMenu.h"

#include <QAction>
#include <QKeySequence>

#include "base/textcodec.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "gtex/outline.h"
#include "model/cmcCellCapsule.h"

cuiPopupMenu::cuiPopupMenu(cmcGTex& text, cmcCellParser& parser) : text_(text), parser_(parser) {}

cuiPopupMenu::~cuiPopupMenu() = default;

void cuiPopupMenu::clear(QMenu* root) {
  // An item of the old menu may be running (its command can rebuild the menu): its action goes
  // once the event loop is back, and the cell it hands over lives as long as the action.
  for (QAction* action : root->actions()) {
    root->removeAction(action);
    if (action->parent() == root) action->deleteLater();
  }
}

void cuiPopupMenu::build(QMenu* root, const QByteArray& stem) {
  clear(root);
  actions_.clear();
  cells_.clear();
  stem_ = stem;
  basic_ = cmcCellObj();
  parser_.parseCell(basic_, text_.getLine((stem + "_BasicCell").constData(), 0), nullptr, nullptr);
  readBody(root, stem);
}

void cuiPopupMenu::append(QMenu* root, const QByteArray& stem) { readBody(root, stem); }

void cuiPopupMenu::readBody(QMenu* root, const QByteArray& stem) {
  const QByteArray body = stem + "_Body";
  // Menus at each depth: a deeper line opens the submenu of the item before it.
  struct Level {
    int depth;
    QMenu* menu;
  };
  std::vector<Level> levels{{-1, root}};
  QAction* last = nullptr;
  for (const OutlineLine& line : readOutline(text_, body)) {
    const int depth = line.depth;
    if (levels.size() == 1) levels.back().depth = depth;
    if (depth > levels.back().depth && last) {
      QMenu* sub = new QMenu(last->text(), root);
      last->setMenu(sub);
      levels.push_back({depth, sub});
    }
    while (levels.size() > 1 && depth < levels.back().depth) levels.pop_back();
    QMenu* menu = levels.back().menu;

    auto cell = std::make_shared<cmcCellObj>();
    parser_.parseCell(*cell, line.cellText, &basic_, nullptr);
    const QByteArray caption = cell->text.value_or(QByteArray());
    if (caption == "-") {
      last = menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(fromCp932(caption));
    if (cell->argument && !cell->argument->isEmpty()) {
      action->setShortcut(QKeySequence::fromString(fromCp932(*cell->argument)));
      action->setShortcutContext(Qt::WidgetShortcut);  // shown; the grid matches the keys
    }
    std::shared_ptr<const cmcCellObj> itemCell = cell;
    QObject::connect(action, &QAction::triggered, action, [this, itemCell] {
      if (click_) click_(*itemCell);
    });
    cells_.push_back(std::move(cell));
    actions_.append(action);
    last = action;
  }
}

void cuiPopupMenu::refresh() {
  for (QAction* action : actions_) refresh(action);
}

void cuiPopupMenu::refresh(QAction* action) {
  if (!query_) return;
  const cmcCellObj* cell = cellOf(action);
  if (!cell || cell->link == CL_None) return;
  cmcCellCapsule state;
  query_(*cell, state);
  action->setCheckable(state.itemState.checked);
  action->setChecked(state.itemState.checked);
  action->setEnabled(!state.itemState.disabled);
  action->setVisible(!state.itemState.hidden);
  if (state.itemState.captionSet && !state.resultText.isEmpty())
    action->setText(fromCp932(state.resultText));
}

const cmcCellObj* cuiPopupMenu::cellOf(const QAction* action) const {
  const int i = int(actions_.indexOf(const_cast<QAction*>(action)));
  return i < 0 ? nullptr : cells_[size_t(i)].get();
}

QAction* cuiPopupMenu::actionForShortcut(const QKeySequence& keys) const {
  for (QAction* action : actions_) {
    if (action->isEnabled() && action->isVisible() && !action->shortcut().isEmpty() &&
        action->shortcut().matches(keys) == QKeySequence::ExactMatch) {
      return action;
    }
  }
  return nullptr;
}

QAction* cuiPopupMenu::refreshedActionForShortcut(const QKeySequence& keys) {
  for (QAction* action : actions_) {
    if (action->shortcut().isEmpty() || action->shortcut().matches(keys) != QKeySequence::ExactMatch)
      continue;
    refresh(action);
    if (action->isEnabled() && action->isVisible()) return action;
  }
  return nullptr;
}
