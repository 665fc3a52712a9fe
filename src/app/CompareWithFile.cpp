#include "app/CompareWithFile.h"

#include "app/cuiTree.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/TForm1.h"
#include "app/cuiMain.h"
#include "base/textcodec.h"
#include "files/filecommands.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "model/catalogue.h"
#include "model/document.h"
#include "sheet/core/SheetEnvironment.h"
#include "sheet/ui/cuiGrid.h"
#include "sheet/ui/cuiSheet.h"

namespace {

QString appTitle(cuiMain& main) { return main.text().lineText("GI_Sys_AppTitle"); }

// The file to compare with, opened into a workspace of its own as File Open would open it.
struct OtherDocument {
  explicit OtherDocument(cuiMain& main) : workspace(WorkspaceSetup{&main.prompter(), &main.text()}) {
    Document& document = workspace.document();
    document.setOptionBits(main.document().options().optionBits());
    document.setDestination(main.document().destination());
    document.newDocument();
    workspace.files().setDestinationPolicy(FileCommands::DestinationPolicy::AdoptFile);
  }
  Workspace workspace;
};

QString shown(const QString& text, bool present) {
  if (!present) return QStringLiteral("(absent)");
  return text.isEmpty() ? QStringLiteral("(empty)") : text;
}

}  // namespace

CompareLabels CompareDialog::fileLabels(cuiMain& main, const QString& path, int n) {
  const QString fileName = QFileInfo(path).fileName();
  CompareLabels labels;
  labels.title = QStringLiteral("Compare with %1 - %2").arg(fileName, appTitle(main));
  labels.summary = QStringLiteral("%1 field%2 of this document differ%3 from %4. Choose one to "
                                  "go to its cell.")
                       .arg(n)
                       .arg(n == 1 ? "" : "s")
                       .arg(n == 1 ? "s" : "")
                       .arg(fileName);
  labels.other = fileName;
  return labels;
}

CompareDialog::CompareDialog(cuiMain& main, std::vector<FieldDifference> differences,
                             const QString& path, QWidget* parent)
    : CompareDialog(main, differences, fileLabels(main, path, int(differences.size())), parent) {}

