// File > Compare with File... in the real main window: the dialog lists the differing fields and
// choosing one opens its page at its cell.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

#include "../base/spin.h"
#include "app/CompareWithFile.h"
#include "app/cuiTree.h"
#include "app/TForm1.h"
#include "app/indMain.h"
#include "base/cmcEvMan.h"
#include "base/filechooser.h"
#include "base/prompter.h"
#include "files/filecommands.h"
#include "files/indEnviron.h"
#include "gtex/celllinks.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/cmcEeprom.h"
#include "resources/embedded_text.h"
#include "sheet/ui/cuiSheet.h"
#include "support/TestWindow.h"

namespace {

class CompareWindow : public ::testing::Test, public TestWindow {
 protected:
  void setFrequency(int index, uint32_t hz) {
    ChannelView view(app->document().working(), app->document().options());
    view.load(kKindConventional, index);
    view.frequency = hz;
    view.commit();
  }
  QString path(const char* name) const { return dir.filePath(name); }

};

// Two files that differ in channel 0 and in the call channel: the menu command lists both, and
// Enter on the second opens the call channel's page at its frequency.
TEST_F(CompareWindow, ChoosingTheSecondDifferenceOpensItsPageAtTheCell) {
  ASSERT_EQ(app->files().saveFile(path("a.qev")), 0);
  setFrequency(0, 147000000);
  setFrequency(206, 145500000);
  ASSERT_EQ(app->files().saveFile(path("b.qev")), 0);
  ASSERT_EQ(app->files().openFile(path("a.qev")), 0);

  QAction* command = nullptr;
  for (QAction* a : app->form()->menuBar()->actions().first()->menu()->actions()) {
    if (a->text() == "Co&mpare with File...") command = a;
  }
  ASSERT_NE(command, nullptr);
  chooser.setNextFileName(path("b.qev"));
  command->trigger();
  auto dialogs = app->form()->findChildren<CompareDialog*>();
  ASSERT_EQ(dialogs.size(), 1);
  CompareDialog* dialog = dialogs.first();
  ASSERT_EQ(dialog->differences().size(), 2u);
  QTreeWidget* list = dialog->list();
  EXPECT_EQ(list->topLevelItem(0)->text(3), "146.010000");
  EXPECT_EQ(list->topLevelItem(0)->text(4), "147.000000");
  EXPECT_EQ(list->topLevelItem(1)->text(0), "CALL CH");
  EXPECT_EQ(list->topLevelItem(1)->text(2), "Operating Freq");
  EXPECT_EQ(list->topLevelItem(1)->text(4), "145.500000");

  dialog->show();
  list->setFocus();
  list->setCurrentItem(list->topLevelItem(1));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(list, &enter);
  ASSERT_NE(app->currentSheet(), nullptr);
  EXPECT_EQ(app->currentSheet()->callString(), "[St_ColCut]GI_Sheet_CallCh,3");
  const SheetPos cell = app->currentSheet()->currentCell();
  ASSERT_TRUE(cell.valid());
  EXPECT_EQ(app->currentSheet()->model().cellAt(cell.column, cell.row).link, CL_Mch_Freq);
  EXPECT_EQ(app->currentSheet()->model().cellAt(cell.column, cell.row).index, 206);
  // The tree shows where the page is.
  ASSERT_NE(app->tree()->control()->currentItem(), nullptr);
  EXPECT_EQ(app->tree()->callStringOf(app->tree()->control()->currentItem()),
            "[St_ColCut]GI_Sheet_CallCh,3");

  const QString shot = qEnvironmentVariable("KESTRIN_SCREENSHOT_DIR");
  if (!shot.isEmpty()) {
    spinFor(50);
    dialog->grab().save(shot + "/compare-dialog.png");
    app->form()->grab().save(shot + "/compare-main.png");
  }
}

TEST_F(CompareWindow, EqualFilesAndFailedOpensGiveNoDialog) {
  ASSERT_EQ(app->files().saveFile(path("a.qev")), 0);
  EXPECT_EQ(compareWithFile(*app, path("a.qev")), nullptr);
  ASSERT_FALSE(prompter.log().empty());
  EXPECT_EQ(prompter.log().back().message.text, "The document and a.qev are equal.");

  EXPECT_EQ(compareWithFile(*app, path("missing.qev")), nullptr);
  EXPECT_TRUE(prompter.log().back().message.text.contains("Cannot open the file."))
      << prompter.log().back().message.text.toStdString();
  EXPECT_TRUE(app->form()->findChildren<CompareDialog*>().isEmpty());
  EXPECT_EQ(app->document().currentFile(), path("a.qev"));  // the document is left alone
}

// A Clone Read over a document that came from a file offers the comparison with that file.
TEST_F(CompareWindow, AfterACloneReadTheStatusBarOffersTheComparisonWithTheFile) {
  ASSERT_EQ(app->files().saveFile(path("a.qev")), 0);
  auto offer = [this] { return app->statusBar()->findChild<QToolButton*>("compareOffer"); };

  cmcEeprom read(app->document().working());
  ChannelView view(read, app->document().options());
  view.load(kKindConventional, 0);
  view.frequency = 147000000;
  view.commit();
  app->cloneSession().takeOverClonedImage(read, app->optionBits());
  EXPECT_TRUE(app->document().isUntitled());
  ASSERT_NE(offer(), nullptr);
  EXPECT_EQ(offer()->text(), "Compare with a.qev...");
  if (const QString shot = qEnvironmentVariable("KESTRIN_SCREENSHOT_DIR"); !shot.isEmpty()) {
    spinFor(50);
    app->form()->grab().save(shot + "/compare-offer.png");
  }

  offer()->click();
  const auto dialogs = app->form()->findChildren<CompareDialog*>();
  ASSERT_EQ(dialogs.size(), 1);
  ASSERT_EQ(dialogs.first()->differences().size(), 1u);
  EXPECT_EQ(dialogs.first()->differences()[0].textA, "147.000000");
  EXPECT_EQ(dialogs.first()->differences()[0].textB, "146.010000");
  spinUntil([&] { return offer() == nullptr; });
  EXPECT_EQ(offer(), nullptr);

  // A read over an untitled document has nothing to compare with.
  app->cloneSession().takeOverClonedImage(read, app->optionBits());
  EXPECT_EQ(offer(), nullptr);
}

}  // namespace
