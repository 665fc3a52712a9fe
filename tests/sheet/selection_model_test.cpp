#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "sheet/core/SheetSelection.h"
#include "sheet_fixture.h"

inline void PrintTo(const SheetPos& p, std::ostream* os) {
  *os << '(' << p.column << ',' << p.row << ')';
}

namespace {

// The shared pages, and one whose selectable cells are scattered so that steps must leave their
// row or column:
//   S . .
//   . S .
//   S . S
//   . S .
//   S . S
const char* const kStepPage[] = {
    "#GI_Sheet_Step_Style",
    "(MultiSelect=Cell)",
    "#GI_Sheet_Step_BasicCell",
    "{($Basic)}",
    "#GI_Sheet_Step_Cells",
    "{S}a|b|c",
    "d|{S}e|f",
    "{S}g|h|{S}i",
    "j|{S}k|l",
    "{S}m|n|{S}o",
    "#",
};

class SelectionModelTest : public SheetTest {
 protected:
  SelectionModelTest() {
    for (const char* line : kSheetText)
      if (std::string(line) != "#End_Of_Ovl") lines.push_back(line);
    lines.insert(lines.end(), std::begin(kStepPage), std::end(kStepPage));
    lines.push_back("#End_Of_Ovl");
    text.reset();
    text.setSource(lines.data(), static_cast<int>(lines.size()));
  }

  // The memory page: frequencies in column 3, channel n on row n + 5; every row takes part in
  // multiple selection by lines.
  static constexpr int kFreq = 3;
  static SheetPos ch(int channel) { return {kFreq, channel + 5}; }

  static std::vector<SheetPos> marked(const SheetModel& sheet) {
    std::vector<SheetPos> cells;
    for (int r = 0; r < sheet.rowCount(); ++r)
      for (int c = 0; c < sheet.columnCount(); ++c)
        if (sheet.cellState(c, r).marked) cells.push_back({c, r});
    return cells;
  }
  static std::vector<int> lineMarkedRows(const SheetModel& sheet) {
    std::vector<int> rows;
    for (int r = 0; r < sheet.rowCount(); ++r)
      if (sheet.cellState(sheet.fixedCols(), r).lineMarked) rows.push_back(r);
    return rows;
  }
  static bool contains(const std::vector<SheetPos>& cells, SheetPos p) {
    return std::find(cells.begin(), cells.end(), p) != cells.end();
  }

