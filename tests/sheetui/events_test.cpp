#include "base/events.h"

#include <QMenu>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QUndoStack>
#include <QWheelEvent>

#include "sheet/ui/DocumentUndo.h"
#include "sheet/ui/cuiFlector.h"
#include "sheetui_support.h"

// The grid and the rest of the program: jumps and replayed keys, undo steps, the bus events,
// the wheel and column auto-fit.

namespace {

constexpr const char* kMemory = "[St_ColCut]GI_Sheet_MemoryCH,0,0";
constexpr const char* kCommon = "[St_Common]GI_Sheet_Common,7";

class SheetRoads : public SheetUiTest {};

TEST_F(SheetRoads, AKeyOnAnEmptyChannelJumpsToItsFrequencyAndOpensTheEditor) {
  open(kMemory);
  select(CL_Mch_Name, 7);
  QTest::keyClick(grid(), '1');
  EXPECT_EQ(sheet->currentCell(), cellOf(CL_Mch_Freq, 7));
  // The key is replayed after a short pause that leaves the thread free.
  ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->openEditor() != nullptr; }));
  EXPECT_EQ(sheet->openEditor()->text(), "1");
}

TEST_F(SheetRoads, KeysTypedDuringThePauseBeforeAReplayKeepTheirOrder) {
  open(kMemory);
  select(CL_Mch_Name, 7);
  QTest::keyClicks(grid(), "14");
  ASSERT_NE(sheet->openEditor(), nullptr) << "the second key runs the replay first";
  EXPECT_EQ(sheet->openEditor()->text(), "14");
  EXPECT_EQ(sheet->currentCell(), cellOf(CL_Mch_Freq, 7));
}

TEST_F(SheetRoads, EveryKindOfChangeIsOneUndoStep) {
  DocumentUndo undo(doc);
  ui.undo = &undo;
  open(kMemory);
  const cmcEeprom start = doc.working();
  select(CL_Mch_Freq, 5);
  QTest::keyClick(grid(), '1');
  QTest::keyClicks(sheet->openEditor(), "45.5");
  QTest::keyClick(sheet->openEditor(), Qt::Key_Return);
  ASSERT_EQ(channel(5).frequency, 145500000u);
  const cmcEeprom typed = doc.working();
  // A row edit from the popup menu.
  QTest::keyClick(grid(), Qt::Key_C, Qt::ControlModifier);
  select(CL_Mch_Freq, 6);
  QTest::keyClick(grid(), Qt::Key_V, Qt::ControlModifier);
  ASSERT_TRUE(channel(6).inUse);
  EXPECT_EQ(undo.stack()->count(), 2);

  undo.undo();
  EXPECT_FALSE(doc.working().differs(typed));
  undo.undo();
  EXPECT_FALSE(doc.working().differs(start));
  EXPECT_FALSE(doc.isModified());
  undo.redo();
  EXPECT_EQ(channel(5).frequency, 145500000u);
}

TEST_F(SheetRoads, AListChoiceIsOneUndoStep) {
  DocumentUndo undo(doc);
  ui.undo = &undo;
  open(kCommon);
  select(CL_Common_Beep, 0);
  const cmcEeprom start = doc.working();
  QTest::keyClick(grid(), Qt::Key_Return);
  auto* list = qobject_cast<cuiFlector*>(sheet->openPopupWindow());
  ASSERT_NE(list, nullptr);
  QTest::keyClick(list->sheet()->grid(), Qt::Key_Down);
  QTest::keyClick(list->sheet()->grid(), Qt::Key_Return);
  QApplication::processEvents();
  ASSERT_TRUE(doc.working().differs(start));
  EXPECT_EQ(undo.stack()->count(), 1);
  undo.undo();
  EXPECT_FALSE(doc.working().differs(start));
}

