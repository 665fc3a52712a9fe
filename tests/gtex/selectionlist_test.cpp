#include <gtest/gtest.h>

#include "gtex/cmcFCache.h"
#include "gtex/cmcGTex.h"
#include "test_util.h"

namespace {

const char* const kLists[] = {
    "",
    "#CellModel_tipsM",
    "-!SWHT(Font=,,clMaroon,,,,)",
    "#GI_Sheet_Sel_Misc_OnOff_I_Cells",
    "{S(%Flex0[1]:OFF)}OFF  \\_",
    "{S(%Flex0[0]:ON)}ON",
    "#",
    "#GI_Sheet_Sel_Mch_TS_Pitch_Cells",
    "{S(%Flex0[0 ])}5k",
    "{S(%Flex0[1 ])}6.25k",
    "{S(%Flex0[2 ])}10k",
    "{S(%Flex0[3 ])}12.5k",
    "#",
    // Two columns, an explanation cell, an empty argument, a line without choices and a
    // cell keyed to another link.
    "#GI_Sheet_Sel_Grid_Cells",
    "{S(%Flex0[4]:)}Four\t|{($tipsM)}: note|{S(%Flex0[1])}One",
    "{S(%Flex0[2])}Two|{S(%FlexMarking_Mode[9])}Other|{S(%Flex0[5])}Five",
    "",
    "{S(%Flex0[0])}Zero",
    "#",
    "#GI_Sheet_Sel_Empty_Cells",
    "#",
    "#End_Of_Ovl",
};

class SelectionLists : public ::testing::Test {
 protected:
  SelectionLists() : cache(text) { text.setSource(kLists, static_cast<int>(std::size(kLists))); }
  cmcGTex text;
  cmcFCache cache;
};

}  // namespace

TEST_F(SelectionLists, ValueToText) {
  const struct {
    const char* sheet;
    int value;
    const char* text;
  } cases[] = {
      {"GI_Sheet_Sel_Misc_OnOff_I", 1, "OFF"},
      {"GI_Sheet_Sel_Misc_OnOff_I", 0, "ON"},
      {"GI_Sheet_Sel_Mch_TS_Pitch", 3, "12.5k"},
      {"GI_Sheet_Sel_Mch_TS_Pitch", 7, "error"},
      {"GI_Sheet_Sel_Mch_TS_Pitch", -1, "error"},
      {"GI_Sheet_Sel_Grid", 4, ""},
      {"GI_Sheet_Sel_Grid", 1, "One"},
      {"GI_Sheet_Sel_Grid", 9, "error"},
      {"GI_Sheet_Sel_Empty", 0, "error"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(cache.listText(c.sheet, Flex0, c.value), c.text) << c.sheet << " " << c.value;
  EXPECT_EQ(cache.listText("GI_Sheet_Sel_Grid", FlexMarking_Mode, 9), "Other");
}

TEST_F(SelectionLists, ShapeAndOrders) {
  const SelectionList& l = cache.list("GI_Sheet_Sel_Grid", Flex0);
  EXPECT_EQ(l.lineCount, 4);
  EXPECT_EQ(l.widestRow, 3);
  ASSERT_EQ(l.choiceCount(), 5);
  QList<int> byValue, byPosition;
  for (const auto& c : l.byValue) byValue << c.value;
  for (const auto& c : l.byPosition) byPosition << c.value;
  EXPECT_EQ(byValue, (QList<int>{0, 1, 2, 4, 5}));
  EXPECT_EQ(byPosition, (QList<int>{4, 2, 0, 1, 5}));  // down the first column, then the third
  EXPECT_EQ(l.byPosition[3].line, 0);
  EXPECT_EQ(l.byPosition[3].cell, 2);
}

TEST_F(SelectionLists, Stepping) {
  const struct {
    const char* sheet;
    int value;
    int step;
    bool found;
    int result;
  } cases[] = {
      {"GI_Sheet_Sel_Misc_OnOff_I", 1, +1, true, 0},  // first line to second
      {"GI_Sheet_Sel_Misc_OnOff_I", 0, +1, true, 1},  // wraps
      {"GI_Sheet_Sel_Misc_OnOff_I", 1, -1, true, 0},
      {"GI_Sheet_Sel_Grid", 0, +1, true, 1},  // end of a column goes on at the next one
      {"GI_Sheet_Sel_Grid", 5, +1, true, 4},
      {"GI_Sheet_Sel_Grid", 4, -1, true, 5},
      {"GI_Sheet_Sel_Mch_TS_Pitch", 7, +1, false, 0},  // not a choice: the first choice
      {"GI_Sheet_Sel_Mch_TS_Pitch", 7, -1, false, 0},
      {"GI_Sheet_Sel_Empty", 3, +1, false, 3},
  };
  for (const auto& c : cases) {
    const ListStep s = cache.listStep(c.sheet, Flex0, c.value, c.step);
    EXPECT_EQ(s.found, c.found) << c.sheet << " " << c.value << " " << c.step;
    EXPECT_EQ(s.value, c.result) << c.sheet << " " << c.value << " " << c.step;
  }
}

TEST_F(SelectionLists, BuiltOnceAndKeptUnderSheetAndLink) {
  EXPECT_EQ(cache.listText("GI_Sheet_Sel_Misc_OnOff_I", Flex0, 1), "OFF");
  EXPECT_EQ(cache.listText("GI_Sheet_Sel_Misc_OnOff_I", Flex0, 0), "ON");
  EXPECT_EQ(cache.listCount(), 1);
  EXPECT_EQ(cmcFCache::keyOf("GI_Sheet_Sel_Misc_OnOff", Flex0), "GI_Sheet_Sel_Misc_OnOff#1");
  text.reset();  // any further read of the text would now be fatal
  EXPECT_EQ(cache.listText("GI_Sheet_Sel_Misc_OnOff_I", Flex0, 1), "OFF");
  EXPECT_EQ(cache.listStep("GI_Sheet_Sel_Misc_OnOff_I", Flex0, 1, 1).value, 0);
}

TEST_F(SelectionLists, ListsBuiltFromLinesAtRunTime) {
  cmcCellParser parser(text);
  const QList<QByteArray> lines{"{S(%FlexVMCCh[-1])}VFO", "{S(%FlexVMCCh[206])}CALL",
                                "{S(%FlexVMCCh[3])}4"};
  const auto l = buildSelectionList(parser, lines, FlexVMCCh);
  EXPECT_EQ(selectionText(*l, 206), "CALL");
  EXPECT_EQ(selectionStep(*l, 3, 1).value, -1);
}

using SelectionListsDeathTest = SelectionLists;

TEST_F(SelectionListsDeathTest, MissingDescriptionIsFatal) {
  EXPECT_DEATH(cache.listText("GI_Sheet_Sel_Nowhere", Flex0, 0),
               "The index 'GI_Sheet_Sel_Nowhere_Cells' was not found");
}
