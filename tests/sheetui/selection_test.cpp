#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QMenu>
#include <QWheelEvent>

#include "model/memorymap.h"
#include "sheet/ui/cuiFlector.h"
#include "sheetui_support.h"

// Blocks of rows under row edits, the wheel, and the in-place editor's own menu and input
// methods.

namespace {

constexpr const char* kMemory = "[St_ColCut]GI_Sheet_MemoryCH,0,0";
constexpr const char* kCommon = "[St_Common]GI_Sheet_Common,7";

class SheetSelection : public SheetUiTest {
 protected:
  // Channels 1..7 on 145.1 .. 145.7 MHz, the block 3..5 marked with the cursor on `cursor`.
  void markBlock(int cursor, int link = CL_Mch_Freq) {
    for (int i = 1; i <= 7; ++i) setChannel(i, 145000000 + 100000 * uint32_t(i));
    open(kMemory);
    select(link, cursor == 3 ? 5 : 3);
    const Qt::Key toward = cursor == 3 ? Qt::Key_Up : Qt::Key_Down;
    QTest::keyClick(grid(), toward, Qt::ShiftModifier);
    QTest::keyClick(grid(), toward, Qt::ShiftModifier);
    ASSERT_EQ(sheet->currentCell(), cellOf(link, cursor));
    ASSERT_EQ(markedChannels(), (std::vector<int>{3, 4, 5}));
  }
  // Channels whose rows show as selected.
  std::vector<int> markedChannels() {
    std::vector<int> out;
    const SheetModel& m = sheet->model();
    for (int i = 0; i < 20; ++i) {
      const int row = cellOf(CL_Mch_Freq, i).row;
      bool marked = false;
      for (int c = 0; c < m.columnCount(); ++c) marked = marked || m.cellState(c, row).marked;
      if (marked) out.push_back(i);
    }
    return out;
  }
  uint32_t freq(int index) {
    const ChannelView v = channel(index);
    return v.inUse ? v.frequency : 0;
  }
};

TEST_F(SheetSelection, CarryingABlockKeepsItSelectedForTheNextCarry) {
  markBlock(5);
  QTest::keyClick(grid(), Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(freq(2), 145300000u);
  EXPECT_EQ(freq(4), 145500000u);
  EXPECT_EQ(freq(5), 145200000u);
  EXPECT_EQ(sheet->currentCell(), cellOf(CL_Mch_Freq, 2));
  EXPECT_EQ(markedChannels(), (std::vector<int>{2, 3, 4}));
  // The block moves on as a whole.
  QTest::keyClick(grid(), Qt::Key_Down, Qt::ControlModifier);
  QTest::keyClick(grid(), Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(markedChannels(), (std::vector<int>{4, 5, 6}));
  for (int i : {4, 5, 6}) EXPECT_EQ(freq(i), 145000000u + 100000u * uint32_t(i - 1)) << i;
  EXPECT_EQ(sheet->currentCell(), cellOf(CL_Mch_Freq, 6));
}

TEST_F(SheetSelection, DeleteDropsTheSelectionEvenWhereTheCursorStays) {
  markBlock(3);  // Delete moves the cursor to the block's first row: where it is already
  prompter.push(PromptAnswer::Ok);
  QTest::keyClick(grid(), Qt::Key_Delete);
  EXPECT_EQ(freq(3), 145600000u);
  EXPECT_EQ(freq(4), 145700000u);
  EXPECT_EQ(markedChannels(), std::vector<int>{3});
  // The next Delete acts on the current channel alone.
  prompter.push(PromptAnswer::Ok);
  QTest::keyClick(grid(), Qt::Key_Delete);
  EXPECT_EQ(freq(3), 145700000u);
  EXPECT_EQ(freq(4), 0u);
}

TEST_F(SheetSelection, AListChoiceOnABlockRepaintsTheRowsItLeaves) {
  markBlock(3, CL_Mch_Mode);
  grid()->takeInvalidated();
  QTest::keyClick(grid(), Qt::Key_Return);
  ASSERT_NE(qobject_cast<cuiFlector*>(sheet->openPopupWindow()), nullptr);
  const QList<SheetPos> repainted = grid()->takeInvalidated();
  EXPECT_EQ(markedChannels(), std::vector<int>{3});
  for (int i : {4, 5}) {
    const SheetPos p = cellOf(CL_Mch_Mode, i);
    EXPECT_TRUE(repainted.contains(p)) << "channel " << i << " still painted as selected";
  }
}

TEST_F(SheetSelection, WheelTurnsShortOfANotchAddUp) {
  open(kMemory);
  const int top = grid()->topRow();
  auto turn = [&](int delta) {
    const QPoint at = grid()->viewport()->rect().center();
    QWheelEvent e(at, grid()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                  Qt::NoButton, Qt::NoModifier, Qt::ScrollUpdate, false);
    QApplication::sendEvent(grid()->viewport(), &e);
  };
  // One notch: three rows, the one-pixel row under the header not counted.
  int notch = top;
  for (int counted = 0; counted < 3; ++notch)
    if (sheet->model().rowHeight(notch) > 1) ++counted;
  for (int i = 0; i < 3; ++i) turn(-40);  // a touchpad: a third of a notch at a time
  EXPECT_EQ(grid()->topRow(), notch);
  turn(-60);
  turn(60);  // back the other way: half a notch each, nothing moves
  EXPECT_EQ(grid()->topRow(), notch);
  turn(60);  // a whole notch back
  EXPECT_LT(grid()->topRow(), notch);
}

TEST_F(SheetSelection, TheEditorsOwnMenuPastesIntoIt) {
  setChannel(5, 145500000);
  open(kMemory);
  select(CL_Mch_Name, 5);
  QTest::keyClick(grid(), 'A');
  QLineEdit* editor = sheet->openEditor();
  ASSERT_NE(editor, nullptr);
  QApplication::clipboard()->setText(QStringLiteral("BC"));
  QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(2, 2), editor->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(editor, &menuEvent);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  QTest::qWait(20);
  ASSERT_EQ(sheet->openEditor(), editor) << "the editor closed as its menu opened";
  QAction* paste = nullptr;
  for (QAction* a : menu->actions())
    if (a->text().remove('&').startsWith(QStringLiteral("Paste"))) paste = a;
  ASSERT_NE(paste, nullptr);
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(paste).center());
  QTest::qWait(20);
  ASSERT_EQ(sheet->openEditor(), editor);
  EXPECT_EQ(editor->text(), "ABC");
  QTest::keyClick(editor, Qt::Key_Return);
  const ChannelView v = channel(5);
  EXPECT_EQ(std::string(v.name.begin(), v.name.end()), "ABC   ");
}

TEST_F(SheetSelection, InputMethodTextIsTyped) {
  struct Case {
    const char* name;
    QString preedit;  // a composition first, committed later in the editor
    QString commit;
  };
  const Case cases[] = {
      {"a composition", QStringLiteral("ab"), QStringLiteral("ab")},
      {"a dead key", QString(), QStringLiteral("~")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    open(kCommon);
    select(CL_Common_CloneComment, 0);
    if (!c.preedit.isEmpty()) {
      QInputMethodEvent start(c.preedit, {});
      QApplication::sendEvent(grid(), &start);
      ASSERT_NE(sheet->openEditor(), nullptr);
      QInputMethodEvent done;
      done.setCommitString(c.commit);
      QApplication::sendEvent(sheet->openEditor(), &done);
    } else {
      QInputMethodEvent done;
      done.setCommitString(c.commit);
      QApplication::sendEvent(grid(), &done);
    }
    QLineEdit* editor = sheet->openEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), c.commit);
    QTest::keyClick(editor, Qt::Key_Return);
    const QByteArray stored(reinterpret_cast<const char*>(doc.working().data()) +
                                memmap::kCloneComment,
                            c.commit.size());
    EXPECT_EQ(stored, c.commit.toLatin1());
  }
}

// Printing reads the widths the user gave: a dragged width is kept when the drag ends, not only
// when the sheet closes.
TEST_F(SheetSelection, ADraggedColumnWidthIsKeptWhenTheDragEnds) {
  struct Store : SheetWidthStore {
    void loadWidths(SheetModel&) override {}
    void saveWidths(const SheetModel& sheet) override {
      saved.clear();
      for (int c = 0; c < sheet.columnCount(); ++c) saved.push_back(sheet.columnWidth(c));
    }
    void deleteAllWidths() override {}
    std::vector<int> saved;
  } store;
  ui.sheet.widths = &store;
  open(kMemory);
  const SheetPos freq = cellOf(CL_Mch_Freq, 0);
  const QRect header = grid()->cellRect(freq.column, 0);
  ASSERT_FALSE(header.isEmpty());
  const int before = sheet->model().columnWidth(freq.column);
  const QPoint edge(header.right() + 1, header.center().y());
  QTest::mousePress(grid()->viewport(), Qt::LeftButton, {}, edge);
  QTest::mouseMove(grid()->viewport(), edge + QPoint(30, 0));
  QTest::mouseRelease(grid()->viewport(), Qt::LeftButton, {}, edge + QPoint(30, 0));
  ASSERT_EQ(sheet->model().columnWidth(freq.column), before + 30);
  ASSERT_GT(store.saved.size(), size_t(freq.column));
  EXPECT_EQ(store.saved[size_t(freq.column)], before + 30);
  delete sheet;
  sheet = nullptr;
}

}  // namespace