  std::vector<const char*> lines;
};

// ---- moves and steps ------------------------------------------------------------------------

struct MoveCase {
  const char* name;
  const char* page;
  SheetPos from;
  SheetPos remembered;
  int dx;
  int dy;
  SheetPos to;
  bool dialog = false;
  bool wrap = false;
};

std::ostream& operator<<(std::ostream& os, const MoveCase& c) { return os << c.name; }

class MoveTest : public SelectionModelTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(MoveTest, EndsOnTheExpectedCell) {
  const MoveCase& c = GetParam();
  auto sheet = build(c.page);
  SheetSelectionModel selection(*sheet, {c.dialog, c.wrap});
  ASSERT_TRUE(selection.canSelect(c.from));
  selection.setCurrent(c.from, false);
  selection.remember(c.remembered);
  EXPECT_EQ(selection.moveTarget(c.dx, c.dy), c.to);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MoveTest,
    ::testing::Values(
        MoveCase{"down one row", "[St_ColCut]GI_Sheet_Mem,0,0", {3, 5}, {3, 5}, 0, 1, {3, 6}},
        MoveCase{"up at the first row stays", "[St_ColCut]GI_Sheet_Mem,0,0", {3, 5}, {3, 5}, 0, -1,
                 {3, 5}},
        MoveCase{"page down", "[St_ColCut]GI_Sheet_Mem,0,0", {3, 5}, {3, 5}, 0, 10, {3, 15}},
        MoveCase{"page down stops at the last row", "[St_ColCut]GI_Sheet_Mem,0,0", {3, 100},
                 {3, 100}, 0, 10, {3, 104}},
        MoveCase{"a horizontal move ignores the vertical part", "[St_ColCut]GI_Sheet_Mem,0,0",
                 {3, 5}, {3, 5}, -1, 1, {3, 5}},
        // Leaving the row: the next column with a selectable cell, the row nearest the
        // remembered one.
        MoveCase{"right into the next column", "GI_Sheet_Step", {0, 0}, {0, 0}, 1, 0, {1, 1}},
        MoveCase{"right along the row first", "GI_Sheet_Step", {0, 2}, {0, 2}, 1, 0, {2, 2}},
        MoveCase{"down along the column first", "GI_Sheet_Step", {1, 1}, {1, 1}, 0, 1, {1, 3}},
        MoveCase{"down nearest the remembered left column", "GI_Sheet_Step", {1, 3}, {0, 2}, 0, 1,
                 {0, 4}},
        MoveCase{"down nearest the remembered right column", "GI_Sheet_Step", {1, 3}, {2, 2}, 0,
                 1, {2, 4}},
        MoveCase{"up into the previous row", "GI_Sheet_Step", {2, 2}, {2, 2}, 0, -1, {1, 1}},
        MoveCase{"two steps, the second into another column", "GI_Sheet_Step", {2, 4}, {2, 4}, 0,
                 -2, {1, 1}},
        // Dialogs stay in their row or column; lists without scroll bars wrap around.
        MoveCase{"a dialog does not leave its column", "GI_Sheet_Step", {1, 3}, {1, 3}, 0, 1,
                 {1, 3}, true},
        MoveCase{"a list wraps at the end", "GI_Sheet_Sel", {0, 4}, {0, 4}, 0, 1, {0, 0}, true,
                 true},
        MoveCase{"a list wraps at the start", "GI_Sheet_Sel", {0, 0}, {0, 0}, 0, -1, {0, 4}, true,
                 true},
        MoveCase{"a list without wrapping stops", "GI_Sheet_Sel", {0, 4}, {0, 4}, 0, 1, {0, 4},
                 true}));

// ---- multiple selection ---------------------------------------------------------------------

TEST_F(SelectionModelTest, ShiftExtendsABoxFromTheAnchorAndAPlainMoveDropsIt) {
  auto mem = build("[St_ColCut]GI_Sheet_Mem,0,0");
  SheetSelectionModel selection(*mem);
  selection.setCurrent(ch(5), false);
  EXPECT_FALSE(selection.multiActive());
  EXPECT_EQ(marked(*mem), std::vector<SheetPos>{ch(5)});
  EXPECT_TRUE(lineMarkedRows(*mem).empty()) << "a lone cell shows the line tint, not line marks";

  std::vector<SheetPos> changed = selection.setCurrent(ch(7), true);
  EXPECT_TRUE(selection.multiActive());
  EXPECT_EQ(selection.anchor(), ch(5));
  EXPECT_EQ(marked(*mem), (std::vector<SheetPos>{ch(5), ch(6), ch(7)}));
  EXPECT_EQ(lineMarkedRows(*mem), (std::vector<int>{10, 11, 12}));
  EXPECT_TRUE(contains(changed, ch(6)) && contains(changed, ch(7)));
  EXPECT_EQ(selection.indexRange(ch(6)), std::make_pair(5, 7));
  // Another field of a marked row: its own index, as nothing of its link is marked.
  EXPECT_EQ(selection.indexRange({4, 10}), std::make_pair(5, 5));

  // Shrinking the box unmarks what it leaves, and says so.
  changed = selection.setCurrent(ch(6), true);
  EXPECT_EQ(marked(*mem), (std::vector<SheetPos>{ch(5), ch(6)}));
  EXPECT_TRUE(contains(changed, ch(7)));
  EXPECT_EQ(selection.markedCells(mem->rowCount(), mem->columnCount()).size(), 2u * 5u)
      << "the line-marked body columns of the two rows";
  EXPECT_TRUE(selection.markedCells(9, 100).empty()) << "nothing marked above the box";

  changed = selection.setCurrent(ch(40), false);
  EXPECT_FALSE(selection.multiActive());
  EXPECT_EQ(selection.anchor(), ch(40));
  EXPECT_EQ(marked(*mem), std::vector<SheetPos>{ch(40)});
  EXPECT_TRUE(lineMarkedRows(*mem).empty());
  EXPECT_TRUE(contains(changed, ch(5)) && contains(changed, ch(6)) && contains(changed, ch(40)));
}

TEST_F(SelectionModelTest, RowsOutsideMultipleSelectionAreNeitherMarkedNorReachable) {
  auto sel = build("GI_Sheet_Sel");  // rows 1 to 3 are between SelectOFF and SelectON
  SheetSelectionModel selection(*sel);
  selection.setCurrent({0, 0}, false);
  EXPECT_TRUE(selection.canSelect({0, 2}));
  selection.setCurrent({0, 4}, true);
  EXPECT_EQ(marked(*sel), (std::vector<SheetPos>{{0, 0}, {0, 4}}));
  EXPECT_FALSE(selection.canSelect({0, 2})) << "only rows that take part while several are marked";
  EXPECT_EQ(selection.allRowsSpan(), std::make_pair(SheetPos{0, 0}, SheetPos{0, 4}));

  selection.drop();
  EXPECT_TRUE(selection.canSelect({0, 2}));
  // Extending into a row that does not take part is a plain move.
  selection.setCurrent({0, 2}, true);
  EXPECT_FALSE(selection.multiActive());
  EXPECT_EQ(selection.anchor(), (SheetPos{0, 2}));
  EXPECT_FALSE(selection.canSelectAllRows());
}

TEST_F(SelectionModelTest, DropLeavesTheCurrentCellAloneAndReportsWhatItUnmarked) {
  auto mem = build("[St_ColCut]GI_Sheet_Mem,0,0");
  SheetSelectionModel selection(*mem);
  selection.setCurrent(ch(9), false);
  selection.setCurrent(ch(3), true);
  const std::vector<SheetPos> changed = selection.drop();
  EXPECT_FALSE(selection.multiActive());
  EXPECT_EQ(selection.anchor(), ch(3));
  EXPECT_EQ(marked(*mem), std::vector<SheetPos>{ch(3)});
  EXPECT_TRUE(lineMarkedRows(*mem).empty());
  for (int channel = 4; channel <= 9; ++channel) EXPECT_TRUE(contains(changed, ch(channel)));
}

TEST_F(SelectionModelTest, ACommandsRangeIsMarkedWithTheAnchorAtItsFarEnd) {
  auto mem = build("[St_ColCut]GI_Sheet_Mem,0,0");
  SheetSelectionModel selection(*mem);
  selection.setCurrent(ch(20), false);
  selection.setCurrent(ch(30), true);
  // Carried up: the cursor went to channel 10 and the block is channels 10 to 13.
  selection.setCurrent(ch(10), false);
  const std::vector<SheetPos> changed = selection.markIndexRange(13, 10);
  EXPECT_TRUE(selection.multiActive());
  EXPECT_EQ(marked(*mem), (std::vector<SheetPos>{ch(10), ch(11), ch(12), ch(13)}));
  EXPECT_EQ(selection.anchor(), ch(13));
  EXPECT_EQ(selection.indexRange(ch(10)), std::make_pair(10, 13));
  EXPECT_TRUE(contains(changed, ch(13)));
  // A range of one channel is no multiple selection.
  selection.markIndexRange(10, 10);
  EXPECT_FALSE(selection.multiActive());
  EXPECT_EQ(marked(*mem), std::vector<SheetPos>{ch(10)});
}

TEST_F(SelectionModelTest, SheetsWithoutMultipleSelectionAndDialogsMarkNothing) {
  struct Case {
    const char* page;
    bool dialog;
  };
  for (const Case& c : {Case{"GI_Sheet_Com", false}, Case{"[St_ColCut]GI_Sheet_Mem,0,0", true}}) {
    SCOPED_TRACE(c.page);
    auto sheet = build(c.page);
    SheetSelectionModel selection(*sheet, {c.dialog, false});
    const SheetPos first = sheet->firstSelectableCell();
    selection.setCurrent(first, false);
    const SheetPos next = selection.moveTarget(0, 1);
    ASSERT_NE(next, first);
    EXPECT_TRUE(selection.setCurrent(next, true).empty());
    EXPECT_EQ(selection.current(), next);
    EXPECT_FALSE(selection.multiActive());
    EXPECT_TRUE(marked(*sheet).empty());
    EXPECT_FALSE(selection.canSelectAllRows());
  }
}

TEST_F(SelectionModelTest, SelectAllSpansTheCurrentColumnsRows) {
  auto mem = build("[St_ColCut]GI_Sheet_Mem,0,0");
  SheetSelectionModel selection(*mem);
  EXPECT_FALSE(selection.allRowsSpan().first.valid()) << "no current cell yet";
  selection.setCurrent(ch(50), false);
  EXPECT_EQ(selection.allRowsSpan(), std::make_pair(ch(0), ch(99)));
}

}  // namespace
