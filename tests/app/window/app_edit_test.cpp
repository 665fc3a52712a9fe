// The Edit menu: the current cell's commands enabled as its popup menu enables them and run
// through it, the keys the popup menu does not carry, and Undo and Redo named after the change.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>
#include <QUndoStack>

#include "app/EditMenu.h"
#include "app/cuiTree.h"
#include "support/AppRig.h"
#include "sheet/ui/cuiGrid.h"

namespace {

constexpr char kMemory0[] = "[St_ColCut]GI_Sheet_MemoryCH,0,0";
constexpr char kCommon[] = "[St_Common]GI_Sheet_Common,7";

struct EditRig : AppRig {
  EditRig() {
    show(kMemory0);
  }
  void show(const char* call) {
    app->tree()->control()->setCurrentItem(app->tree()->findNode(call));
    EXPECT_TRUE(spinUntil([&] { return shownCall() == call; }));
    grid()->setFocus();
    settle();
  }
  cuiGrid* grid() { return app->currentSheet()->grid(); }
  EditMenu& edit() { return *app->editCommands(); }
  // What the menu shows as it opens: the enabled commands.
  QStringList enabled() {
    edit().refresh();
    QStringList names;
    for (int c = 0; c < EditMenu::kCommands; ++c) {
      QAction* a = edit().action(EditMenu::Command(c));
      if (a->isEnabled()) names << a->text().remove('&');
    }
    return names;
  }
  void selectChannel(int link, int index) {
    cuiSheet* sheet = app->currentSheet();
    ASSERT_TRUE(sheet->selectPosition(sheet->model().findSelectableCell(link, index)));
  }
  uint32_t frequency(int index) {
    ChannelView v(app->document().working(), app->document().options());
    v.load(kKindConventional, index);
    return v.inUse ? v.frequency : 0;
  }
};

TEST(EditMenu, CommandsFollowTheCellsPopupMenu) {
  EditRig rig;
  rig.setChannel(5, 146520000);
  rig.selectChannel(CL_Mch_Freq, 5);
  // A channel row: everything but Paste (the clipboard is empty).
  EXPECT_EQ(rig.enabled(),
            QStringList({"Cut", "Copy", "Delete", "Insert", "Clear", "Select All"}));
  rig.edit().run(EditMenu::Copy);
  EXPECT_TRUE(rig.enabled().contains("Paste"));
  rig.selectChannel(CL_Mch_Freq, 9);
  rig.edit().run(EditMenu::Paste);
  EXPECT_EQ(rig.frequency(9), 146520000u);

  // A settings row has Edit... and Help only; the tree's focus leaves the cell alone.
  rig.show(kCommon);
  EXPECT_EQ(rig.enabled(), QStringList());
  rig.show(kMemory0);
  rig.app->tree()->control()->setFocus();
  EXPECT_EQ(rig.enabled(), QStringList());
}

TEST(EditMenu, CutSelectAllAndTheirKeysOnTheGrid) {
  EditRig rig;
  rig.setChannel(3, 145000000);
  rig.setChannel(4, 146000000);
  rig.selectChannel(CL_Mch_Freq, 3);
  rig.prompter.push(PromptAnswer::Ok);  // "Clearing. Are you sure?"
  QTest::keyClick(rig.grid(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(rig.frequency(3), 0u);
  EXPECT_EQ(rig.app->undo()->stack()->undoText(), "Cut");
  rig.selectChannel(CL_Mch_Freq, 7);
  rig.edit().run(EditMenu::Paste);
  EXPECT_EQ(rig.frequency(7), 145000000u);

  // Select All marks every channel of the page; Delete then asks once and empties them all.
  QTest::keyClick(rig.grid(), Qt::Key_A, Qt::ControlModifier);
  rig.prompter.push(PromptAnswer::Ok);
  rig.edit().run(EditMenu::Delete);
  for (int ch : {4, 7}) EXPECT_EQ(rig.frequency(ch), 0u) << ch;
  EXPECT_EQ(rig.frequency(99), 0u);
}

TEST(EditMenu, UndoAndRedoNameTheChange) {
  EditRig rig;
  rig.selectChannel(CL_Mch_Freq, 2);
  QTest::keyClick(rig.grid(), '1');
  QLineEdit* editor = rig.app->currentSheet()->openEditor();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "46.52");
  QTest::keyClick(editor, Qt::Key_Return);
  rig.settle();
  ASSERT_EQ(rig.frequency(2), 146520000u);
  EXPECT_EQ(rig.edit().undoAction()->text(), "&Undo Operating Freq");
  rig.edit().undoAction()->trigger();
  EXPECT_EQ(rig.frequency(2), 0u);
  EXPECT_EQ(rig.edit().redoAction()->text(), "&Redo Operating Freq");

  // On a page of labelled rows the row names it.
  rig.show(kCommon);
  cuiSheet* sheet = rig.app->currentSheet();
  ASSERT_TRUE(sheet->selectPosition(sheet->model().findSelectableCell(CL_Common_Beep, 0)));
  QTest::keyClick(rig.grid(), Qt::Key_Space);
  rig.settle();
  EXPECT_EQ(rig.edit().undoAction()->text(), "&Undo Beep");
}

TEST(EditMenu, InTheEditorTheCommandsActOnItsText) {
  EditRig rig;
  rig.setChannel(1, 146520000);
  rig.selectChannel(CL_Mch_Name, 1);
  QTest::keyClick(rig.grid(), 'H');
  QLineEdit* editor = rig.app->currentSheet()->openEditor();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "OME");
  ASSERT_EQ(QApplication::focusWidget(), editor);
  rig.edit().run(EditMenu::SelectAll);
  EXPECT_EQ(editor->selectedText(), "HOME");
  rig.edit().run(EditMenu::Cut);
  EXPECT_EQ(editor->text(), "");
  rig.edit().run(EditMenu::Paste);
  EXPECT_EQ(editor->text(), "HOME");
}

}  // namespace
