#include "app/cuiMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

#include "base/cmcEvMan.h"
#include "base/textcodec.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "model/catalogue.h"
#include "model/cmcCellCapsule.h"

namespace {

// Builders alive, so that an event naming one (event 11) is only followed when it is one of ours.
QSet<const cuiMenu*>& liveMenus() {
  static QSet<const cuiMenu*> menus;
  return menus;
}

bool hasCell(const cmcCellObj* cell) { return cell && cell->link != CL_None; }

}  // namespace

QKeySequence shortcutFromText(const QByteArray& text) {
  QString s = QString::fromLatin1(text).trimmed();
  if (s.isEmpty()) return {};
  // The resource text's Enter is the main Enter key, which Qt calls Return.
  QStringList parts = s.split(QLatin1Char('+'));
  for (QString& p : parts) {
    if (p.compare(QLatin1String("Enter"), Qt::CaseInsensitive) == 0) p = QStringLiteral("Return");
  }
  return QKeySequence::fromString(parts.join(QLatin1Char('+')), QKeySequence::PortableText);
}

cuiMenu::cuiMenu(QWidget* owner, QWidget* root, const QByteArray& stem,
                 const BuilderServices& services, ClickHandler handler)
    : owner_(owner), root_(root), stem_(stem), services_(services), handler_(std::move(handler)) {
  liveMenus().insert(this);
  if (services_.bus) services_.bus->subscribe<&cuiMenu::onEvent>(this);
}

cuiMenu::~cuiMenu() {
  *alive_ = false;
  liveMenus().remove(this);
  if (services_.bus) services_.bus->unsubscribe<&cuiMenu::onEvent>(this);
  clear();
}

void cuiMenu::clear() {
  // Actions may be inside their own triggered signal right now: they go when control returns to
  // the event loop, and are taken out of their menus at once.
  for (auto& item : items_) {
    if (item->action) {
      for (QObject* w : item->action->associatedObjects()) {
        if (auto* widget = qobject_cast<QWidget*>(w)) widget->removeAction(item->action);
      }
      item->action->deleteLater();
    }
    if (item->submenu) item->submenu->deleteLater();
  }
  items_.clear();
}

void cuiMenu::build() {
  clear();
  const QByteArray basicSection = stem_ + "_BasicCell";
  basic_ = cmcCellObj();
  services_.parser->parseCell(basic_, services_.text->getLine(basicSection.constData(), 0), nullptr,
                              nullptr);
  const std::vector<OutlineLine> lines = readOutline(*services_.text, stem_ + "_Body");
  size_t at = 0;
  if (!lines.empty()) fillLevel(root_, lines, at, lines.front().depth, this, items_);
}

void cuiMenu::fillLevel(QWidget* parent, const std::vector<OutlineLine>& lines, size_t& at, int depth,
                        cuiMenu* handlerOf, std::vector<std::unique_ptr<Item>>& into) {
  auto* bar = qobject_cast<QMenuBar*>(parent);
  auto* menu = qobject_cast<QMenu*>(parent);
  while (at < lines.size()) {
    const OutlineLine& line = lines[at];
    if (line.depth < depth) return;
    if (line.depth > depth) {
      // A deeper line without an item before it at this level: read it as this level.
      depth = line.depth;
    }
    auto item = std::make_unique<Item>();
    item->handlerOf = handlerOf;
    auto cell = std::make_unique<cmcCellObj>();
    services_.parser->parseCell(*cell, line.cellText, &basic_, nullptr);
    const QString caption = fromCp932(cell->text.value_or(QByteArray()));
    const bool children = at + 1 < lines.size() && lines[at + 1].depth > line.depth;
    ++at;

    QAction* action = nullptr;
    if (caption == QLatin1String("-") && !children) {
      action = new QAction(parent);
      action->setSeparator(true);
    } else if (children) {
      auto* sub = new QMenu(caption, parent);
      item->submenu = sub;
      action = sub->menuAction();
    } else {
      action = new QAction(caption, parent);
      if (cell->argument && hasCell(cell.get()))
        action->setShortcut(shortcutFromText(*cell->argument));
      // Printing has the keys users know from other programs, unless the menu text gives some.
      if (action->shortcut().isEmpty() && hasCell(cell.get())) {
        if (cell->link == CL_Menu_File_Print_Current)
          action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
        else if (cell->link == CL_Menu_File_Print_All)
          action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
      }
    }
    if (bar)
      bar->addAction(action);
    else if (menu)
      menu->addAction(action);
    item->action = action;
    if (hasCell(cell.get())) item->cell = std::move(cell);
    if (!action->isSeparator() && !children) {
      std::weak_ptr<bool> alive = alive_;
      connect(action, &QAction::triggered, this, [this, alive, action] {
        if (alive.lock() && *alive.lock()) click(action);
      });
    }
    QMenu* sub = item->submenu;
    const int subDepth = children ? lines[at].depth : 0;
    into.push_back(std::move(item));
    if (children) fillLevel(sub, lines, at, subDepth, handlerOf, into);
  }
}

cuiMenu::Item* cuiMenu::findItem(const QAction* action) const {
  if (!action) return nullptr;
  for (const auto& item : items_) {
    if (item->action == action) return item.get();
  }
  return nullptr;
}

cuiMenu::Item* cuiMenu::findLink(int link) const {
  for (const auto& item : items_) {
    if (item->cell && item->cell->link == link) return item.get();
  }
  return nullptr;
}

