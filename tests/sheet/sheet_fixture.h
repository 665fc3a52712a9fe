#pragma once

#include <QByteArray>
#include <memory>
#include <ostream>
#include <set>
#include <vector>

#include "gtex/cmcGTex.h"
#include "sheet/core/SheetEnvironment.h"
#include "sheet/core/SheetModel.h"

inline void PrintTo(const QByteArray& bytes, std::ostream* os) { *os << '"' << bytes.toStdString() << '"'; }

// A small resource text written like the main one: the cell models the pages use, the two title
// tables, and a few pages that each show one behaviour of the builder.
inline const char* const kSheetText[] = {
    "",
    "#CellModel_Basic",
    "<-(Color=clWindow)(Font=DEFAULT_CHARSET,,clWindowText,-17,,,)(PopupMenu=GI_PMenu_Edit)",
    "#CellModel_eWh",
    "S<_WHB",
    "#CellModel_iChN",
    ">-WHB(Color=clOlive)(Font=,,clWhite,,,fsBold,)",
    "#CellModel_iChI",
    "^-WH(Color=clGray)(Font=,,clWhite,,,fsBold,)",
    "#CellModel_iChG",
    "<_H(Color=clGreen)(Font=,,clWhite,,,fsBold,)",
    "#CellModel_iCR",
    ">_WH(Color=clGray)(Font=,,clWhite,,,fsBold,)",
    "#CellModel_iCG",
    "<_H(Color=clGreen)(Font=,,clWhite,,,fsBold,)",
    "#GI_AppInd_CommonTitle",
    "", "", "", "", "", "", "", "", "",
    " Func+[F-1]",
    "",
    " Func+[F-2]",
    "#",
    "#GI_AppInd_MchFuncTitle",
    " Memory CH",
    " Memory CH",
    " Program Scan Edge",
    " CALL CH",
    " Marine CH",
    "",
    "",
    "",
    " Func+[F-1] Frequency",
    "",
    " Func+[F-2] Frequency",
    "#",
    // A channel page: columns 0 "", 1 label, 2 "", 3 frequency, 4 marine use, 5 "" (a thin
    // separator), 6 a debug reference, 7 bank. Group header over 3-4.
    "#GI_Sheet_Mem_Style",
    "(TitleColor=clNavy)(TitleFont=DEFAULT_CHARSET,,clYellow,16,,fsBold,)(TitleString= Memory "
    "CH)(FixedCols=3)(FixedRows=5)(MultiSelect=Line)(ColSizing)(ColorSelectLine)",
    "#GI_Sheet_Mem_BasicCell",
    "{($Basic)(%CT_Conv.)(PopupMenu=GI_PMenu_Channel_WideSP)}",
    "#GI_Sheet_Mem_Cells",
    "",
    "|||{($iChG)X}\\_Frequency|{+}",
    "",
    "|{($iChN)^!B(@ch0=0)}CH||{($iChI)Q}Operating\\nFreq|{($iChI)X}Marine\\nUse||{($iChI)X}Ref|{("
    "$iChI)X}Bank",
    "",
    ":(LoopFrom 100)",
    "|{($iChN)^(%CL_Misc_ChNo_0Base)}999||{($eWh)>Q(%CL_Mch_Freq[@ch0])}999.999999|{($eWh)^X(%CL_"
    "Mch_Marine[@ch0])}Skip||{($eWh)>X(%CL_Mch_Freq_DbgRef[@ch0])}999|{($eWh)^X(%CL_Mch_Bank_"
    "Group[@ch0])}W",
    ":(LoopTo)",
    "#",
    // The call page: the same rows without a loop.
    "#GI_Sheet_Call_Style",
    "(TitleString= CALL CH)(FixedCols=3)(FixedRows=5)",
    "#GI_Sheet_Call_BasicCell",
    "{($Basic)(%CT_Conv.)}",
    "#GI_Sheet_Call_Cells",
    "",
    "|||{($iChG)X}\\_Frequency|{+}",
    "",
    "|{($iChN)^!B(@ch0=206)}CH||{($iChI)Q}Operating\\nFreq",
    "",
    "|{($iChN)^}C||{($eWh)>Q(%CL_Mch_Freq[@ch0])}999.999999",
    "#",
    // A loop whose body has two lines, the second advancing the index.
    "#GI_Sheet_Loop2_Style",
    "",
    "#GI_Sheet_Loop2_BasicCell",
    "{($Basic)}",
    "#GI_Sheet_Loop2_Cells",
    "{(@ch0=0)}head",
    ":(LoopFrom 3)",
    "{S(%CL_Mch_Freq[@ch0])}a",
    "{S(@ch0++)(%CL_Mch_Dup[@ch0])}b",
    ":(LoopTo)",
    "tail",
    "#",
    // Selection flags around a loop.
    "#GI_Sheet_Sel_Style",
    "(MultiSelect=Cell)",
    "#GI_Sheet_Sel_BasicCell",
    "{($Basic)}",
    "#GI_Sheet_Sel_Cells",
    "{S}a",
    ":(SelectOFF)",
    "{S}b",
    ":(LoopFrom 2)",
    "{S}c",
    ":(LoopTo)",
    ":(SelectON)",
    "{S}d",
    "#",
    // Conditional lines as the common-settings page has them (line numbers in comments).
    "#GI_Sheet_Com_Style",
    "(TitleString= Common Setting)(FixedCols=3)(FixedRows=1)",
    "#GI_Sheet_Com_BasicCell",
    "{($Basic)}",
    "#GI_Sheet_Com_Cells",
    "",                                                               // 0
    "|{($iCG)}Bank Link|{+}|{+}",                                    // 1
    "",                                                               // 2
    ":(Only_USA 8)",                                                  // 3
    "{H(Font=,,,%50,,,)}",                                            // 4
    "|{($iCG)}WX|{+}|{+}",                                           // 5
    "",                                                               // 6
    "|{($iCR)}WX Alert||{($eWh)(%CL_Common_WXAlert)}WWWWWWWWWW",     // 7
    "",                                                               // 8
    ":(Only_Current 2)",                                              // 9
    "|{($iCR)}WX CH||{($eWh)(%CL_Common_WXCH)}WWWWWWWWWW",           // 10
    "",                                                               // 11
    "{H(Font=,,,%50,,,)}",                                            // 12
    "|{($iCG)}Others|{+}|{+}",                                       // 13
    ":(Only_Marine 2)",                                               // 14
    "|{($iCR)}SP Select||{($eWh)(%CL_Common_SpSelect)}WWWWWWWWWW",   // 15
    "",                                                               // 16
    ":(Only_Current 1)",                                              // 17
    "|{($iCR)}Comment||{($eWh)(%CL_Common_CloneComment)}WWWWWWWWWW",  // 18
    "#",
    // Sizes: auto-width and auto-height cells among plain ones.
    "#GI_Sheet_Size_Style",
    "(FixedCols=10)(FixedRows=-2)(NoPrintX)(PrintFontRatio=50)",
    "#GI_Sheet_Size_BasicCell",
    "{($Basic)}",
    "#GI_Sheet_Size_Cells",
    "{W}abc|{H}x\\ny|{}zzzzzzzzzz|{WH}|e",
    "",
    "{WH}\\_\\_\\_\\_",
    "#",
    // Not printable; every style key that is a plain switch.
    "#GI_Sheet_Keys_Style",
    "junk(NoPrint)(ColCutMenu) more junk (MultiSelect=Line)(TitleColor=clNoSuch)",
    "#GI_Sheet_Keys_BasicCell",
    "",
    "#GI_Sheet_Keys_Cells",
    "x",
    "#",
    // No cell at all: only empty lines and directives.
    "#GI_Sheet_Empty_Style",
    "",
    "#GI_Sheet_Empty_BasicCell",
    "",
    "#GI_Sheet_Empty_Cells",
    "",
    ":(LoopFrom 3)",
    "",
    ":(LoopTo)",
    "#",
    "#End_Of_Ovl",
};

