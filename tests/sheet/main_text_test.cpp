#include <gtest/gtest.h>

#include <QList>
#include <set>

#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"
#include "sheet_fixture.h"

// The pages of the program's own resource text, built as the navigation tree asks for them.

namespace {

class MainTextSheets : public ::testing::Test {
 protected:
  MainTextSheets() {
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
  }
  std::unique_ptr<SheetModel> build(const char* callString, SheetBuildOptions options = {}) {
    SheetServices s;
    s.text = &text;
    s.environment = &env;
    auto sheet = SheetModel::create(callString, s);
    sheet->build(options);
    return sheet;
  }
  // Every cell of the sheet with this link, in row order: {index, ...}.
  static std::vector<int> indexesOf(const SheetModel& sheet, int link) {
    std::vector<int> out;
    for (int r = 0; r < sheet.rowCount(); ++r)
      for (int c = 0; c < sheet.columnCount(); ++c)
        if (sheet.cellAt(c, r).link == link) out.push_back(sheet.cellAt(c, r).index);
    return out;
  }
  static std::vector<int> range(int first, int last) {
    std::vector<int> out;
    for (int i = first; i <= last; ++i) out.push_back(i);
    return out;
  }
  static std::set<int> linksOf(const SheetModel& sheet) {
    std::set<int> links;
    for (int r = 0; r < sheet.rowCount(); ++r)
      for (int c = 0; c < sheet.columnCount(); ++c) links.insert(sheet.cellAt(c, r).link);
    return links;
  }

  cmcGTex text;
  StubEnvironment env;
};

}  // namespace