TEST_F(SheetRoads, BusEvents) {
  setChannel(4, 146000000);
  open(kMemory);
  select(CL_Mch_Freq, 2);
  // 16 repaints the channel's row, 13 every linked cell.
  grid()->takeInvalidated();
  bus.send(ev::kRefreshRow, 4);
  QList<SheetPos> repainted = grid()->takeInvalidated();
  ASSERT_FALSE(repainted.isEmpty());
  for (const SheetPos& p : repainted) EXPECT_EQ(p.row, cellOf(CL_Mch_Freq, 4).row);
  bus.send(ev::kRefreshAllSheets);
  repainted = grid()->takeInvalidated();
  EXPECT_TRUE(repainted.contains(cellOf(CL_Mch_Freq, 0)));
  EXPECT_TRUE(repainted.contains(cellOf(CL_Mch_Freq, 9)));

  // 12 is answered with the current cell, for the main menu and for this sheet's popup menu.
  const cmcEvAns* answer = bus.ask(ev::kAskCurrentCell, 0);
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer->pointerAs<cmcCellObj>()->link, CL_Mch_Freq);
  EXPECT_EQ(answer->pointerAs<cmcCellObj>()->index, 2);
  EXPECT_NE(bus.ask(ev::kAskCurrentCell, sheet->popupMenu()), nullptr);
  QMenu other;
  EXPECT_EQ(bus.ask(ev::kAskCurrentCell, &other), nullptr);

  // 22 commits the open editor.
  QTest::keyClick(grid(), '1');
  QTest::keyClicks(sheet->openEditor(), "47");
  bus.send(ev::kCommitEditor);
  EXPECT_EQ(sheet->openEditor(), nullptr);
  EXPECT_EQ(channel(2).frequency, 147000000u);

  // A move tells the menus (9) and posts the new cell (19).
  int refreshes = 0;
  QList<QByteArray> posted;
  cmcEvHook hook(bus, [&](const cmcEvent& e) {
    refreshes += e.code == ev::kRefreshMenus;
    if (e.code == ev::kCurrentCellChanged) posted << e.data;
  });
  QTest::keyClick(grid(), Qt::Key_Down);
  EXPECT_EQ(refreshes, 1);
  QTest::qWait(50);
  ASSERT_FALSE(posted.isEmpty());  // earlier moves may still have been queued
  int32_t fields[3];
  ASSERT_EQ(posted.back().size(), int(sizeof fields));
  std::memcpy(fields, posted.back().constData(), sizeof fields);
  EXPECT_EQ(fields[1], CL_Mch_Freq);
  EXPECT_EQ(fields[2], 3);
}

TEST_F(SheetRoads, WheelScrollsThreeRowsAndLeavesTheCursor) {
  open(kMemory);
  const SheetPos current = sheet->currentCell();
  const int top = grid()->topRow();
  const QPoint at = grid()->viewport()->rect().center();
  QWheelEvent down(at, grid()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(grid()->viewport(), &down);
  // The blank row under the header (one pixel high) does not count.
  int expected = top;
  for (int counted = 0; counted < 3; ++expected)
    if (sheet->model().rowHeight(expected) > 1) ++counted;
  EXPECT_EQ(grid()->topRow(), expected);
  EXPECT_EQ(sheet->currentCell(), current);
}

TEST_F(SheetRoads, DoubleClickOnAHeaderEdgeFitsTheColumn) {
  setChannel(0, 146000000);
  open(kMemory);
  const SheetPos freq = cellOf(CL_Mch_Freq, 0);
  const int headerRow = sheet->model().fixedRows() - 2;  // the column titles
  SheetModel& m = sheet->model();
  const int fitted = m.autoFitColumnWidth(freq.column);
  m.setColumnWidth(freq.column, fitted + 40);
  grid()->updateGeometries();
  const QRect r = grid()->cellRect(freq.column, headerRow);
  ASSERT_FALSE(r.isEmpty());
  QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, QPoint(r.right() - 1, r.center().y()));
  EXPECT_EQ(m.columnWidth(freq.column), fitted);
}