// The destination and document as a test sets them.
class StubEnvironment : public SheetEnvironment {
 public:
  bool isUSA() const override { return usa; }
  bool marineAvailable() const override { return marine; }
  bool channelInUse(int index) const override { return inUse.count(index) > 0; }

  bool usa = false;
  bool marine = false;
  std::set<int> inUse;
};

// Ten pixels per byte and twenty per line, whatever the font: sizes can be read off the texts.
class StubMeasure : public TextMeasure {
 public:
  int lineWidth(QByteArrayView line, const CellFont&) const override {
    return static_cast<int>(line.size()) * 10;
  }
  int lineHeight(const CellFont&) const override { return 20; }
};

class SheetTest : public ::testing::Test {
 protected:
  SheetTest() { text.setSource(kSheetText, static_cast<int>(std::size(kSheetText))); }

  SheetServices services() {
    SheetServices s;
    s.text = &text;
    s.environment = &env;
    s.measure = measure;
    s.texts = texts;
    s.bus = bus;
    return s;
  }
  std::unique_ptr<SheetModel> build(const char* callString, SheetBuildOptions options = {}) {
    auto sheet = SheetModel::create(callString, services());
    sheet->build(options);
    return sheet;
  }
  // Line number of every row.
  static std::vector<int> rowLines(const SheetModel& sheet) {
    std::vector<int> lines;
    for (int r = 0; r < sheet.rowCount(); ++r) lines.push_back(sheet.rowAttr(r).line);
    return lines;
  }

  cmcGTex text;
  StubEnvironment env;
  const TextMeasure* measure = nullptr;
  SheetTextProvider* texts = nullptr;
  cmcEvMan* bus = nullptr;
};
