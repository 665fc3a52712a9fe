#include "app/FolderPage.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/cuiTree.h"
#include "sheet/core/SheetEnvironment.h"

namespace {

constexpr int kNodeRole = Qt::UserRole + 1;

// The channel range of a page of channels, by the page's sheet and number in its call string.
bool channelRange(const QByteArray& call, int& first, int& last) {
  const int comma = int(call.indexOf(','));
  if (comma < 0 || !call.contains("]GI_Sheet_")) return false;
  bool ok = false;
  const int number = call.mid(comma + 1).split(',').value(0).toInt(&ok);
  if (!ok) return false;
  if (call.contains("GI_Sheet_MemoryCH") && (number == 0 || number == 1)) {
    first = number * 100;
    last = first + 99;
  } else if (call.contains("GI_Sheet_ScanEdge")) {
    first = 200;
    last = 205;
  } else if (call.contains("GI_Sheet_CallCh")) {
    first = last = 206;
  } else {
    return false;
  }
  return true;
}

}  // namespace

QString FolderPage::channelCount(const QByteArray& call, const SheetEnvironment& environment) {
  int first = 0;
  int last = -1;
  if (!channelRange(call, first, last)) return {};
  int used = 0;
  for (int i = first; i <= last; ++i) used += environment.channelInUse(i) ? 1 : 0;
  return QStringLiteral("%1 of %2 in use").arg(used).arg(last - first + 1);
}

FolderPage::FolderPage(QWidget* sheet, const cuiTree& tree, const QTreeWidgetItem& folder,
                       const SheetEnvironment& environment,
                       std::function<void(const QTreeWidgetItem*)> open)
    : QWidget(sheet) {
  setObjectName(QStringLiteral("folderPage"));
  setAutoFillBackground(true);
  title_ = new QLabel(folder.text(0).simplified(), this);
  QFont big = title_->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.3);
  title_->setFont(big);
  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("folderPageList"));
  list_->setColumnCount(2);
  list_->setHeaderLabels({QStringLiteral("Page"), QStringLiteral("Channels")});
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setIconSize(folder.treeWidget() ? folder.treeWidget()->iconSize() : QSize(16, 16));
  // The pages below the folder, those of a sub-folder (F-1's Common Setting) indented under it.
  std::function<void(const QTreeWidgetItem&, QTreeWidgetItem*)> add =
      [&](const QTreeWidgetItem& node, QTreeWidgetItem* under) {
    for (int i = 0; i < node.childCount(); ++i) {
      const QTreeWidgetItem* child = node.child(i);
      auto* row = under ? new QTreeWidgetItem(under) : new QTreeWidgetItem(list_);
      row->setText(0, child->text(0).simplified());
      row->setIcon(0, child->icon(0));
      row->setText(1, channelCount(tree.callStringOf(child), environment));
      row->setData(0, kNodeRole, QVariant::fromValue(static_cast<const void*>(child)));
      add(*child, row);
    }
  };
  add(folder, nullptr);
  list_->expandAll();
  list_->resizeColumnToContents(0);
  list_->header()->setStretchLastSection(true);
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
  auto openRow = [open](QTreeWidgetItem* row) {
    if (row && open)
      open(static_cast<const QTreeWidgetItem*>(row->data(0, kNodeRole).value<const void*>()));
  };
  connect(list_, &QTreeWidget::itemActivated, this, [openRow](QTreeWidgetItem* row, int) {
    openRow(row);
  });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 12, 16, 12);
  layout->setSpacing(8);
  layout->addWidget(title_);
  layout->addWidget(list_, 1);
  sheet->installEventFilter(this);
  setGeometry(sheet->rect());
  raise();
}

bool FolderPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize)
    setGeometry(static_cast<QWidget*>(watched)->rect());
  return QWidget::eventFilter(watched, event);
}
