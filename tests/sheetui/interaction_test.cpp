#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <functional>

#include "model/memorymap.h"
#include "sheet/ui/cuiFBitsR.h"
#include "sheet/ui/cuiFlector.h"
#include "sheetui_support.h"

// Keys, mouse, the in-place editor, lists and dialogs on the program's real sheets.

namespace {

constexpr const char* kMemory = "[St_ColCut]GI_Sheet_MemoryCH,0,0";
constexpr const char* kCommon = "[St_Common]GI_Sheet_Common,7";

uint8_t beep(Document& doc) {
  return doc.working().getByte(memmap::kMainSettings + memmap::settings::kBeep);
}

class SheetKeys : public SheetUiTest {};

TEST_F(SheetKeys, TypedFrequencyIsStoredAndTheChannelRowRepainted) {
  open(kMemory);
  select(CL_Mch_Freq, 5);
  const SheetPos freq = cellOf(CL_Mch_Freq, 5);
  QTest::keyClick(grid(), '1');
  QLineEdit* editor = sheet->openEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "1");
  grid()->takeInvalidated();
  QTest::keyClicks(editor, "45.5");
  QTest::keyClick(editor, Qt::Key_Return);

  EXPECT_EQ(sheet->openEditor(), nullptr);
  EXPECT_TRUE(grid()->hasFocus());
  EXPECT_EQ(channel(5).frequency, 145500000u);
  EXPECT_TRUE(doc.isModified());
  // Every linked cell of channel 5's row is repainted, and no cell of another channel.
  const QList<SheetPos> repainted = grid()->takeInvalidated();
  for (int c = 0; c < sheet->model().columnCount(); ++c) {
    const cmcCellObj& cell = sheet->model().cellAt(c, freq.row);
    if (cell.link != CL_None && c <= grid()->lastVisibleColumn() &&
        sheet->model().columnWidth(c) > 0) {
      EXPECT_TRUE(repainted.contains(SheetPos{c, freq.row})) << "column " << c;
    }
  }
  for (const SheetPos& p : repainted) {
    const cmcCellObj& cell = sheet->model().cellAt(p.column, p.row);
    if (cell.link != CL_None && p.row >= sheet->model().fixedRows()) {
      EXPECT_EQ(cell.index, 5) << "row " << p.row;
    }
  }
}

TEST_F(SheetKeys, EscapeLeavesTheValueAndAClickElsewhereCommits) {
  setChannel(5, 146000000);
  doc.markSaved();
  open(kMemory);
  select(CL_Mch_Freq, 5);
  QTest::keyClick(grid(), '1');
  QTest::keyClicks(sheet->openEditor(), "47");
  QTest::keyClick(sheet->openEditor(), Qt::Key_Escape);
  EXPECT_EQ(sheet->openEditor(), nullptr);
  EXPECT_EQ(channel(5).frequency, 146000000u);
  EXPECT_FALSE(doc.isModified());

  QTest::keyClick(grid(), '1');
  QTest::keyClicks(sheet->openEditor(), "47");
  QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, centreOf(cellOf(CL_Mch_Freq, 8)));
  EXPECT_EQ(sheet->openEditor(), nullptr);
  EXPECT_EQ(channel(5).frequency, 147000000u);
  EXPECT_EQ(sheet->currentCell(), cellOf(CL_Mch_Freq, 8));
}

TEST_F(SheetKeys, SpaceStepsAListCell) {
  open(kCommon);
  select(CL_Common_Beep, 0);
  const uint8_t before = beep(doc);
  QTest::keyClick(grid(), Qt::Key_Space);
  EXPECT_NE(beep(doc), before);
  QTest::keyClick(grid(), Qt::Key_Space);
  EXPECT_EQ(beep(doc), before);
}