CompareDialog::CompareDialog(cuiMain& main, std::vector<FieldDifference> differences,
                             const CompareLabels& labels, QWidget* parent)
    : QDialog(parent), main_(main), differences_(std::move(differences)) {
  setWindowTitle(labels.title);
  setAttribute(Qt::WA_DeleteOnClose);

  summary_ = new QLabel(this);
  const int n = int(differences_.size());
  summary_->setText(labels.summary);
  summary_->setWordWrap(true);

  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setHeaderLabels({QStringLiteral("Page"), QStringLiteral("Row"), QStringLiteral("Column"),
                          QStringLiteral("This document"), labels.other});
  for (const FieldDifference& d : differences_) {
    new QTreeWidgetItem(list_, {d.sheetTitle, d.rowLabel, d.columnHeader, shown(d.textA, d.inA),
                                shown(d.textB, d.inB)});
  }
  // Every text whole, with room to spare: the item views' own fit cuts the last letter on some
  // styles.
  const QFontMetrics metrics(list_->font());
  for (int column = 0; column + 1 < list_->columnCount(); ++column) {
    int width = metrics.horizontalAdvance(list_->headerItem()->text(column));
    for (int row = 0; row < list_->topLevelItemCount(); ++row)
      width = std::max(width, metrics.horizontalAdvance(list_->topLevelItem(row)->text(column)));
    list_->setColumnWidth(column, width + 3 * metrics.averageCharWidth());
  }
  if (n > 0) list_->setCurrentItem(list_->topLevelItem(0));
  connect(list_, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item) { goTo(list_->indexOfTopLevelItem(item)); });

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* go = buttons->addButton(QStringLiteral("&Go to"), QDialogButtonBox::ActionRole);
  buttons->addButton(QDialogButtonBox::Close);
  go->setDefault(true);
  connect(go, &QPushButton::clicked, this,
          [this] { goTo(list_->indexOfTopLevelItem(list_->currentItem())); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addWidget(list_, 1);
  layout->addWidget(buttons);
  resize(720, 420);
  list_->setFocus();
}

bool CompareDialog::goTo(int n) {
  if (n < 0 || n >= int(differences_.size())) return false;
  const FieldDifference& d = differences_[size_t(n)];
  // The tree follows, so the user sees where the page is (its folder opens); the sheet shown
  // already is not opened again when the selection settles.
  main_.openSheet(d.callString);
  if (cuiTree* tree = main_.tree()) {
    if (QTreeWidgetItem* node = tree->findNode(d.callString)) {
      tree->control()->setCurrentItem(node);
      tree->control()->scrollToItem(node);
    }
  }
  cuiSheet* sheet = main_.currentSheet();
  if (!sheet) return false;
  const SheetPos cell = sheet->model().findSelectableCell(d.link, d.index);
  if (cell.valid()) sheet->selectPosition(cell);
  if (sheet->grid()) sheet->grid()->setFocus();
  return true;
}

CompareDialog* compareWithFile(cuiMain& main, const QString& chosen) {
  QString path = chosen;
  if (path.isEmpty()) {
    FileDialogRequest request;
    request.defaultExtension = main.text().lineText("GI_Sys_Dialog_FOpen");
    request.filter = main.text().lineText("GI_Sys_Dialog_FOpen", 1);
    request.initialDirectory = main.document().currentDirectory();
    request.title = QStringLiteral("Compare with a File");
    path = main.fileChooser().chooseOpenPath(request);
    if (path.isEmpty()) return nullptr;
  }
  if (main.currentSheet()) main.currentSheet()->commitEditor();

  OtherDocument other(main);
  if (other.workspace.files().openFile(QFileInfo(path).absoluteFilePath()) != 0) return nullptr;

  Workspace& mine = main.workspace();
  cmcCellParser& parser = mine.parser();
  std::vector<FieldDifference> differences = compareDocuments(
      {&mine.catalogue(), &mine.environment()},
      {&other.workspace.catalogue(), &other.workspace.environment()},
      treePages(main.text(), parser), main.text(), parser);
  if (differences.empty()) {
    main.prompter().inform(
        appTitle(main),
        QStringLiteral("The document and %1 are equal.").arg(QFileInfo(path).fileName()));
    return nullptr;
  }
  auto* dialog = new CompareDialog(main, std::move(differences), path, main.form());
  dialog->show();
  return dialog;
}

void offerComparison(cuiMain& main, const QString& previousFile) {
  QStatusBar* bar = main.statusBar();
  if (!bar) return;
  const QString name = QStringLiteral("compareOffer");
  delete bar->findChild<QToolButton*>(name);
  if (previousFile.isEmpty() || !QFileInfo::exists(previousFile)) return;
  auto* offer = new QToolButton(bar);
  offer->setObjectName(name);
  offer->setAutoRaise(true);
  offer->setText(QStringLiteral("Compare with %1...").arg(QFileInfo(previousFile).fileName()));
  offer->setToolTip(QStringLiteral("What the transceiver holds that differs from %1")
                        .arg(QDir::toNativeSeparators(previousFile)));
  bar->addPermanentWidget(offer);
  QObject::connect(offer, &QToolButton::clicked, bar, [&main, offer, previousFile] {
    offer->deleteLater();
    compareWithFile(main, previousFile);
  });
}

void installCompareCommand(cuiMain& main, QMenuBar* bar) {
  const QList<QAction*> top = bar->actions();
  QMenu* file = top.isEmpty() ? nullptr : top.first()->menu();
  if (!file) return;
  auto* action = new QAction(QStringLiteral("Co&mpare with File..."), file);
  QAction* before = nullptr;
  const QList<QAction*> items = file->actions();
  for (int i = 0; i < items.size(); ++i) {
    if (items[i]->text().remove('&').startsWith(QLatin1String("Save As")))
      before = i + 1 < items.size() ? items[i + 1] : nullptr;
  }
  file->insertAction(before, action);
  QObject::connect(action, &QAction::triggered, file, [&main] { compareWithFile(main); });
}
