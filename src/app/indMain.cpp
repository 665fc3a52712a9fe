#include "app/indMain.h"

#include <QTreeWidget>

#include "app/TForm1.h"
#include "app/cuiTree.h"
#include "base/cmcEvMan.h"
#include "base/textcodec.h"
#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"
#include "sheet/ui/DocumentUndo.h"

indMain::indMain(const AppObjects& objects, AppSeams seams) : cuiMain(objects, std::move(seams)) {}

void indMain::buildModelDisplay() {
  cuiMain::buildModelDisplay();
  if (!tree() || tree()->control()->topLevelItemCount() == 0) return;
  QTreeWidgetItem* root = tree()->control()->topLevelItem(0);
  root->setText(0, text().lineText("GI_AppInd_Model"));
  const bool alternative = settings().modelType() != 0;
  root->setIcon(0, ImageLists::at(images().tree, alternative ? kTreeImageRig2 : kTreeImageRig));
  if (form()) {
    const QIcon icon = ImageLists::at(images().large, alternative ? 1 : 0);
    if (!icon.isNull()) form()->setWindowIcon(icon);
  }
}

void indMain::takeOverLoadedImage() {
  document().conform(document().working());
  bus().send(ev::kDataOrSheetChanged);
}

int indMain::openFileByPath(const QString& path) {
  return files().openFile(path);
}

void indMain::identificationFinished(const CloneOutcome&) {}
