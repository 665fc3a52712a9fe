// The main window on the memory sheet, saved as a picture when KESTRIN_APP_SHOTS names a folder
// (run under xvfb-run to look at it). The checks hold either way: the tree's and the toolbar's
// pictures are drawn.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QMenuBar>
#include <QToolBar>
#include <QTreeWidget>

#include "app/cuiToolBar.h"
#include "app/cuiTree.h"
#include "support/AppRig.h"

namespace {

bool hasInk(const QIcon& icon) {
  const QImage image = icon.pixmap(16, 16).toImage();
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) > 0) return true;
  return false;
}

TEST(Screenshots, MainWindowOnTheMemorySheet) {
  AppRig rig;
  rig.form().resize(1100, 700);
  QTreeWidget* tree = rig.app->tree()->control();
  QTreeWidgetItem* memory = rig.app->tree()->findNode("[St_ColCut]GI_Sheet_MemoryCH,0,0");
  ASSERT_NE(memory, nullptr);
  rig.setChannel(7, 100000000);  // an error mark on the page
  rig.app->document().markSaved();
  memory->parent()->setExpanded(true);
  tree->setCurrentItem(memory);
  ASSERT_TRUE(spinUntil([&] { return rig.shownCall() == "[St_ColCut]GI_Sheet_MemoryCH,0,0"; }));
  rig.settle(100);

  QTreeWidgetItemIterator it(tree);
  for (; *it; ++it) EXPECT_TRUE(hasInk((*it)->icon(0))) << (*it)->text(0).toStdString();
  for (QAction* a : rig.app->toolBar()->rows().first()->actions()) {
    if (!a->text().isEmpty()) {
      EXPECT_TRUE(hasInk(a->icon())) << a->text().toStdString();
    }
  }

  const QString folder = qEnvironmentVariable("KESTRIN_APP_SHOTS");
  if (folder.isEmpty()) return;
  QDir().mkpath(folder);
  rig.form().grab().save(QDir(folder).filePath("main-memory.png"));
  rig.form().menuBar()->actions().first()->menu()->grab().save(
      QDir(folder).filePath("menu-file.png"));
}

}  // namespace