namespace {

// Drop-down lists take keys as any list does: type-ahead, Home, End, Page Up and Page Down.
class DropDownKeys : public SheetSelection {
 protected:
  cuiFlector* openList(int link) {
    setChannel(2, 146520000);
    open(kMemory);
    select(link, 2);
    QTest::keyClick(grid(), Qt::Key_Return);
    return qobject_cast<cuiFlector*>(sheet->openPopupWindow());
  }
  static QString shown(cuiFlector* list) {
    return list->choiceText(int(list->choices().indexOf(list->sheet()->currentCell())));
  }
};

TEST_F(DropDownKeys, TypedDigitsGoToTheCodeThatStartsWithThem) {
  cuiFlector* list = openList(CL_Mch_DTCS);
  ASSERT_NE(list, nullptr);
  QWidget* keys = list->sheet()->grid();
  QTest::keyClicks(keys, "047");
  EXPECT_EQ(shown(list), "047");
  QTest::keyClick(keys, Qt::Key_End);
  EXPECT_EQ(shown(list), list->choiceText(int(list->choices().size()) - 1));
  QTest::keyClick(keys, Qt::Key_Home);
  EXPECT_EQ(shown(list), "023");
  QTest::keyClick(keys, Qt::Key_PageDown);
  const int page = int(list->choices().indexOf(list->sheet()->currentCell()));
  EXPECT_GT(page, 1);
  QTest::keyClick(keys, Qt::Key_PageUp);
  EXPECT_EQ(shown(list), "023");
  EXPECT_EQ(sheet->openPopupWindow(), list) << "the keys close nothing";
}

TEST_F(DropDownKeys, ALetterOrDigitAgainStepsToTheNextChoiceWithIt) {
  cuiFlector* list = openList(CL_Mch_TS_Pitch);
  ASSERT_NE(list, nullptr);
  // Choices 5k 6.25k 10k 12.5k 15k 20k 25k 30k 50k
  struct Step {
    int from;
    const char* typed;
    int to;
  };
  for (const Step& s : {Step{0, "1", 2}, Step{2, "1", 3}, Step{3, "11", 4}, Step{4, "25", 6},
                        Step{6, "x", -1}, Step{7, "5", 8}, Step{8, "5", 0}}) {
    EXPECT_EQ(list->typeAheadTarget(s.typed, s.from), s.to) << s.typed << " from " << s.from;
  }
  QTest::keyClick(list->sheet()->grid(), '1');
  EXPECT_EQ(shown(list), "10k");
  QTest::keyClick(list->sheet()->grid(), Qt::Key_Return);
  EXPECT_EQ(sheet->openPopupWindow(), nullptr);
  EXPECT_EQ(channel(2).step, 2);
}

}  // namespace
