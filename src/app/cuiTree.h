#pragma once

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <vector>

#include "app/cuiMenu.h"
#include "gtex/cmcCellObj.h"
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
struct cmcEvent;

// The navigation tree: built from the GTEX description `stem`_BasicCell and `stem`_Body, one node
// per line, the depth given by the characters before the "+". Each node's cell names the sheet it
// opens (CallSheet), its image, its popup menu and its option flags. Selecting a node reports it
// after the change delay; the application object opens its sheet.
class cuiTree : public QObject {
  Q_OBJECT

 public:
  static constexpr int kCellRole = Qt::UserRole + 1;     // index of the node's cell
  static constexpr int kOverlayRole = Qt::UserRole + 2;  // overlay shown, -1 none

  cuiTree(QWidget* parentPanel, const QByteArray& stem, const QList<QIcon>& images,
          const BuilderServices& services);
  ~cuiTree() override;

  void build();
  QTreeWidget* control() const { return tree_; }

  // The selected node's cell, or nullptr.
  const cmcCellObj* selectedCell() const;
  const cmcCellObj* cellOf(const QTreeWidgetItem* item) const;
  // The call string of a node's CallSheet cell (empty when it opens nothing).
  QByteArray callStringOf(const QTreeWidgetItem* item) const;
  // The first node (tree order) whose call string is `call`.
  QTreeWidgetItem* findNode(const QByteArray& call) const;

  // Deletes every node whose cell has flag n (0..6) set.
  void removeFlagged(int n);
  // The overlays of the warning check: warning pages get overlay 1, then error pages overlay 0,
  // so an error wins. A collapsed node carries the marks of the nodes below it.
  void applyOverlays(const QList<QByteArray>& errorPages, const QList<QByteArray>& warningPages);
  // The overlay a node shows (-1 none).
  static int overlayOf(const QTreeWidgetItem* item);

  void setChangeDelay(int ms) { delay_.setInterval(ms); }
  // Selects the first node (no delay: its sheet opens at once).
  void selectFirst();

  // The node popup builder of the selected node, or nullptr.
  cuiMenu* nodePopup() const { return popupBuilder_.get(); }
  QMenu* popupMenu() const { return popup_; }

 signals:
  // The selection settled (after the change delay).
  void selectionSettled();
  // A node was expanded or collapsed.
  void expansionChanged();

 private:
  void onEvent(const cmcEvent& event);
  void currentChanged(QTreeWidgetItem* current);
  void showPopup(const QPoint& position);
  void updateIcon(QTreeWidgetItem* item) const;
  bool markNode(QTreeWidgetItem* item, const QList<QByteArray>& pages, int overlay);

  QWidget* panel_;
  QByteArray stem_;
  QList<QIcon> images_;
  BuilderServices services_;
  QTreeWidget* tree_;
  QPointer<QMenu> popup_;
  std::unique_ptr<cuiMenu> popupBuilder_;
  cmcCellObj basic_;
  std::vector<std::unique_ptr<cmcCellObj>> cells_;
  QTimer delay_;
};
