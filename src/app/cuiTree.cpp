#include "app/cuiTree.h"

#include <QApplication>
#include <QHeaderView>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <vector>

#include "app/ImageLists.h"
#include "base/cmcEvMan.h"
#include "base/textcodec.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "gtex/outline.h"

namespace {

// The tree control: a right-button press selects the node under the pointer first, so that its
// popup menu (and its sheet) follow.
class TreeControl : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::RightButton) {
      if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) setCurrentItem(item);
    }
    QTreeWidget::mousePressEvent(event);
  }
};

// The view asks every shown node's size each time it lays itself out (the column follows the
// widest caption and is worked out again at each change: a node added, the font set, the current
// node moved), and the style lays the caption's text out anew for each answer. A node's size
// depends only on what its row shows, so the answers are kept.
class NodeSizes final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (const QVariant hint = index.data(Qt::SizeHintRole); hint.isValid()) return hint.toSize();
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    QStyle* style = item.widget ? item.widget->style() : QApplication::style();
    for (const Kept& k : kept_) {
      if (k.same(item, style)) return k.size;
    }
    const QSize size =
        style->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), item.widget);
    if (kept_.size() >= 256) kept_.clear();
    kept_.push_back(Kept{item, style, size});
    return size;
  }

 private:
  // What the style's answer depends on.
  struct Kept {
    QStyleOptionViewItem item;
    const QStyle* style;
    QSize size;

    bool same(const QStyleOptionViewItem& o, const QStyle* s) const {
      const bool wraps = o.features & QStyleOptionViewItem::WrapText;
      return s == style && o.text == item.text && o.features == item.features &&
             o.decorationSize == item.decorationSize &&
             o.decorationPosition == item.decorationPosition &&
             o.displayAlignment == item.displayAlignment &&
             o.decorationAlignment == item.decorationAlignment &&
             o.textElideMode == item.textElideMode && o.direction == item.direction &&
             o.checkState == item.checkState && (!wraps || o.rect.size() == item.rect.size()) &&
             o.font == item.font;
    }
  };
  mutable std::vector<Kept> kept_;
};

}  // namespace

cuiTree::cuiTree(QWidget* parentPanel, const QByteArray& stem, const QList<QIcon>& images,
                 const BuilderServices& services)
    : QObject(parentPanel),
      panel_(parentPanel),
      stem_(stem),
      images_(images),
      services_(services),
      tree_(new TreeControl(parentPanel)) {
  tree_->setObjectName(QStringLiteral("navigationTree"));
  tree_->setHeaderHidden(true);
  tree_->setColumnCount(1);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->setIconSize(QSize(16, 16));
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  // Long captions scroll sideways in a narrow pane rather than being cut short.
  tree_->setTextElideMode(Qt::ElideNone);
  tree_->setItemDelegate(new NodeSizes(tree_));
  // The header is hidden, so its label has nothing to claim: with a size hint of its own the
  // column's width comes from the nodes alone and the label is never measured (in bold, a font
  // the window draws nowhere else, which would be loaded only for that).
  tree_->headerItem()->setSizeHint(0, QSize(0, 0));
  tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tree_->header()->setStretchLastSection(false);
  tree_->setVisible(false);
  if (parentPanel->layout()) parentPanel->layout()->addWidget(tree_);
  popup_ = new QMenu(tree_);
  delay_.setSingleShot(true);
  delay_.setInterval(200);
  connect(&delay_, &QTimer::timeout, this, &cuiTree::selectionSettled);
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { currentChanged(current); });
  connect(tree_, &QTreeWidget::itemExpanded, this, [this] { emit expansionChanged(); });
  connect(tree_, &QTreeWidget::itemCollapsed, this, [this] { emit expansionChanged(); });
  connect(tree_, &QWidget::customContextMenuRequested, this, &cuiTree::showPopup);
  if (services_.bus) services_.bus->subscribe<&cuiTree::onEvent>(this);
}

cuiTree::~cuiTree() {
  if (services_.bus) services_.bus->unsubscribe<&cuiTree::onEvent>(this);
  popupBuilder_.reset();
  delete tree_;
}

void cuiTree::onEvent(const cmcEvent& event) {
  // The panel the tree lives in is going away.
  if (event.code == ev::kOwnerClosing && event.b == reinterpret_cast<intptr_t>(panel_)) {
    tree_->hide();
  }
}

void cuiTree::build() {
  tree_->clear();
  popupBuilder_.reset();
  cells_.clear();
  const QByteArray basicSection = stem_ + "_BasicCell";
  const QByteArray bodySection = stem_ + "_Body";
  basic_ = cmcCellObj();
  services_.parser->parseCell(basic_, services_.text->getLine(basicSection.constData(), 0), nullptr,
                              nullptr);
  if (const CellFont* font = basic_.effectiveFont()) {
    tree_->setFont(screenFont(*font, tree_->font()));
  }

  const std::vector<OutlineLine> lines = readOutline(*services_.text, bodySection);

  // Depth rule: a deeper line starts the subtree of the node before it, an equal one adds a
  // sibling, a shallower one ends the level.
  std::vector<std::pair<int, QTreeWidgetItem*>> parents;  // depth, node
  for (const OutlineLine& line : lines) {
    while (!parents.empty() && parents.back().first >= line.depth) parents.pop_back();
    auto cell = std::make_unique<cmcCellObj>();
    services_.parser->parseCell(*cell, line.cellText, &basic_, nullptr);
    QTreeWidgetItem* item =
        parents.empty() ? new QTreeWidgetItem(tree_) : new QTreeWidgetItem(parents.back().second);
    item->setText(0, fromCp932(cell->text.value_or(QByteArray())));
    item->setData(0, kCellRole, int(cells_.size()));
    item->setData(0, kOverlayRole, -1);
    cells_.push_back(std::move(cell));
    updateIcon(item);
    parents.emplace_back(line.depth, item);
  }
  if (tree_->topLevelItemCount() > 0) tree_->topLevelItem(0)->setExpanded(true);
}