TEST_F(SheetRoads, HoverInAListMakesTheChoiceCurrent) {
  open(kCommon);
  select(CL_Common_Beep, 0);
  QTest::keyClick(grid(), Qt::Key_Return);
  auto* list = qobject_cast<cuiFlector*>(sheet->openPopupWindow());
  ASSERT_NE(list, nullptr);
  cuiSheet* choices = list->sheet();
  const SheetPos current = choices->currentCell();
  const SheetPos other = choices->model().findSelectableCell(
      Flex0, choices->model().cellAt(current.column, current.row).index == 0 ? 1 : 0);
  QTest::mouseMove(choices->grid()->viewport(),
                   choices->grid()->cellRect(other.column, other.row).center());
  EXPECT_EQ(choices->currentCell(), other);
}

}  // namespace

namespace {

// A page with one wrap cell: the DTMF memory 3, narrower than its code.
const char* const kWrapText[] = {
    "",
    "#GI_Sheet_Wrap_Style",
    "",
    "#GI_Sheet_Wrap_BasicCell",
    "{($Basic)}",
    "#GI_Sheet_Wrap_Cells",
    "{S=WH(%CL_DTMF_Memory_Code[3])}00000\\n0",
    "#",
    "#CellModel_Basic",
    "<-(Color=clWindow)(Font=DEFAULT_CHARSET,,clWindowText,-17,,,)(PopupMenu=GI_PMenu_Edit)",
    "#End_Of_Ovl",
};

class ListModeEditor : public SheetUiTest {
 protected:
  ListModeEditor() {
    wrapText.setSource(kWrapText, int(std::size(kWrapText)));
    ui.sheet.text = &wrapText;
    ui.sheet.parser = &wrapParser;
  }
  cmcGTex wrapText;
  cmcCellParser wrapParser{wrapText};
};

TEST_F(ListModeEditor, WrapsAsTypedAndCommitsTheUnbrokenText) {
  open("GI_Sheet_Wrap,6");
  QTest::keyClick(grid(), '1');
  EXPECT_EQ(sheet->openEditor(), nullptr);
  QTextEdit* editor = sheet->openListEditor();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "2345678901");
  EXPECT_EQ(editor->toPlainText(), "12345678901");
  QApplication::processEvents();
  EXPECT_GT(editor->document()->firstBlock().layout()->lineCount(), 1);
  // Up moves between the wrapped lines; it neither commits nor leaves the cell.
  QTest::keyClick(editor, Qt::Key_Up);
  EXPECT_EQ(sheet->openListEditor(), editor);
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(sheet->openListEditor(), nullptr);

  cmcCellCapsule shown;
  sheet->model().fillRequest(shown, 0, 0);
  catalogue->dispatch(shown, false);
  EXPECT_EQ(shown.resultText, "12345678901");
}

}  // namespace

namespace {

class SheetPlaces : public SheetUiTest {};

TEST_F(SheetPlaces, RightClickSelectsAndShowsTheCellsMenu) {
  open(kMemory);
  const SheetPos target = cellOf(CL_Mch_Mode, 6);
  QTest::mouseClick(grid()->viewport(), Qt::RightButton, {}, centreOf(target));
  EXPECT_EQ(sheet->currentCell(), target);
  EXPECT_TRUE(sheet->popupMenu()->isVisible());
  sheet->popupMenu()->close();
}

TEST_F(SheetPlaces, APositionIsRestoredOnANewSheet) {
  open(kMemory);
  select(CL_Mch_Freq, 60);
  const SheetViewPosition before = sheet->position();
  EXPECT_GT(before.topRow, sheet->model().fixedRows());
  open(kCommon);
  open(kMemory);
  sheet->restorePosition(before);
  EXPECT_EQ(sheet->position().current, before.current);
  EXPECT_EQ(sheet->position().topRow, before.topRow);
}

}  // namespace
