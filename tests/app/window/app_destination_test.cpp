// The destination check after an identification (event 35) and the Clone Information box.
#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>

#include "app/cuiTree.h"
#include "support/AppRig.h"
#include "clone/clonecommands.h"
#include "clone/cloneconfig.h"
#include "sheet/ui/cuiGrid.h"
#include "sheet/ui/cuiSheet.h"

namespace {

// A transceiver's clone information naming `destination` and the option bits.
QByteArray cloneInfo(int destination, uint8_t options) {
  QByteArray info(cloneconfig::kCloneInfoSize, '\0');
  info[cloneconfig::kCloneInfoRevision] = 1;
  info[cloneconfig::kCloneInfoDestination] = char(destination);
  info[19] = char(options);
  return info;
}

// A Clone Read that fails after its identification switched the destination (here to one
// without the marine pages) puts the destination back, and the tree and sheet with it.
TEST(DestinationCheck, AFailedReadAfterASwitchPutsTheTreeBack) {
  AppRig rig;
  constexpr const char* kMarine = "[St_ColCut]GI_Sheet_MarineCH,4";
  ASSERT_NE(rig.app->tree()->findNode(kMarine), nullptr);
  const int destination = rig.app->destination();
  const uint8_t options = rig.app->optionBits();
  rig.app->cloneSession().setCloneInformation(cloneInfo(2, 0x01));
  rig.prompter.push(PromptAnswer::Ok);
  rig.prompter.push(PromptAnswer::No);
  rig.bus->send(ev::kDestinationCheck, kAdoptOptionFlags | kUpdateDestination);
  rig.settle();
  ASSERT_EQ(rig.settings->destinationCode(), 2);
  ASSERT_EQ(rig.app->tree()->findNode(kMarine), nullptr);

  rig.app->cloneSession().restoreDestination(destination, options);
  rig.settle();
  EXPECT_EQ(rig.settings->destinationCode(), destination);
  EXPECT_NE(rig.app->tree()->findNode(kMarine), nullptr);
  EXPECT_TRUE(spinUntil([&] { return rig.app->currentSheet() != nullptr; }));
}

TEST(DestinationCheck, AnotherDestinationConfirmedSwitchesAndLeavesTheDataUntitled) {
  AppRig rig;
  rig.setChannel(3, 146520000);
  rig.app->cloneSession().setCloneInformation(cloneInfo(2, 0x09));
  rig.prompter.push(PromptAnswer::Ok);  // "Settings don't match with transceiver's version."
  rig.prompter.push(PromptAnswer::No);  // the save prompt: drop the changes
  rig.bus->send(ev::kDestinationCheck, kAdoptOptionFlags | kUpdateDestination);
  ASSERT_GE(rig.prompter.log().size(), 2u);
  EXPECT_TRUE(rig.prompter.texts().first().startsWith(
      "Settings don't match with transceiver's version.\nSome settings will be changed"));
  EXPECT_EQ(rig.prompter.log().front().message.defaultAnswer, PromptAnswer::Cancel);
  EXPECT_EQ(rig.settings->destinationCode(), 2);
  EXPECT_EQ(rig.app->document().destination(), 2);
  EXPECT_TRUE(rig.settings->flagA());
  EXPECT_TRUE(rig.settings->flagC());
  EXPECT_TRUE(rig.app->document().isUntitled());
  EXPECT_TRUE(spinUntil([&] { return rig.app->currentSheet() != nullptr; }));
}

TEST(DestinationCheck, DeclinedKeepsTheDestinationAndTheOptions) {
  AppRig rig;
  rig.app->cloneSession().setCloneInformation(cloneInfo(2, 0x00));
  rig.prompter.push(PromptAnswer::Cancel);
  rig.bus->send(ev::kDestinationCheck, kAdoptOptionFlags | kUpdateDestination);
  EXPECT_EQ(rig.settings->destinationCode(), 0);
  EXPECT_TRUE(rig.settings->flagA());  // not adopted: the destinations differ and were kept
  EXPECT_EQ(rig.app->document().destination(), 0);
}

TEST(DestinationCheck, SameDestinationAdoptsTheOptionsAndDropsTheMarinePage) {
  AppRig rig;
  ASSERT_NE(rig.app->tree()->findNode("[St_ColCut]GI_Sheet_MarineCH,4"), nullptr);
  rig.app->cloneSession().setCloneInformation(cloneInfo(0, 0x00));
  rig.bus->send(ev::kDestinationCheck, kAdoptOptionFlags | kUpdateDestination);
  EXPECT_TRUE(rig.prompter.log().empty());
  EXPECT_FALSE(rig.settings->flagA());
  EXPECT_EQ(rig.app->tree()->findNode("[St_ColCut]GI_Sheet_MarineCH,4"), nullptr);
  EXPECT_EQ(rig.app->tree()->control()->topLevelItem(0)->text(0), "Osprel");
}

TEST(CloneInformation, TheBoxShowsTheSheetOverTheWindowUntilOk) {
  AppRig rig;
  rig.app->cloneSession().setCloneInformation(cloneInfo(0, 0x0F));
  rig.app->showCloneInformation();
  QDialog* box = rig.app->informationDialog();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_EQ(box->windowTitle(), "Kestrin");
  EXPECT_EQ(QApplication::activeModalWidget(), box);
  cuiSheet* sheet = box->findChild<cuiSheet*>();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->callString(), "GI_Sheet_CloneInfo");
  // The whole sheet fits in the box: no scroll bars, every row and column in the viewport.
  rig.settle();
  cuiGrid* grid = sheet->grid();
  EXPECT_FALSE(grid->verticalScrollBar()->isVisible());
  EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
  EXPECT_GE(grid->viewport()->width(), sheet->model().totalWidth());
  EXPECT_GE(grid->viewport()->height(), sheet->model().totalHeight());
  EXPECT_GT(sheet->model().totalHeight(), 0);
  EXPECT_TRUE(box->rect().contains(sheet->geometry().translated(sheet->parentWidget()->pos())));
  EXPECT_FALSE(rig.form().close());  // refused while the box is up
  box->findChild<QPushButton*>()->click();
  rig.settle();
  EXPECT_EQ(rig.app->informationDialog(), nullptr);
  EXPECT_TRUE(rig.form().isEnabled());
}

}  // namespace