TEST_F(SheetKeys, EdgesPagesAndCtrlArrows) {
  setChannel(0, 146000000);
  open(kMemory);
  QSignalSpy keys(sheet, &cuiSheet::keySent);
  select(CL_Mch_Freq, 0);
  // The last selectable cell of the row: Right sends the edge code and stays.
  SheetPos last = sheet->currentCell();
  for (int c = last.column + 1; c < sheet->model().columnCount(); ++c)
    if (sheet->model().isSelectable(c, last.row)) last.column = c;
  ASSERT_TRUE(sheet->selectPosition(last));
  QTest::keyClick(grid(), Qt::Key_Right);
  EXPECT_EQ(sheet->currentCell(), last);
  ASSERT_EQ(keys.count(), 1);
  EXPECT_EQ(keys.at(0).at(0).toInt(), int(kKeyRightAtRowEnd));
  // Left on the first selectable cell sends the other edge code.
  select(CL_Mch_Freq, 0);
  SheetPos first = sheet->currentCell();
  for (int c = first.column - 1; c >= 0; --c)
    if (sheet->model().isSelectable(c, first.row)) first.column = c;
  ASSERT_TRUE(sheet->selectPosition(first));
  keys.clear();
  QTest::keyClick(grid(), Qt::Key_Left);
  EXPECT_EQ(sheet->currentCell(), first);
  ASSERT_EQ(keys.count(), 1);
  EXPECT_EQ(keys.at(0).at(0).toInt(), int(kKeyLeftAtRowStart));

  select(CL_Mch_Freq, 3);
  QTest::keyClick(grid(), Qt::Key_Down);
  EXPECT_EQ(sheet->currentCell(), cellOf(CL_Mch_Freq, 4));
  QTest::keyClick(grid(), Qt::Key_PageDown);
  EXPECT_EQ(sheet->currentCell(), cellOf(CL_Mch_Freq, 14));
  QTest::keyClick(grid(), Qt::Key_PageUp);
  QTest::keyClick(grid(), Qt::Key_PageUp);
  EXPECT_EQ(sheet->currentCell(), cellOf(CL_Mch_Freq, 0));
  EXPECT_EQ(grid()->topRow(), sheet->model().fixedRows());

  // F5 goes to the handler as its code.
  keys.clear();
  QTest::keyClick(grid(), Qt::Key_F5);
  ASSERT_EQ(keys.count(), 1);
  EXPECT_EQ(keys.at(0).at(0).toInt(), functionKey(5));
}

