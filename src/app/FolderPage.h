#pragma once

#include <QByteArray>
#include <QWidget>
#include <functional>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class SheetEnvironment;
class cuiTree;

// What a folder of the navigation tree (Memory CH, Function Memory) shows over its empty sheet:
// the folder's caption and its pages, each with the channels in use on it where it holds
// channels. Enter or a double-click on a page opens it, as selecting it in the tree does.
class FolderPage : public QWidget {
  Q_OBJECT

 public:
  // `folder` is the tree's node; `open` selects a page's node (in the tree).
  FolderPage(QWidget* sheet, const cuiTree& tree, const QTreeWidgetItem& folder,
             const SheetEnvironment& environment, std::function<void(const QTreeWidgetItem*)> open);

  // "12 of 100 in use" for a page of channels, empty for any other page.
  static QString channelCount(const QByteArray& callString, const SheetEnvironment& environment);
  QTreeWidget* list() const { return list_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* title_ = nullptr;
  QTreeWidget* list_ = nullptr;
};