const cmcCellObj* cuiTree::cellOf(const QTreeWidgetItem* item) const {
  if (!item) return nullptr;
  bool ok = false;
  const int i = item->data(0, kCellRole).toInt(&ok);
  return ok && i >= 0 && i < int(cells_.size()) ? cells_[i].get() : nullptr;
}

const cmcCellObj* cuiTree::selectedCell() const { return cellOf(tree_->currentItem()); }

QByteArray cuiTree::callStringOf(const QTreeWidgetItem* item) const {
  const cmcCellObj* cell = cellOf(item);
  if (!cell || cell->link != CallSheet || !cell->argument) return {};
  return *cell->argument;
}

QTreeWidgetItem* cuiTree::findNode(const QByteArray& call) const {
  QTreeWidgetItemIterator it(tree_);
  while (*it) {
    if (callStringOf(*it) == call) return *it;
    ++it;
  }
  return nullptr;
}

void cuiTree::selectFirst() {
  if (tree_->topLevelItemCount() == 0) return;
  tree_->setCurrentItem(tree_->topLevelItem(0));
  delay_.stop();
}

void cuiTree::currentChanged(QTreeWidgetItem* current) {
  // The previous node's popup goes; the new node's popup is built when it names one.
  popupBuilder_.reset();
  popup_->clear();
  if (const cmcCellObj* cell = cellOf(current)) {
    const QByteArray stem = cell->popupMenu.value_or(QByteArray());
    if (!stem.isEmpty()) {
      popupBuilder_ = std::make_unique<cuiMenu>(tree_->window(), popup_, stem, services_);
      popupBuilder_->build();
      popupBuilder_->refresh();
    }
  }
  delay_.start();
}

void cuiTree::showPopup(const QPoint& position) {
  if (!popupBuilder_ || popup_->isEmpty()) return;
  // A right-click on another node has just selected it: its sheet opens now, not after the
  // change delay, so that the commands' states are those of the node's sheet.
  if (delay_.isActive()) {
    delay_.stop();
    emit selectionSettled();
    if (!popupBuilder_) return;
  }
  popupBuilder_->refresh();
  popup_->popup(tree_->viewport()->mapToGlobal(position));
}

void cuiTree::removeFlagged(int n) {
  // The first flagged node in tree order goes, then the search starts again.
  for (;;) {
    QTreeWidgetItem* found = nullptr;
    QTreeWidgetItemIterator it(tree_);
    while (*it && !found) {
      const cmcCellObj* cell = cellOf(*it);
      if (cell && cell->flag(n)) found = *it;
      ++it;
    }
    if (!found) return;
    delete found;
  }
}

int cuiTree::overlayOf(const QTreeWidgetItem* item) {
  bool ok = false;
  const int overlay = item ? item->data(0, kOverlayRole).toInt(&ok) : -1;
  return ok ? overlay : -1;
}

void cuiTree::updateIcon(QTreeWidgetItem* item) const {
  const cmcCellObj* cell = cellOf(item);
  const int image = cell && cell->imageIndex >= 0 ? cell->imageIndex : 0;
  QIcon icon = ImageLists::at(images_, image);
  const int overlay = overlayOf(item);
  if (overlay >= 0) {
    const QIcon badge =
        ImageLists::at(images_, overlay == kOverlayError ? kTreeImageError : kTreeImageWarning);
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    if (!icon.isNull()) icon.paint(&painter, QRect(0, 0, 16, 16));
    if (!badge.isNull()) badge.paint(&painter, QRect(0, 0, 16, 16));
    painter.end();
    icon = QIcon(pixmap);
  }
  item->setIcon(0, icon);
}

bool cuiTree::markNode(QTreeWidgetItem* item, const QList<QByteArray>& pages, int overlay) {
  bool below = false;
  for (int i = 0; i < item->childCount(); ++i) below |= markNode(item->child(i), pages, overlay);
  const QByteArray call = callStringOf(item);
  const bool own = !call.isEmpty() && pages.contains(call);
  if (own || (below && !item->isExpanded())) {
    item->setData(0, kOverlayRole, overlay);
    updateIcon(item);
  }
  return own || below;
}

void cuiTree::applyOverlays(const QList<QByteArray>& errorPages,
                            const QList<QByteArray>& warningPages) {
  QTreeWidgetItemIterator it(tree_);
  while (*it) {
    if (overlayOf(*it) != -1) {
      (*it)->setData(0, kOverlayRole, -1);
      updateIcon(*it);
    }
    ++it;
  }
  for (int i = tree_->topLevelItemCount() - 1; i >= 0; --i) {
    markNode(tree_->topLevelItem(i), warningPages, kOverlayWarning);
    markNode(tree_->topLevelItem(i), errorPages, kOverlayError);
  }
}