TEST_F(MainTextSheets, ChannelPagesFromTheTree) {
  struct Case {
    const char* call;
    int rows;
    int fixedRows;
    int firstIndex;
    int lastIndex;
    const char* title;
  };
  const Case cases[] = {
      {"[St_ColCut]GI_Sheet_MemoryCH,0,0", 105, 5, 0, 99, " Memory CH"},
      {"[St_ColCut]GI_Sheet_MemoryCH,1,100", 105, 5, 100, 199, " Memory CH"},
      {"[St_ColCut]GI_Sheet_ScanEdge,2", 11, 5, 200, 205, " Program Scan Edge"},
      {"[St_ColCut]GI_Sheet_CallCh,3", 6, 5, 206, 206, " CALL CH"},
      {"[St_ColCut]GI_Sheet_Func,8,0", 6, 5, 0, 0, " Func+[F-1] Frequency"},
      {"[St_ColCut]GI_Sheet_Func,10,1", 6, 5, 1, 1, " Func+[F-2] Frequency"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    auto sheet = build(c.call);
    EXPECT_EQ(sheet->rowCount(), c.rows);
    EXPECT_EQ(sheet->fixedRows(), c.fixedRows);
    EXPECT_EQ(indexesOf(*sheet, CL_Mch_Freq), range(c.firstIndex, c.lastIndex));
    EXPECT_EQ(sheet->titleText(), QByteArray(c.title));
    EXPECT_STREQ(sheet->className(), "iuiSh_ColCut_A");
  }
  auto mem = build("[St_ColCut]GI_Sheet_MemoryCH,1,100");
  EXPECT_EQ(mem->columnCount(), 22);
  EXPECT_EQ(mem->fixedCols(), 3);
  EXPECT_EQ(indexesOf(*mem, CL_Misc_ChNo_0Base), range(100, 199));
  EXPECT_EQ(indexesOf(*mem, CL_Mch_Bank_Group), range(100, 199));
  EXPECT_EQ(mem->firstSelectableCell(), (SheetPos{3, 5}));
}

TEST_F(MainTextSheets, MarineUseColumnFollowsTheMarineOption) {
  auto mem = build("[St_ColCut]GI_Sheet_MemoryCH,0,0");
  EXPECT_EQ(mem->columnWidth(20), 0);
  EXPECT_FALSE(mem->cellAt(20, 5).selectable());
  EXPECT_EQ(mem->cellAt(19, 5).rightRule(), kRuleFull);
  env.marine = true;
  mem = build("[St_ColCut]GI_Sheet_MemoryCH,0,0");
  EXPECT_GT(mem->columnWidth(20), 1);
  EXPECT_TRUE(mem->cellAt(20, 5).selectable());

  auto marine = build("[St_ColCut]GI_Sheet_MarineCH,4");
  EXPECT_EQ(marine->rowCount(), 90);
  EXPECT_EQ(marine->fixedRows(), 3);
  EXPECT_EQ(indexesOf(*marine, CL_Mch_Name), range(207, 293));
}

TEST_F(MainTextSheets, LoopsOfTheOtherPages) {
  auto dtmf = build("GI_Sheet_DTMF_Memory,6");
  EXPECT_EQ(indexesOf(*dtmf, CL_DTMF_Memory_Code), range(0, 15));
  EXPECT_EQ(indexesOf(*dtmf, CL_Common_DTMF_SPEED).size(), 1u);
  EXPECT_EQ(dtmf->titleText(), QByteArray(" DTMF Memory"));
  auto bank = build("GI_Sheet_BankName,5");
  EXPECT_EQ(indexesOf(*bank, CL_Bank_Name), range(0, 9));
}

TEST_F(MainTextSheets, CommonPageByDestinationAndSheet) {
  struct Case {
    const char* call;
    bool usa;
    bool marine;
    std::set<int> present;
    std::set<int> absent;
    const char* title;
  };
  const Case cases[] = {
      {"[St_Common]GI_Sheet_Common,7",
       false,
       false,
       {CL_Common_BankLink_A_J, CL_Common_CloneComment, CL_Common_ToneBurst},
       {CL_Common_WXAlert, CL_Common_WXCH, CL_Common_AutoRepeater, CL_Common_SpSelect},
       " Common Setting"},
      {"[St_Common]GI_Sheet_Common,7",
       true,
       true,
       {CL_Common_WXAlert, CL_Common_WXCH, CL_Common_AutoRepeater, CL_Common_SpSelect,
        CL_Common_MarinPrio, CL_Common_CloneComment},
       {},
       " Common Setting"},
      {"[St_Common]GI_Sheet_Common,9",
       true,
       false,
       {CL_Common_WXAlert, CL_Common_AutoRepeater},
       {CL_Common_WXCH, CL_Common_CloneComment, CL_Common_SpSelect},
       " Func+[F-1] Common Setting"},
      {"[St_Common]GI_Sheet_Common,11",
       false,
       false,
       {CL_Common_Beep},
       {CL_Common_WXAlert, CL_Common_CloneComment},
       " Func+[F-2] Common Setting"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.call) + (c.usa ? " USA" : "") + (c.marine ? " marine" : ""));
    env.usa = c.usa;
    env.marine = c.marine;
    auto sheet = build(c.call);
    const std::set<int> links = linksOf(*sheet);
    for (int link : c.present) EXPECT_TRUE(links.count(link)) << linkName(link);
    for (int link : c.absent) EXPECT_FALSE(links.count(link)) << linkName(link);
    EXPECT_EQ(sheet->titleText(), QByteArray(c.title));
  }
  // Only_USA 8 hides exactly eight lines: the USA page has seven more rows (the eighth line is
  // the Only_Current directive), plus the auto-repeater's two.
  env.usa = false;
  const int other = build("[St_Common]GI_Sheet_Common,7")->rowCount();
  env.usa = true;
  EXPECT_EQ(build("[St_Common]GI_Sheet_Common,7")->rowCount(), other + 7 + 2);
}

TEST_F(MainTextSheets, EverySheetOfTheTextBuilds) {
  // Every GI_Sheet_<name> of the text, as a plain sheet; selection lists as dialogs. The
  // channel-number list is a template filled in at run time, not a sheet of its own.
  const EmbeddedText main = mainResourceText();
  int built = 0;
  for (int i = 0; i < main.count; ++i) {
    const QByteArray line(main.lines[i]);
    if (!line.startsWith("#GI_Sheet_") || !line.endsWith("_Style")) continue;
    const QByteArray stem = line.mid(1, line.size() - 1 - 6);
    if (stem == "GI_Sheet_Sel_VMC") continue;
    SCOPED_TRACE(stem.toStdString());
    SheetBuildOptions options;
    options.dialog = stem.startsWith("GI_Sheet_Sel_");
    auto sheet = build(stem.constData(), options);
    EXPECT_GT(sheet->rowCount(), 0);
    ++built;
  }
  EXPECT_GT(built, 60);
}