QAction* cuiMenu::actionFor(int link, int index) const {
  for (const auto& item : items_) {
    if (item->cell && item->cell->link == link && (index < 0 || item->cell->index == index))
      return item->action;
  }
  return nullptr;
}

const cmcCellObj* cuiMenu::cellOf(const QAction* action) const {
  const Item* item = findItem(action);
  return item ? item->cell.get() : nullptr;
}

QList<QAction*> cuiMenu::actions() const {
  QList<QAction*> out;
  collect(out);
  return out;
}

void cuiMenu::collect(QList<QAction*>& out) const {
  for (const auto& item : items_) {
    if (item->action) out << item->action;
  }
}

void cuiMenu::click(QAction* action) {
  Item* item = findItem(action);
  if (!item || !item->cell) return;
  cuiMenu* target =
      item->handlerOf && liveMenus().contains(item->handlerOf) ? item->handlerOf : this;
  const cmcCellObj cell = *item->cell;  // the item may go while its command runs
  std::weak_ptr<bool> alive = alive_;
  if (target->handler_) {
    target->handler_(*target, cell);
  } else {
    cmcCellCapsule request;
    request.cell = &cell;
    request.key = kKeyEnter;
    cmcCellCapsule context;
    cmcCellObj contextCell;
    if (services_.bus) {
      // The sheet answers with its current cell and, beside it, the whole request for it.
      if (const cmcEvAns* answer = services_.bus->ask(ev::kAskCurrentCell)) {
        if (answer->pointer()) {
          contextCell = *answer->pointerAs<const cmcCellObj>();
          if (answer->value()) context = *reinterpret_cast<const cmcCellCapsule*>(answer->value());
          context.cell = &contextCell;
          request.parent = &context;
        }
      }
    }
    services_.catalogue->dispatch(request, false);
  }
  if (auto a = alive.lock(); a && *a) refresh();
}

void cuiMenu::refresh() {
  cmcCellObj contextCell;
  const cmcCellObj* context = nullptr;
  if (services_.bus) {
    if (const cmcEvAns* answer = services_.bus->ask(ev::kAskCurrentCell, owner_)) {
      if (answer->pointer()) {
        contextCell = *answer->pointerAs<const cmcCellObj>();
        context = &contextCell;
      }
    }
  }
  for (auto& item : items_) refreshItem(*item, context);
}

void cuiMenu::refreshItem(Item& item, const cmcCellObj* context) {
  if (!item.action || item.action->isSeparator()) return;
  if (!item.cell) {
    item.action->setChecked(false);
    return;
  }
  cmcCellCapsule request;
  request.cell = item.cell.get();
  request.key = kKeyNone;
  cmcCellCapsule parent;
  if (context) {
    parent.cell = context;
    request.parent = &parent;
  }
  services_.catalogue->dispatch(request, false);
  const auto& state = request.itemState;
  if (state.checked && !item.action->isCheckable()) item.action->setCheckable(true);
  if (item.action->isCheckable()) item.action->setChecked(state.checked);
  item.action->setVisible(!state.hidden);
  item.action->setEnabled(!state.disabled);
  if (state.captionSet) {
    const QString caption = fromCp932(request.resultText);
    if (caption != item.action->text()) item.action->setText(caption);
  }
}

void cuiMenu::fillFromSection(Item& item, const QByteArray& stem, cuiMenu* handlerOf) {
  QMenu* sub = item.submenu;
  if (!sub) {
    // An item without a submenu gets one, so that it can open the filled items.
    QWidget* parent = item.action ? qobject_cast<QWidget*>(item.action->parent()) : root_.data();
    if (!parent) parent = root_.data();
    sub = new QMenu(item.action ? item.action->text() : QString(), parent);
    item.submenu = sub;
    if (item.action) item.action->setMenu(sub);
  }
  const std::vector<OutlineLine> lines = readOutline(*services_.text, stem + "_Body");
  size_t at = 0;
  std::vector<std::unique_ptr<Item>> added;
  if (!lines.empty()) fillLevel(sub, lines, at, lines.front().depth, handlerOf, added);
  for (auto& a : added) items_.push_back(std::move(a));
}

void cuiMenu::onEvent(const cmcEvent& event) {
  switch (event.code) {
    case ev::kRefreshMenus:
      // Sent on every move of the current cell: one refresh per pass of the event loop is
      // enough, and every menu refreshes again as it opens.
      if (!refreshQueued_) {
        refreshQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
              refreshQueued_ = false;
              refresh();
            },
            Qt::QueuedConnection);
      }
      break;
    case ev::kEmptySubmenu: {
      Item* item = findLink(int(event.b));
      if (!item || !item->submenu) break;
      QMenu* sub = item->submenu;
      // Every item made inside that submenu goes.
      std::vector<std::unique_ptr<Item>> kept;
      for (auto& other : items_) {
        bool inside = false;
        if (other->action) {
          for (QObject* w : other->action->associatedObjects()) inside |= (w == sub);
        }
        if (inside && other.get() != item) {
          sub->removeAction(other->action);
          other->action->deleteLater();
          if (other->submenu) other->submenu->deleteLater();
        } else {
          kept.push_back(std::move(other));
        }
      }
      items_ = std::move(kept);
      break;
    }
    case ev::kFillSubmenu: {
      Item* item = findLink(int(event.b));
      if (!item) break;
      auto* from = event.aAs<cuiMenu>();
      fillFromSection(*item, event.text(), liveMenus().contains(from) ? from : this);
      break;
    }
    default:
      break;
  }
}
