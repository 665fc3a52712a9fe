#include <gtest/gtest.h>

#include <limits>

#include "base/cmcEvMan.h"
#include "gtex/cellmarkup.h"
#include "model/ChannelView.h"
#include "model/cmcCellCapsule.h"
#include "model/cmcEeprom.h"
#include "model/memorymap.h"
#include "sheet_fixture.h"

// ---- call strings ---------------------------------------------------------------------------

TEST(SheetCallTest, StatePicksTheClassAndArgumentsGiveTheNumbers) {
  struct Case {
    const char* call;
    SheetClass sheetClass;
    const char* name;
    const char* arguments;
    int first;
    int second;
  };
  const Case cases[] = {
      {"[St_ColCut]GI_Sheet_MemoryCH,1,100", SheetClass::Channel, "GI_Sheet_MemoryCH", "1,100", 1,
       100},
      {"[St_Common]GI_Sheet_Common,9", SheetClass::Common, "GI_Sheet_Common", "9", 9, 0},
      {"GI_Sheet_BankName,5", SheetClass::Plain, "GI_Sheet_BankName", "5", 5, 0},
      {"[St_CCBank]GI_Sheet_X,2", SheetClass::Plain, "GI_Sheet_X", "2", 2, 0},
      {"GI_Sheet_TopPage", SheetClass::Plain, "GI_Sheet_TopPage", "", -1, 0},
      {"GI_Sheet_X,, 7", SheetClass::Plain, "GI_Sheet_X", ", 7", -1, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    const SheetCall call = SheetCall::parse(c.call);
    EXPECT_EQ(call.callString, c.call);
    EXPECT_EQ(call.sheetClass(), c.sheetClass);
    EXPECT_EQ(call.name, c.name);
    EXPECT_EQ(call.arguments, c.arguments);
    EXPECT_EQ(call.argumentNumber(0, -1), c.first);
    EXPECT_EQ(call.argumentNumber(1, 0), c.second);
  }
  EXPECT_STREQ(sheetClassName(SheetClass::Channel), "iuiSh_ColCut_A");
  EXPECT_STREQ(sheetClassName(SheetClass::Common), "iuiSh_Common");
  EXPECT_STREQ(sheetClassName(SheetClass::ColCut), "iuiSh_ColCut");
  EXPECT_STREQ(sheetClassName(SheetClass::Plain), "cuiSheet");
}

TEST_F(SheetTest, EachClassReadsItsOwnArguments) {
  // The common page takes the whole argument text; only the channel page has an index offset.
  auto common = SheetModel::create("[St_Common]GI_Sheet_Com,9,100", services());
  EXPECT_EQ(common->sheetNumber(), 9);
  EXPECT_EQ(common->indexOffset(), 0);
  auto channel = SheetModel::create("[St_ColCut]GI_Sheet_Mem,1,100", services());
  EXPECT_EQ(channel->sheetNumber(), 1);
  EXPECT_EQ(channel->indexOffset(), 100);
  auto plain = SheetModel::create("GI_Sheet_Mem,1,100", services());
  EXPECT_EQ(plain->sheetNumber(), 1);
  EXPECT_EQ(plain->indexOffset(), 0);
  auto cut = SheetModel::create(SheetClass::ColCut, "GI_Sheet_Mem,1,100", services());
  EXPECT_EQ(cut->indexOffset(), 0);
  EXPECT_STREQ(cut->className(), "iuiSh_ColCut");
}

// ---- style ----------------------------------------------------------------------------------

TEST_F(SheetTest, StyleKeys) {
  auto mem = build("[St_ColCut]GI_Sheet_Mem,0,0");
  const SheetStyle& s = mem->style();
  EXPECT_EQ(s.titleString, QByteArray(" Memory CH"));
  EXPECT_TRUE(mem->hasTitleBar());
  EXPECT_EQ(s.titleColour, 0x800000u);  // clNavy
  ASSERT_TRUE(s.titleFont);
  EXPECT_EQ(s.titleFont->colour, 0x00FFFFu);
  EXPECT_EQ(s.titleFont->height, 16);
  EXPECT_EQ(s.titleFont->style, kFontBold);
  EXPECT_EQ(mem->fixedCols(), 3);
  EXPECT_EQ(mem->fixedRows(), 5);
  EXPECT_EQ(s.multiSelect, MultiSelectMode::Line);
  EXPECT_TRUE(s.colSizing);
  EXPECT_TRUE(s.colorSelectLine);
  EXPECT_FALSE(s.noPrint);
  EXPECT_FALSE(s.colCutMenu);

  // Text outside groups is ignored; an unknown colour keeps the default; NoPrint is exact.
  auto keys = build("GI_Sheet_Keys");
  EXPECT_TRUE(keys->style().noPrint);
  EXPECT_TRUE(keys->style().colCutMenu);
  EXPECT_EQ(keys->style().multiSelect, MultiSelectMode::Line);
  EXPECT_EQ(keys->style().titleColour, SheetStyle::kDefaultTitleColour);
  EXPECT_FALSE(keys->hasTitleBar());
  EXPECT_FALSE(keys->isPrintable());
  EXPECT_FALSE(keys->isPrintableForPrintAll());
  auto size = build("GI_Sheet_Size");
  EXPECT_FALSE(size->style().noPrint);
  EXPECT_TRUE(size->isPrintable());
  EXPECT_EQ(size->style().printFontRatio, 50);
}

TEST_F(SheetTest, FixedColumnsAndRowsAreClampedToTheGrid) {
  auto size = build("GI_Sheet_Size");  // FixedCols=10, FixedRows=-2 on 5 columns and 3 rows
  EXPECT_EQ(size->columnCount(), 5);
  EXPECT_EQ(size->fixedCols(), 4);
  EXPECT_EQ(size->fixedRows(), 0);
  auto call = build("[St_ColCut]GI_Sheet_Call,3");  // FixedRows=5 on 6 rows stays 5
  EXPECT_EQ(call->fixedRows(), 5);
  auto keys = build("GI_Sheet_Keys");
  EXPECT_EQ(keys->fixedCols(), 0);
}

// ---- basic cell and font scale ----------------------------------------------------------------

TEST_F(SheetTest, BasicCellCarriesTheFontScaleToEveryCell) {
  struct Case {
    const char* what;
    SheetBuildOptions options;
    int height;
  };
  SheetBuildOptions scaled150;
  scaled150.fontScalePercent = 150;
  SheetBuildOptions imposed;
  imposed.fontHeight = -40;
  SheetBuildOptions printer;
  printer.printing = true;
  SheetBuildOptions printerImposed = printer;
  printerImposed.fontHeight = -40;
  const Case cases[] = {
      {"screen at 100 %", {}, -17},
      {"screen at 150 %", scaled150, -25},
      {"imposed height on screen ignores PrintFontRatio", imposed, -40},
      {"printer applies PrintFontRatio 50 %", printer, -8},
      {"printer with an imposed height, then the ratio", printerImposed, -20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto sheet = build("GI_Sheet_Size", c.options);
    ASSERT_NE(sheet->basicCell().font, nullptr);
    EXPECT_EQ(sheet->basicCell().font->height, c.height);
    // A cell without a font of its own draws with the basic cell's.
    EXPECT_EQ(sheet->fontOf(sheet->cellAt(0, 0)).height, c.height);
  }
  // A model that sets only the font colour keeps the scaled height.
  SheetBuildOptions big;
  big.fontScalePercent = 200;
  auto mem = build("[St_ColCut]GI_Sheet_Mem,0,0", big);
  EXPECT_EQ(mem->fontOf(mem->cellAt(1, 5)).height, -34);
  EXPECT_EQ(mem->fontOf(mem->cellAt(1, 5)).colour, 0xFFFFFFu);
  EXPECT_EQ(mem->basicCell().category, CT_Conv);
}

// ---- counting and filling ---------------------------------------------------------------------

TEST_F(SheetTest, MemoryPageHas105RowsWithAOneLineLoopOf100) {
  auto mem = build("[St_ColCut]GI_Sheet_Mem,0,0");
  EXPECT_EQ(mem->rowCount(), 105);
  EXPECT_EQ(mem->columnCount(), 8);
  EXPECT_EQ(mem->fixedRows(), 5);
  for (int r = 5; r < 105; ++r) {
    EXPECT_EQ(mem->rowAttr(r).line, 6);
    EXPECT_EQ(mem->cellAt(3, r).link, CL_Mch_Freq);
    EXPECT_EQ(mem->cellAt(3, r).index, r - 5);
    EXPECT_EQ(mem->cellAt(1, r).link, CL_Misc_ChNo_0Base);
    EXPECT_EQ(mem->cellAt(1, r).index, r - 5);
    EXPECT_EQ(mem->rowHeight(r), mem->rowHeight(5));
  }
  // Copies are whole cells: attributes and texts come along.
  EXPECT_TRUE(mem->cellAt(3, 104).selectable());
  EXPECT_EQ(mem->cellAt(3, 104).text, QByteArray("999.999999"));
  EXPECT_TRUE(mem->cellAt(3, 104).bottomRule());
  EXPECT_EQ(mem->cellAt(3, 104).category, CT_Conv);
  EXPECT_EQ(mem->minSelectableColumn(), 3);
  EXPECT_EQ(mem->minSelectableRow(), 5);
  // MultiSelect=Line: every row takes part.
  EXPECT_TRUE(mem->cellState(0, 0).inMultiSelectRow);
  EXPECT_TRUE(mem->cellState(7, 104).inMultiSelectRow);
}

TEST_F(SheetTest, IndexOffsetMovesEveryIndex) {
  auto mem = build("[St_ColCut]GI_Sheet_Mem,1,100");
  for (int r = 5; r < 105; ++r) {
    EXPECT_EQ(mem->cellAt(3, r).index, 95 + r);
    EXPECT_EQ(mem->cellAt(1, r).index, 95 + r);  // the channel label shows 100..199
    EXPECT_EQ(mem->cellAt(7, r).index, 95 + r);
  }
  EXPECT_EQ(mem->basicCell().index, 100);
  EXPECT_EQ(mem->titleText(), QByteArray(" Memory CH"));
}

TEST_F(SheetTest, CallPageWithoutLoopHasSixRowsAndThinSeparators) {
  auto call = build("[St_ColCut]GI_Sheet_Call,3");
  ASSERT_EQ(call->rowCount(), 6);
  EXPECT_EQ(call->columnCount(), 5);
  // Empty lines are rows one pixel high; empty cells leave their column one pixel wide.
  EXPECT_EQ(call->rowHeight(0), 1);
  EXPECT_EQ(call->rowHeight(2), 1);
  EXPECT_EQ(call->rowHeight(4), 1);
  EXPECT_EQ(call->columnWidth(0), 1);
  EXPECT_EQ(call->columnWidth(2), 1);
  EXPECT_GT(call->columnWidth(3), 1);
  EXPECT_EQ(call->cellAt(3, 5).index, 206);
  EXPECT_EQ(call->cellAt(1, 5).text, QByteArray("C"));
  EXPECT_EQ(call->titleText(), QByteArray(" CALL CH"));
  // Cells past a short row's last '|' are fresh: no link, not selectable, window colour.
  EXPECT_EQ(call->cellAt(4, 5).link, CL_None);
  EXPECT_FALSE(call->cellAt(4, 5).selectable());
  EXPECT_EQ(call->cellAt(4, 5).colour, kClWindow);
  EXPECT_EQ(call->cellAt(4, 5).base, nullptr);
  // A row starting with '|' has an empty cell 0 with the basic cell's attributes.
  EXPECT_EQ(call->cellAt(0, 5).base, &call->basicCell());
  EXPECT_FALSE(call->cellAt(0, 5).text.has_value());
}

TEST_F(SheetTest, MultiLineLoopBodyIsReparsedInOrder) {
  auto loop = build("GI_Sheet_Loop2");
  ASSERT_EQ(loop->rowCount(), 8);
  EXPECT_EQ(rowLines(*loop), (std::vector<int>{0, 2, 3, 2, 3, 2, 3, 5}));
  QByteArray order;
  for (int r = 0; r < 8; ++r) order += loop->cellAt(0, r).text.value_or("?");
  EXPECT_EQ(order, "headabababtail");
  // Each repetition is parsed again, so (@ch0++) in the body moves the index on.
  const int expected[8][2] = {{CL_None, 0},     {CL_Mch_Freq, 0}, {CL_Mch_Dup, 1},
                              {CL_Mch_Freq, 1}, {CL_Mch_Dup, 2},  {CL_Mch_Freq, 2},
                              {CL_Mch_Dup, 3},  {CL_None, 0}};
  for (int r = 0; r < 8; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(loop->cellAt(0, r).link, expected[r][0]);
    EXPECT_EQ(loop->cellAt(0, r).index, expected[r][1]);
  }
  // A rebuild starts from zeroed variables again.
  loop->build();
  EXPECT_EQ(loop->cellAt(0, 6).index, 3);
}

class LoopCountTest : public SheetTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(LoopCountTest, LoopFromCountsTheAppearancesAndLessThanOneMeansOnce) {
  const auto [n, rows] = GetParam();
  const QByteArray directive = ":(LoopFrom " + QByteArray::number(n) + ")";
  const char* lines[] = {"",
                         "#GI_Sheet_L_Style",
                         "",
                         "#GI_Sheet_L_BasicCell",
                         "",
                         "#GI_Sheet_L_Cells",
                         directive.constData(),
                         "{S(%CL_Mch_Freq[5])}x",
                         ":(LoopTo)",
                         "#",
                         "#End_Of_Ovl"};
  cmcGTex own;
  own.setSource(lines, static_cast<int>(std::size(lines)));
  SheetServices s = services();
  s.text = &own;
  auto sheet = SheetModel::create("GI_Sheet_L", s);
  sheet->build();
  ASSERT_EQ(sheet->rowCount(), rows);
  EXPECT_EQ(sheet->cellAt(0, rows - 1).index, 5 + rows - 1);
}

INSTANTIATE_TEST_SUITE_P(Counts, LoopCountTest,
                         ::testing::Values(std::pair{0, 1}, std::pair{-3, 1}, std::pair{1, 1},
                                           std::pair{4, 4}));

TEST_F(SheetTest, SelectOnAndOffMarkRowsForMultipleSelection) {
  auto sel = build("GI_Sheet_Sel");
  ASSERT_EQ(sel->rowCount(), 5);  // a, b, c, c, d
  const bool expected[] = {true, false, false, false, true};
  for (int r = 0; r < 5; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(sel->rowAttr(r).multiSelect, expected[r]);
    EXPECT_EQ(sel->cellState(0, r).inMultiSelectRow, expected[r]);
  }
  // Without MultiSelect no cell is in a multiple-selection row.
  auto loop = build("GI_Sheet_Loop2");
  EXPECT_FALSE(loop->cellState(0, 1).inMultiSelectRow);
}

// ---- conditional lines -----------------------------------------------------------------------

struct ConditionCase {
  const char* call;
  bool usa;
  bool marine;
  std::vector<int> lines;
};

class ConditionTest : public SheetTest, public ::testing::WithParamInterface<ConditionCase> {};

TEST_P(ConditionTest, OnlyDirectivesSkipLinesUnlessTheirConditionHolds) {
  const ConditionCase& c = GetParam();
  env.usa = c.usa;
  env.marine = c.marine;
  auto sheet = build(c.call);
  EXPECT_EQ(rowLines(*sheet), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    CommonPage, ConditionTest,
    ::testing::Values(
        // Not USA: Only_USA 8 hides lines 4..11 (blank lines and the Only_Current directive
        // among them, which is not examined).
        ConditionCase{"[St_Common]GI_Sheet_Com,7", false, false, {0, 1, 2, 12, 13, 18}},
        ConditionCase{"[St_Common]GI_Sheet_Com,7", true, false,
                      {0, 1, 2, 4, 5, 6, 7, 8, 10, 11, 12, 13, 18}},
        // A function memory's page: no WX CH, no comment.
        ConditionCase{"[St_Common]GI_Sheet_Com,9", true, false, {0, 1, 2, 4, 5, 6, 7, 8, 12, 13}},
        ConditionCase{"[St_Common]GI_Sheet_Com,7", false, true, {0, 1, 2, 12, 13, 15, 16, 18}},
        // Only the common-settings class knows these directives.
        ConditionCase{"GI_Sheet_Com,9",
                      false,
                      false,
                      {0, 1, 2, 4, 5, 6, 7, 8, 10, 11, 12, 13, 15, 16, 18}}));

TEST_F(SheetTest, SkippedRowsLeaveNoCells) {
  auto sheet = build("[St_Common]GI_Sheet_Com,7");
  for (int r = 0; r < sheet->rowCount(); ++r)
    for (int c = 0; c < sheet->columnCount(); ++c) {
      EXPECT_NE(sheet->cellAt(c, r).link, CL_Common_WXAlert);
      EXPECT_NE(sheet->cellAt(c, r).link, CL_Common_WXCH);
    }
  EXPECT_EQ(sheet->cellAt(3, 5).link, CL_Common_CloneComment);
}

// ---- sizes -----------------------------------------------------------------------------------

TEST_F(SheetTest, AutoSizeCellsWidenColumnsAndRaiseRows) {
  StubMeasure stub;
  measure = &stub;
  auto size = build("GI_Sheet_Size");
  // Row 0: "abc" auto-width; "x\ny" auto-height (two lines); a plain cell; an empty WH cell.
  EXPECT_EQ(size->columnWidth(0), 4 * 10 + 8);  // widened again by row 2's four blanks
  EXPECT_EQ(size->columnWidth(1), 1);
  EXPECT_EQ(size->columnWidth(2), 1);
  EXPECT_EQ(size->columnWidth(3), 0 + 8);
  EXPECT_EQ(size->columnWidth(4), 1);
  EXPECT_EQ(size->rowHeight(0), 2 * 20 + 2);
  EXPECT_EQ(size->rowHeight(1), 1);
  EXPECT_EQ(size->rowHeight(2), 20 + 2);
  EXPECT_EQ(size->totalWidth(), 48 + 1 + 1 + 8 + 1);
  EXPECT_EQ(size->totalHeight(), 42 + 1 + 22);

  // For a printer the margins and the minimum size scale with the printer's resolution.
  SheetBuildOptions printer;
  printer.printing = true;
  printer.printScale = 2.5;
  size->build(printer);
  EXPECT_EQ(size->columnWidth(0), 40 + 20);
  EXPECT_EQ(size->columnWidth(1), 2);
  EXPECT_EQ(size->rowHeight(0), 40 + 5);
  EXPECT_EQ(size->rowHeight(1), 2);
  EXPECT_DOUBLE_EQ(size->scale(), 2.5);
}

TEST(FixedPitchMeasureTest, EstimatesFromTheFontHeight) {
  const FixedPitchMeasure m;
  CellFont font;
  font.height = -17;  // 17-pixel characters: 9 pixels a half-width character, 20 a line
  EXPECT_EQ(m.measure("999.999999", font), (TextExtent{90, 20}));
  EXPECT_EQ(m.measure("a\nbbb", font), (TextExtent{27, 40}));
  EXPECT_EQ(m.measure("", font), (TextExtent{0, 20}));
  EXPECT_EQ(m.measure("\x82\xa0x", font), (TextExtent{27, 20}));  // a double-byte character
  EXPECT_EQ(m.measure("a\t\t", font), (TextExtent{27, 20}));      // tabs count as characters
  font.height = 24;  // a cell height: the line is that high, the characters five sixths of it
  EXPECT_EQ(m.measure("ab", font), (TextExtent{20, 24}));
  // Any height the mark-up may hold measures without overflow, with room for paddings.
  constexpr int kMax = std::numeric_limits<int>::max();
  for (const int height : {kMax, std::numeric_limits<int>::min(), -kMax, kMax / 5}) {
    font.height = height;
    const TextExtent e = m.measure("abcdef\nghi\nj", font);
    EXPECT_GT(e.width, 0) << height;
    EXPECT_GT(e.height, 0) << height;
    EXPECT_LT(e.width, kMax / 2) << height;
    EXPECT_LT(e.height, kMax / 2) << height;
  }
}

// ---- column cut ------------------------------------------------------------------------------

TEST_F(SheetTest, ChannelPageCutsDebugColumnsAndMarineWithoutMarine) {
  auto mem = build("[St_ColCut]GI_Sheet_Mem,0,0");
  // The debug reference (6) and, without marine channels, marine use (4) are hidden; the thin
  // separator (5) left of the debug column goes with it.
  EXPECT_EQ(mem->columnWidth(4), 0);
  EXPECT_EQ(mem->columnWidth(5), 0);
  EXPECT_EQ(mem->columnWidth(6), 0);
  EXPECT_GT(mem->columnWidth(3), 1);
  EXPECT_GT(mem->columnWidth(7), 1);
  for (int r = 0; r < mem->rowCount(); ++r) {
    EXPECT_FALSE(mem->cellAt(4, r).selectable());
    EXPECT_FALSE(mem->cellAt(6, r).selectable());
  }
  // The frequency column takes over the full-height rule that closed the marine column, in
  // every row; the cut column no longer joins the group header.
  EXPECT_EQ(mem->cellAt(3, 3).rightRule(), kRuleFull);
  EXPECT_EQ(mem->cellAt(3, 50).rightRule(), kRuleFull);
  EXPECT_FALSE(mem->cellAt(4, 1).join());
  EXPECT_EQ(mem->keptColumns(), (std::vector<int>{3, 7}));

  env.marine = true;
  auto marine = build("[St_ColCut]GI_Sheet_Mem,0,0");
  EXPECT_GT(marine->columnWidth(4), 1);
  EXPECT_TRUE(marine->cellAt(4, 50).selectable());
  EXPECT_EQ(marine->cellAt(3, 50).rightRule(), kRuleShort);
  EXPECT_TRUE(marine->cellAt(4, 1).join());
  EXPECT_EQ(marine->columnWidth(6), 0);

  // The plain class and the column-cut base class hide nothing.
  EXPECT_GT(build("GI_Sheet_Mem,0,0")->columnWidth(6), 1);
  auto base = SheetModel::create(SheetClass::ColCut, "GI_Sheet_Mem,0,0", services());
  base->build();
  EXPECT_GT(base->columnWidth(4), 1);
  EXPECT_GT(base->columnWidth(6), 1);
}

// ---- titles, printable tests, events ----------------------------------------------------------

TEST_F(SheetTest, TitlesBySheetNumber) {
  struct Case {
    const char* call;
    const char* title;
  };
  const Case cases[] = {
      {"[St_Common]GI_Sheet_Com,7", " Common Setting"},
      {"[St_Common]GI_Sheet_Com,9", " Func+[F-1] Common Setting"},
      {"[St_Common]GI_Sheet_Com,11", " Func+[F-2] Common Setting"},
      {"[St_Common]GI_Sheet_Com,10", " Common Setting"},
      {"[St_ColCut]GI_Sheet_Mem,2", " Program Scan Edge"},
      {"[St_ColCut]GI_Sheet_Mem,8,0", " Func+[F-1] Frequency"},
      {"[St_ColCut]GI_Sheet_Mem,6", " Memory CH"},   // empty line: the style's title
      {"[St_ColCut]GI_Sheet_Mem,40", " Memory CH"},  // past the table
      {"[St_ColCut]GI_Sheet_Mem", " Memory CH"},     // no sheet number
      {"GI_Sheet_Mem,3", " Memory CH"},              // the plain class uses the style's title
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    EXPECT_EQ(build(c.call)->titleText(), QByteArray(c.title));
  }
}

TEST_F(SheetTest, ChannelPagesArePrintableOnlyWithAChannelInUse) {
  struct Case {
    const char* call;
    std::set<int> inUse;
    bool printable;
  };
  const Case cases[] = {
      {"[St_ColCut]GI_Sheet_Mem,0,0", {}, false},
      {"[St_ColCut]GI_Sheet_Mem,0,0", {99}, true},
      {"[St_ColCut]GI_Sheet_Mem,1,100", {99}, false},
      {"[St_ColCut]GI_Sheet_Mem,1,100", {100}, true},
      {"[St_ColCut]GI_Sheet_Mem,2", {206}, false},
      {"[St_ColCut]GI_Sheet_Mem,2", {205}, true},
      {"[St_ColCut]GI_Sheet_Call,3", {206}, true},
      {"[St_ColCut]GI_Sheet_Call,3", {}, false},
      {"[St_ColCut]GI_Sheet_Mem,4", {}, true},
      {"GI_Sheet_Mem,0,0", {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    env.inUse = c.inUse;
    auto sheet = build(c.call);
    EXPECT_EQ(sheet->isPrintable(), c.printable);
    EXPECT_EQ(sheet->isPrintableForPrintAll(), c.printable);
  }
}

TEST_F(SheetTest, DocumentEnvironmentAsksTheChannelView) {
  cmcEeprom image(memmap::kImageSize);
  for (int i = 0; i <= 205; ++i) image.setByte(memmap::flagByteAddress(i), memmap::kFlagCleared);
  DestinationOptions destination;
  destination.destination = 1;
  DocumentSheetEnvironment document(destination, &image);
  EXPECT_TRUE(document.isUSA());
  EXPECT_FALSE(document.marineAvailable());
  EXPECT_FALSE(document.channelInUse(42));
  EXPECT_TRUE(document.channelInUse(206));  // the call channel is always in use

  SheetServices s = services();
  s.environment = &document;
  auto mem = SheetModel::create("[St_ColCut]GI_Sheet_Mem,0,0", s);
  mem->build();
  EXPECT_FALSE(mem->isPrintable());
  image.setByte(memmap::flagByteAddress(42), 0x00);
  EXPECT_TRUE(mem->isPrintable());
}

TEST_F(SheetTest, AskedEventsAreAnsweredByCommonAndChannelSheets) {
  cmcEvMan events;
  bus = &events;
  {
    auto common = build("[St_Common]GI_Sheet_Com,9");
    const cmcEvAns* title = events.ask(ev::kAskSheetTitle);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->bytes(), QByteArray(" Func+[F-1] Common Setting"));
    const cmcEvAns* number = events.ask(ev::kAskSheetNumber);
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->value(), 9);
    EXPECT_EQ(events.ask(ev::kAskColCutSheetNumber), nullptr);
  }
  EXPECT_EQ(events.ask(ev::kAskSheetNumber), nullptr);  // unsubscribed with the sheet
  {
    auto channel = build("[St_ColCut]GI_Sheet_Mem,1,100");
    EXPECT_EQ(events.ask(ev::kAskSheetTitle)->bytes(), QByteArray(" Memory CH"));
    EXPECT_EQ(events.ask(ev::kAskSheetNumber)->value(), 1);
    const cmcEvAns* cut = events.ask(ev::kAskColCutSheetNumber);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->value(), 1);
  }
  auto plain = build("GI_Sheet_Mem,0,0");
  EXPECT_EQ(events.ask(ev::kAskSheetTitle), nullptr);
  EXPECT_EQ(events.ask(ev::kAskSheetNumber), nullptr);
}

// ---- cells for the grid ----------------------------------------------------------------------

namespace {

// Shows "#<index>" padded to five bytes, like a catalogue that formats every linked cell.
class IndexTexts : public SheetTextProvider {
 public:
  QByteArray cellText(const SheetModel& sheet, int column, int row) override {
    ++asked;
    return QByteArray("#" + QByteArray::number(sheet.cellAt(column, row).index)).leftJustified(5);
  }
  int asked = 0;
};

}  // namespace

TEST_F(SheetTest, DisplayTextsComeFromTheProviderForLinkedCells) {
  IndexTexts provider;
  texts = &provider;
  StubMeasure stub;
  measure = &stub;
  auto mem = build("[St_ColCut]GI_Sheet_Mem,1,100");
  EXPECT_EQ(provider.asked, 0);  // building measures the cells' own texts only
  EXPECT_EQ(mem->displayText(3, 5), QByteArray("#100 "));
  EXPECT_EQ(mem->displayText(3, 3), QByteArray("Operating\nFreq"));
  EXPECT_EQ(mem->displayText(0, 5), QByteArray());
  // Auto-fit: the headers' own texts and the provider's texts. Without marine the group header
  // no longer continues into the cut column, so its " Frequency" counts for column 3.
  EXPECT_EQ(mem->autoFitColumnWidth(3), 100 + 8);
  env.marine = true;
  auto marine = build("[St_ColCut]GI_Sheet_Mem,1,100");
  EXPECT_EQ(marine->autoFitColumnWidth(3), 90 + 8);
  EXPECT_EQ(marine->autoFitColumnWidth(7), 50 + 8);

  // Without a provider a linked cell shows nothing.
  texts = nullptr;
  EXPECT_EQ(build("[St_ColCut]GI_Sheet_Mem,0,0")->displayText(3, 5), QByteArray());
}

TEST_F(SheetTest, RequestsCarryTheCellAndTheSheet) {
  auto mem = build("[St_ColCut]GI_Sheet_Mem,1,100");
  cmcCellCapsule request;
  mem->fillRequest(request, 3, 7);
  EXPECT_EQ(request.cell, &mem->cellAt(3, 7));
  EXPECT_EQ(request.cell->index, 102);
  EXPECT_EQ(request.sheetName, QByteArray("GI_Sheet_Mem"));
  EXPECT_EQ(request.sheetArguments, QByteArray("1,100"));
  EXPECT_EQ(request.marks & kMarkPrinting, 0);
  SheetBuildOptions printer;
  printer.printing = true;
  mem->build(printer);
  cmcCellCapsule printing;
  mem->fillRequest(printing, 3, 7);
  EXPECT_NE(printing.marks & kMarkPrinting, 0);
}

TEST_F(SheetTest, StartCellPrefersSavedThenRequestedThenFirst) {
  auto mem = build("[St_ColCut]GI_Sheet_Mem,1,100");
  EXPECT_EQ(mem->firstSelectableCell(), (SheetPos{3, 5}));
  EXPECT_EQ(mem->startCell({7, 10}, CL_Mch_Freq, 150), (SheetPos{7, 10}));
  EXPECT_EQ(mem->startCell({4, 10}, CL_Mch_Freq, 150), (SheetPos{3, 55}));  // 4 is cut
  EXPECT_EQ(mem->startCell({}, CL_Mch_Freq, 150), (SheetPos{3, 55}));
  EXPECT_EQ(mem->startCell({}, CL_Mch_Freq, 42), (SheetPos{3, 5}));  // not on this page
  EXPECT_EQ(mem->startCell({}, CL_None, 0), (SheetPos{3, 5}));
  EXPECT_EQ(mem->findSelectableCell(CT_Conv, CL_Mch_Bank_Group, 199), (SheetPos{7, 104}));
  EXPECT_FALSE(mem->findSelectableCell(CT_Func, CL_Mch_Bank_Group, 199).valid());
  // A sheet without a selectable cell has no start cell (its grid is disabled).
  EXPECT_FALSE(build("GI_Sheet_Keys")->startCell({}, CL_None, 0).valid());
}

// ---- faults of the description ---------------------------------------------------------------

using SheetDeathTest = SheetTest;

TEST_F(SheetDeathTest, FaultsOfTheDescriptionAreFatal) {
  EXPECT_DEATH(build("GI_Sheet_Empty"), "Illegal Cell assign");
  EXPECT_DEATH(build("GI_Sheet_Missing"), "The index 'GI_Sheet_Missing_Style' was not found");
  auto call = build("[St_ColCut]GI_Sheet_Call,3");
  EXPECT_DEATH(call->cellAt(5, 0), "Illegal Cell selection");
  EXPECT_DEATH(call->cellAt(0, 6), "Illegal Cell selection");
  EXPECT_DEATH(call->cellAt(-1, 0), "Illegal Cell selection");
  auto unbuilt = SheetModel::create("GI_Sheet_Call", services());
  EXPECT_DEATH(unbuilt->cellAt(0, 0), "Illegal Cell selection");
}