TEST_F(SheetKeys, PageDownCountsOnlyRowsWithASelectableCellAndCtrlDownStays) {
  open(kCommon);
  const SheetModel& m = sheet->model();
  std::vector<int> rows;
  for (int r = 0; r < m.rowCount(); ++r) {
    bool any = false;
    for (int c = 0; c < m.columnCount(); ++c) any = any || m.isSelectable(c, r);
    if (any) rows.push_back(r);
  }
  ASSERT_GT(rows.size(), 11u);
  ASSERT_LT(rows.back() - rows.front(), int(m.rowCount()));
  ASSERT_EQ(sheet->currentCell().row, rows[0]);
  // The page has blank separator rows between groups: ten steps pass more than ten rows.
  ASSERT_GT(rows[10] - rows[0], 10);
  QTest::keyClick(grid(), Qt::Key_PageDown);
  EXPECT_EQ(sheet->currentCell().row, rows[10]);
  // Ctrl+Down belongs to the popup menus that carry rows; here it does nothing.
  const SheetPos before = sheet->currentCell();
  QTest::keyClick(grid(), Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(sheet->currentCell(), before);
}

TEST_F(SheetKeys, ShiftDownMarksLines) {
  open(kMemory);
  select(CL_Mch_Freq, 2);
  QTest::keyClick(grid(), Qt::Key_Down, Qt::ShiftModifier);
  QTest::keyClick(grid(), Qt::Key_Down, Qt::ShiftModifier);
  const SheetModel& m = sheet->model();
  for (int index : {1, 2, 3, 4, 5}) {
    const int row = cellOf(CL_Mch_Freq, index).row;
    const bool inside = index >= 2 && index <= 4;
    EXPECT_EQ(m.cellState(m.columnCount() - 1, row).lineMarked, inside) << index;
    EXPECT_FALSE(m.cellState(0, row).lineMarked) << "fixed column, " << index;
  }
  // A plain move drops the selection, and repaints the lines that lose it.
  grid()->takeInvalidated();
  QTest::keyClick(grid(), Qt::Key_Down);
  EXPECT_FALSE(m.cellState(m.columnCount() - 1, cellOf(CL_Mch_Freq, 2).row).lineMarked);
  const QList<SheetPos> repainted = grid()->takeInvalidated();
  for (int index : {2, 3}) {
    const SheetPos p = cellOf(CL_Mch_Freq, index);
    EXPECT_TRUE(repainted.contains(SheetPos{m.columnCount() - 1, p.row})) << index;
  }
}

TEST_F(SheetKeys, TheGridKeepsNoRecordOfRepaintsUntilAskedForOne) {
  open(kMemory);
  select(CL_Mch_Freq, 2);
  for (int i = 0; i < 5; ++i) QTest::keyClick(grid(), Qt::Key_Down);
  EXPECT_TRUE(grid()->takeInvalidated().isEmpty());
  QTest::keyClick(grid(), Qt::Key_Down);
  EXPECT_FALSE(grid()->takeInvalidated().isEmpty());
}

// Typed the way a person types: Shift goes down before each capital and up after it.
void typeLikeAPerson(QWidget* widget, const QString& text) {
  for (QChar ch : text) {
    QTest::keyClick(widget, ch.toLatin1(), ch.isUpper() ? Qt::ShiftModifier : Qt::NoModifier);
  }
}

TEST_F(SheetKeys, ShiftWhileTypingANameKeepsTheTextTyped) {
  struct Case {
    const char* typed;
    bool loneShift;  // Shift pressed and let go without a letter after the first character
    std::string stored;
  };
  for (const Case& c : {Case{"aBcD", false, "ABCD  "}, Case{"abc", true, "ABC   "},
                        Case{"Repeater-Long-Name", false, "REPEAT"}}) {
    SCOPED_TRACE(c.typed);
    setChannel(5, 145500000);
    open(kMemory);
    select(CL_Mch_Name, 5);
    const QString typed = QString::fromLatin1(c.typed);
    typeLikeAPerson(grid(), typed.left(1));
    QLineEdit* editor = sheet->openEditor();
    ASSERT_NE(editor, nullptr);
    if (c.loneShift) QTest::keyClick(editor, Qt::Key_Shift);
    typeLikeAPerson(editor, typed.mid(1));
    EXPECT_EQ(sheet->openEditor(), editor);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(sheet->openEditor(), nullptr);
    const ChannelView v = channel(5);
    EXPECT_EQ(std::string(v.name.begin(), v.name.end()), c.stored);
  }
}

TEST_F(SheetKeys, PopupMenuOfAChannelAndPasteAfterCopy) {
  setChannel(5, 145500000);
  open(kMemory);
  select(CL_Mch_Freq, 5);
  QStringList items;
  for (QAction* a : sheet->popupMenu()->actions()) items << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(items, QStringList({"Edit...", "-", "Copy", "Paste", "-", "Up", "Down", "-", "Clear",
                                "Delete", "Insert", "-", "Help"}));

  QTest::keyClick(grid(), Qt::Key_C, Qt::ControlModifier);
  select(CL_Mch_Freq, 9);
  QTest::keyClick(grid(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_TRUE(channel(9).inUse);
  EXPECT_EQ(channel(9).frequency, 145500000u);
  EXPECT_FALSE(channel(8).inUse);
}

// F1 asks for the current cell's topic (the window shows it); a marked cell explains its mark.
TEST_F(SheetKeys, F1AsksForTheCellsTopicAndMarksExplainThemselves) {
  setChannel(5, 145500000);
  setChannel(6, 300000000);  // outside the radio's whole range
  open(kMemory);
  select(CL_Mch_Freq, 5);
  int asked = -1;
  QObject::connect(sheet, &cuiSheet::helpRequested,
                   [&](int link, const QPoint&) { asked = link; });
  QTest::keyClick(grid(), Qt::Key_F1);
  EXPECT_EQ(asked, CL_Mch_Freq);
  EXPECT_EQ(sheet->markNoteAt(cellOf(CL_Mch_Freq, 5)), QString());
  EXPECT_TRUE(sheet->markNoteAt(cellOf(CL_Mch_Freq, 6)).contains("setting error"));
}

TEST_F(SheetKeys, MenuKeyAndShiftF10OpenTheCellsPopupMenuAtTheCell) {
  setChannel(5, 145500000);
  open(kMemory);
  const QStringList expected{"Edit...", "-",     "Copy",   "Paste",  "-", "Up",  "Down",
                             "-",       "Clear", "Delete", "Insert", "-", "Help"};
  struct Case {
    const char* name;
    std::function<void()> press;
  };
  const Case cases[] = {
      {"Menu key", [&] { QTest::keyClick(grid(), Qt::Key_Menu); }},
      {"Shift+F10", [&] { QTest::keyClick(grid(), Qt::Key_F10, Qt::ShiftModifier); }},
      {"keyboard context-menu event",
       [&] {
         QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(0, 0),
                                 grid()->mapToGlobal(QPoint(0, 0)));
         QApplication::sendEvent(grid(), &event);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    select(CL_Mch_Freq, 5);
    QMenu* menu = sheet->popupMenu();
    ASSERT_FALSE(menu->isVisible());
    c.press();
    ASSERT_TRUE(menu->isVisible());
    QStringList items;
    for (QAction* a : menu->actions()) items << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(items, expected);
    // Opened at the cell, not wherever the pointer happens to be.
    const SheetPos cell = cellOf(CL_Mch_Freq, 5);
    const QRect r = grid()->cellRect(cell.column, cell.row);
    const QPoint below = grid()->viewport()->mapToGlobal(r.bottomLeft());
    EXPECT_LE((menu->pos() - below).manhattanLength(), 4)
        << menu->pos().x() << "," << menu->pos().y();
    menu->close();
    QApplication::processEvents();
  }
}

class SheetLists : public SheetUiTest {};

TEST_F(SheetLists, EnterOpensTheListAndAClickChooses) {
  open(kCommon);
  select(CL_Common_Beep, 0);
  const uint8_t before = beep(doc);
  QTest::keyClick(grid(), Qt::Key_Return);
  auto* list = qobject_cast<cuiFlector*>(sheet->openPopupWindow());
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(list));
  cuiSheet* choices = list->sheet();
  // The current value is the current choice; the other choice is clicked.
  const SheetPos here = choices->currentCell();
  EXPECT_EQ(choices->model().cellAt(here.column, here.row).index, before);
  const SheetPos other = choices->model().findSelectableCell(Flex0, before == 0 ? 1 : 0);
  ASSERT_TRUE(other.valid());
  QWidget* viewport = choices->grid()->viewport();
  const QPoint at = choices->grid()->cellRect(other.column, other.row).center();
  QTest::mouseMove(viewport, at);
  QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
  QApplication::processEvents();
  EXPECT_EQ(beep(doc), before == 0 ? 1 : 0);
  EXPECT_EQ(sheet->openPopupWindow(), nullptr);
}

TEST_F(SheetLists, EscapeAndEvent22CloseWithoutAChoice) {
  open(kCommon);
  select(CL_Common_Beep, 0);
  const uint8_t before = beep(doc);
  QTest::keyClick(grid(), Qt::Key_Return);
  auto* list = qobject_cast<cuiFlector*>(sheet->openPopupWindow());
  ASSERT_NE(list, nullptr);
  QTest::keyClick(list->sheet()->grid(), Qt::Key_Down);  // wraps to the other choice
  QTest::keyClick(list->sheet()->grid(), Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_EQ(sheet->openPopupWindow(), nullptr);
  EXPECT_EQ(beep(doc), before);

  QTest::keyClick(grid(), Qt::Key_Return);
  ASSERT_NE(sheet->openPopupWindow(), nullptr);
  bus.send(ev::kCommitEditor);
  QApplication::processEvents();
  EXPECT_EQ(sheet->openPopupWindow(), nullptr);
  EXPECT_EQ(beep(doc), before);
}

TEST_F(SheetLists, AListBuiltForTheOccasion) {
  setChannel(12, 146000000);
  open(kCommon);
  select(CL_Common_EmergencyChannel, 0);
  QTest::keyClick(grid(), Qt::Key_Return);
  auto* list = qobject_cast<cuiFlector*>(sheet->openPopupWindow());
  ASSERT_NE(list, nullptr);
  // Its lines come from the catalogue: a title row and one choice per offered channel.
  const SheetModel& m = list->sheet()->model();
  int choices = 0;
  for (int r = 0; r < m.rowCount(); ++r)
    for (int c = 0; c < m.columnCount(); ++c) choices += m.cellAt(c, r).link == FlexVMCCh;
  EXPECT_GE(choices, 2);
  const SheetPos here = list->sheet()->currentCell();
  ASSERT_TRUE(here.valid());
  EXPECT_EQ(m.cellAt(here.column, here.row).link, FlexVMCCh);
  QTest::keyClick(list->sheet()->grid(), Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_EQ(sheet->openPopupWindow(), nullptr);
}

TEST(DropDownPlacement, StaysInsideTheWorkArea) {
  const QRect work(0, 0, 800, 600);
  struct Case {
    QRect cell;
    QSize size;
    QRect expected;
  };
  const Case cases[] = {
      // Below the cell, 8 pixels in.
      {{100, 100, 80, 20}, {60, 100}, {108, 120, 60, 100}},
      // Too low: above the cell.
      {{100, 550, 80, 20}, {60, 100}, {108, 450, 60, 100}},
      // Too low and too tall for above: at the bottom of the work area, beside the cell, so
      // when it also sticks out right it ends at the cell's left.
      {{700, 300, 80, 20}, {200, 400}, {500, 200, 200, 400}},
      // Too far right below the cell: against the right edge.
      {{750, 100, 40, 20}, {100, 50}, {700, 120, 100, 50}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(dropDownGeometry(c.cell, c.size, work), c.expected)
        << c.cell.x() << "," << c.cell.y();
  }
}

class FlagBits : public SheetUiTest {
 protected:
  uint8_t bank(int n) {
    return doc.working().getByte(memmap::kMainSettings + memmap::settings::kBankLinkFirst + n);
  }
  cuiFBitsR* openDialog() {
    select(CL_Common_BankLink_A_J, 0);
    QTest::keyClick(grid(), Qt::Key_Return);
    auto* dialog = qobject_cast<cuiFBitsR*>(sheet->openPopupWindow());
    EXPECT_NE(dialog, nullptr);
    return dialog;
  }
};

TEST_F(FlagBits, GeneratedTextLabelsAndChecks) {
  const QList<QByteArray> t = cuiFBitsR::generatedText(text, 1, 3);
  const int cells = int(t.indexOf("#GI_Sheet_FBitsR_Cells"));
  ASSERT_GE(cells, 0);
  EXPECT_EQ(t[cells + 2], "|{($iChI)}A||{($iChI)}B||{($iChI)}C|");
  EXPECT_EQ(t[cells + 4],
            "|{($eWh)^(%CL_FBits[1])}9|{($iQp)}|{($eWh)^(%CL_FBits[2])}9|{($iQp)}|{($eWh)^(%CL_"
            "FBits[3])}9|");
}

TEST_F(FlagBits, TogglingBankACommitsOnOkAndCancelLeavesTheValue) {
  for (int n = 0; n < 10; ++n)
    doc.working().setByte(memmap::kMainSettings + memmap::settings::kBankLinkFirst + n, 0);
  open(kCommon);
  cuiFBitsR* dialog = openDialog();
  ASSERT_NE(dialog, nullptr);
  cuiSheet* checks = dialog->sheet();
  ASSERT_TRUE(checks->selectCell(CT_None, CL_FBits, 1));
  QTest::keyClick(checks->grid(), Qt::Key_Space);
  EXPECT_EQ(dialog->value(), 1u << 25);
  QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(bank(0), 1);
  for (int n = 1; n < 10; ++n) EXPECT_EQ(bank(n), 0) << n;

  dialog = openDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->value(), 1u << 25);
  ASSERT_TRUE(dialog->sheet()->selectCell(CT_None, CL_FBits, 1));
  QTest::keyClick(dialog->sheet()->grid(), Qt::Key_Backspace);
  EXPECT_EQ(dialog->value(), 0u);
  QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
  QApplication::processEvents();
  // Cancel, then a click elsewhere: nothing is committed.
  QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, centreOf(sheet->currentCell()));
  QApplication::processEvents();
  EXPECT_EQ(bank(0), 1);
}

// Both popups close once, in each way a user or the program closes them: the flag-bits dialog
// commits where the list leaves the value, and neither stays open for the bus.
TEST_F(FlagBits, EveryWayOfClosingAPopup) {
  enum class Way { Escape, Event22, OwnerClosing, Hidden };
  struct Case {
    const char* name;
    bool flagBits;
    Way way;
    bool changes;
  };
  const Case cases[] = {
      {"bits: Escape", true, Way::Escape, false},
      {"bits: event 22", true, Way::Event22, true},
      {"bits: owner closing", true, Way::OwnerClosing, false},
      {"bits: losing the window", true, Way::Hidden, true},
      {"list: owner closing", false, Way::OwnerClosing, false},
      {"list: a click outside", false, Way::Hidden, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int n = 0; n < 10; ++n)
      doc.working().setByte(memmap::kMainSettings + memmap::settings::kBankLinkFirst + n, 0);
    open(kCommon);
    const uint8_t beepBefore = beep(doc);
    QWidget* popup = nullptr;
    if (c.flagBits) {
      cuiFBitsR* dialog = openDialog();
      ASSERT_NE(dialog, nullptr);
      ASSERT_TRUE(dialog->sheet()->selectCell(CT_None, CL_FBits, 1));
      QTest::keyClick(dialog->sheet()->grid(), Qt::Key_Space);
      popup = dialog;
    } else {
      select(CL_Common_Beep, 0);
      QTest::keyClick(grid(), Qt::Key_Return);
      auto* list = qobject_cast<cuiFlector*>(sheet->openPopupWindow());
      ASSERT_NE(list, nullptr);
      QTest::keyClick(list->sheet()->grid(), Qt::Key_Down);
      popup = list;
    }
    EXPECT_NE(bus.ask(ev::kAskPopupOpen, 0, sheet), nullptr);
    QPointer<QWidget> alive(popup);
    switch (c.way) {
      case Way::Escape:
        QTest::keyClick(static_cast<cuiFBitsR*>(popup)->okButton(), Qt::Key_Escape);
        break;
      case Way::Event22:
        bus.send(ev::kCommitEditor);
        break;
      case Way::OwnerClosing:
        bus.send(ev::kOwnerClosing, 0, sheet);
        break;
      case Way::Hidden:
        popup->hide();
        break;
    }
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull()) << "the popup is gone";
    EXPECT_EQ(sheet->openPopupWindow(), nullptr);
    EXPECT_EQ(bus.ask(ev::kAskPopupOpen, 0, sheet), nullptr);
    if (c.flagBits) {
      EXPECT_EQ(bank(0), c.changes ? 1 : 0);
    } else {
      EXPECT_EQ(beep(doc), beepBefore);
    }
  }
}

}  // namespace
