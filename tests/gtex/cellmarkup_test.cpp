#include "gtex/cellmarkup.h"

#include <gtest/gtest.h>

#include "base/textcodec.h"
#include "gtex/cmcGTex.h"
#include "test_util.h"

namespace {

// Cell models as the main text writes them, plus two that exist only to test nesting.
const char* const kModels[] = {
    "",
    "#CellModel_eWh",
    "S<_WHB",
    "#CellModel_Basic",
    "<-(Color=clWindow)(Font=DEFAULT_CHARSET,,clWindowText,-17,,,)(PopupMenu=GI_PMenu_Edit)",
    "#CellModel_bMn",
    "<~WH(Color=clMenu)(PopupMenu=)",
    "#CellModel_tipsM",
    "-!SWHT(Font=,,clMaroon,,,,)",
    "#CellModel_iQp",
    "(%CT_Null.CL_Misc_QuarterPillar)",
    "#CellModel_iCR",
    ">_WH(Color=clGray)(Font=,,clWhite,,,fsBold,)",
    "#CellModel_Outer",
    "X($eWh)",
    "#CellModel_Loop",
    "($Loop)",
    "#End_Of_Ovl",
};

class CellMarkup : public ::testing::Test {
 protected:
  CellMarkup() : parser(models) { models.setSource(kModels, static_cast<int>(std::size(kModels))); }

  // Parses one cell and returns the rest of the line.
  QByteArray parse(cmcCellObj& cell, const char* markup, const cmcCellObj* base = nullptr) {
    return parser.parseCell(cell, markup, base, &vars).toByteArray();
  }
  cmcCellObj basic(const char* markup = "{($Basic)}") {
    cmcCellObj b;
    parse(b, markup);
    return b;
  }

  cmcGTex models;
  cmcCellParser parser;
  CellVariables vars{};
};

}  // namespace

TEST_F(CellMarkup, DataCellOfAChannelSheet) {
  vars[0] = 100;
  const cmcCellObj b = basic();
  cmcCellObj c;
  EXPECT_EQ(parse(c, "{($eWh)>Q(%CL_Mch_Freq[@ch0])}999.999999|next", &b), "next");
  EXPECT_TRUE(c.selectable());
  EXPECT_EQ(c.hAlign(), kAlignRight);
  EXPECT_EQ(c.vAlign(), kAlignBottom);
  EXPECT_TRUE(c.autoWidth() && c.autoHeight() && c.bottomRule());
  EXPECT_EQ(c.rightRule(), kRuleShort);
  EXPECT_EQ(c.link, CL_Mch_Freq);
  EXPECT_EQ(c.index, 100);
  EXPECT_EQ(c.category, CT_None);
  EXPECT_EQ(c.text, "999.999999");
  EXPECT_EQ(c.base, &b);
  EXPECT_EQ(c.variables, nullptr);  // attached only while parsing
  EXPECT_EQ(c.font, nullptr);
  ASSERT_NE(c.effectiveFont(), nullptr);
  EXPECT_EQ(c.effectiveFont()->height, -17);
  EXPECT_EQ(c.popupMenuOf(false), "GI_PMenu_Edit");
}

TEST_F(CellMarkup, FlagLetters) {
  const struct {
    const char* markup;
    uint8_t layout;
    uint8_t behaviour;
  } cases[] = {
      {"{<~}", 0x00, 0},          {"{^-}", 0x05, 0},
      {"{>_}", 0x0A, 0},          {"{WH=+}", 0xF0, 0},
      {"{BXST}", 0, 0x1B},        {"{Q}", 0, 0x04},
      {"{XQ}", 0, 0x04},          {"{QX}", 0, 0x02},
      {"{($eWh)!B}", 0x38, 0x08}, {"{($eWh)!S}", 0x38, 0x01},
      {"{>!>}", 0x00, 0},         {"{!xB}", 0, 0x01},  // '!' binds to the next byte only
      {"{!(Flag0=1)B}", 0, 0x21}, {"{b\\BZ?}", 0, 0},  // unknown and escaped letters do nothing
      {"{($tipsM)}", 0x34, 0x10},                      // "-!SWHT": middle, not selectable, tail
  };
  for (const auto& t : cases) {
    cmcCellObj c;
    parse(c, t.markup);
    EXPECT_EQ(c.layoutFlags, t.layout) << t.markup;
    EXPECT_EQ(c.behaviourFlags, t.behaviour) << t.markup;
  }
}

TEST_F(CellMarkup, SplittingAndDisplayText) {
  vars[0] = 9;
  vars[1] = -1234567;
  const struct {
    const char* line;
    const char* text;  // nullptr: no text
    const char* rest;
  } cases[] = {
      {"A\\|B|C", "A|B", "C"},
      {"{S}x|", "x", ""},
      {"|x", nullptr, "x"},
      {"", nullptr, ""},
      {"two\\nlines\\Nthree", "two\nlines\nthree", ""},
      {"\\_\\_", "  ", ""},
      {"ch \\(@ch0)/\\( @ch0 + 1 )", "ch 9/10", ""},
      {"\\(@ch1)", "-12345", ""},  // cut to six characters
      {"\\q\\\\\\{", "q\\", ""},   // braces cannot be escaped: "\{" opens attributes
      {"a\tb\t", "a\tb\t", ""},
      {"pre{S}mid{B}post|", "premidpost", ""},
      {"trailing\\", "trailing", ""},
      // Code page 932: the second byte of U+30BD (0x83 0x5C) is not an escape, nor 0x7C a '|'.
      {"\x83\x5C|X", "\x83\x5C", "X"},
      {"\x83\x7C|X", "\x83\x7C", "X"},
      {"\\\x83\x5C|X", "\x83\x5C", "X"},
  };
  for (const auto& t : cases) {
    cmcCellObj c;
    EXPECT_EQ(parse(c, t.line), t.rest) << t.line;
    if (t.text)
      EXPECT_EQ(c.text, QByteArray(t.text)) << t.line;
    else
      EXPECT_FALSE(c.text.has_value()) << t.line;
  }
  EXPECT_EQ(cmcCellParser::countCells(""), 0);
  EXPECT_EQ(cmcCellParser::countCells("a"), 1);
  EXPECT_EQ(cmcCellParser::countCells("|a|"), 2);
  EXPECT_EQ(cmcCellParser::countCells("a||b\\|c"), 3);
}

TEST_F(CellMarkup, LinkReferences) {
  vars[2] = 42;
  const struct {
    const char* markup;
    int category;
    int link;
    int index;
    const char* argument;  // nullptr: none
  } cases[] = {
      {"{(%CT_PopupMenu.CL_PMenu_Edit:Enter)}", CT_PopupMenu, CL_PMenu_Edit, 0, "Enter"},
      {"{(%CallSheet:[St_ColCut]GI_Sheet_MemoryCH,1,100)}", CT_None, CallSheet, 0,
       "[St_ColCut]GI_Sheet_MemoryCH,1,100"},
      {"{(%Flex0[2]:Auto)}", CT_None, Flex0, 2, "Auto"},
      {"{S(%Flex0[3]:DTCS\\(T\\))}DTCS(T)", CT_None, Flex0, 3, "DTCS(T)"},
      {"{(%Flex0[3 ])}", CT_None, Flex0, 3, nullptr},
      {"{(%Flex0[-2)}", CT_None, Flex0, -2, nullptr},  // missing ']' tolerated
      {"{(%Flex0[1]:)}", CT_None, Flex0, 1, ""},       // present but empty
      {"{(%Flex0[1]:6.25k)}", CT_None, Flex0, 1, "6.25k"},
      {"{(%CT_Conv.)}", CT_Conv, CL_None, 0, nullptr},
      {"{(%CT_Func.CL_Mch_Freq[ @ch2 ])}", CT_Func, CL_Mch_Freq, 42, nullptr},
      {"{(%Flex0[1]:\x83\x5C)}", CT_None, Flex0, 1, "\x83\x5C"},
      {"{(%Flex0:a\\\\b)}", CT_None, Flex0, 0, "a\\b"},
  };
  for (const auto& t : cases) {
    cmcCellObj c;
    parse(c, t.markup);
    EXPECT_EQ(c.category, t.category) << t.markup;
    EXPECT_EQ(c.link, t.link) << t.markup;
    EXPECT_EQ(c.index, t.index) << t.markup;
    if (t.argument)
      EXPECT_EQ(c.argument, QByteArray(t.argument)) << t.markup;
    else
      EXPECT_FALSE(c.argument.has_value()) << t.markup;
  }
}

TEST_F(CellMarkup, GroupsAndDerivation) {
  cmcCellObj b;
  parse(b,
        "{($Basic)(%CT_Conv.Flex0[5]:arg)(ImageIndex=3)(Flag2=1)(Flag7=1)(ColCut_PopupMenu=GI_"
        "PMenu_Col)}base");
  EXPECT_EQ(b.colour, kClWindow);
  EXPECT_TRUE(b.flag(2) && b.flag(7) && !b.flag(0));
  EXPECT_EQ(b.behaviourFlags, 0x80);
  EXPECT_EQ(b.spareFlags, 0x10);

  // Scalars and the argument come from the base; text, font and menus do not.
  cmcCellObj c;
  parse(c, "{(Color=clRed)(Color=clNoSuch)(Flag2=0)(Flag3=1)(Flag8=1)(Flag1=2)(Flag1=1 )}", &b);
  EXPECT_EQ(c.category, CT_Conv);
  EXPECT_EQ(c.link, Flex0);
  EXPECT_EQ(c.index, 5);
  EXPECT_EQ(c.argument, "arg");
  EXPECT_EQ(c.imageIndex, 3);
  EXPECT_EQ(c.colour, 0x0000FFu);     // an unknown name left clRed in place
  EXPECT_EQ(c.behaviourFlags, 0x00);  // Flag2 cleared; "Flag1=2" and "Flag1=1 " ignored
  EXPECT_EQ(c.spareFlags, 0x11);      // Flag3 set, Flag7 inherited, Flag8 ignored
  EXPECT_FALSE(c.text.has_value());
  EXPECT_FALSE(c.font);
  EXPECT_FALSE(c.popupMenu.has_value());
  EXPECT_EQ(c.popupMenuOf(true), "GI_PMenu_Col");

  // Variables: set with blanks around '=', increment, then used.
  parse(c, "{(@ch4 = 7)(@ch4++)(%Flex0[@ch4])}\\(@ch4)", &b);
  EXPECT_EQ(vars[4], 8);
  EXPECT_EQ(c.index, 8);
  EXPECT_EQ(c.text, "8");

  // Counting stays inside 32 bits at both ends, as do set values and inserted sums.
  const struct {
    const char* markup;
    int32_t value;
    const char* text;
  } ends[] = {
      {"{(@ch4=2147483647)(@ch4++)}\\(@ch4)", INT32_MAX, "214748"},
      {"{(@ch4=2147483646)(@ch4++)(@ch4++)}\\(@ch4+1)", INT32_MAX, "214748"},
      {"{(@ch4=99999999999)}", INT32_MAX, nullptr},
      {"{(@ch4=-2147483648)(@ch4++)}", INT32_MIN + 1, nullptr},
      {"{(@ch4=-99999999999)}\\(@ch4+99999999999)", INT32_MIN, "-1"},
  };
  for (const auto& e : ends) {
    SCOPED_TRACE(e.markup);
    parse(c, e.markup, &b);
    EXPECT_EQ(vars[4], e.value);
    if (e.text) {
      EXPECT_EQ(c.text, e.text);
    }
  }

  // Several brace parts form one attribute string.
  parse(c, "{(ImageIndex=2)(%CallSheet:GI_Sheet_BankName,5)}{(Flag0=1)}Bank");
  EXPECT_EQ(c.imageIndex, 2);
  EXPECT_EQ(c.argument, "GI_Sheet_BankName,5");
  EXPECT_TRUE(c.flag(0));
  EXPECT_EQ(c.text, "Bank");

  // Models may use models.
  parse(c, "{($Outer)}");
  EXPECT_EQ(c.rightRule(), kRuleFull);
  EXPECT_TRUE(c.selectable());
  parse(c, "{($iQp)}");
  EXPECT_EQ(c.category, CT_Null);
  EXPECT_EQ(c.link, CL_Misc_QuarterPillar);
}

TEST_F(CellMarkup, PopupMenuInheritance) {
  const cmcCellObj sheetBasic = basic();
  const cmcCellObj listBasic = basic("{($Basic)($bMn)}");
  EXPECT_EQ(sheetBasic.popupMenuOf(false), "GI_PMenu_Edit");
  EXPECT_EQ(listBasic.popupMenuOf(false), "");  // "(PopupMenu=)" removes it in a basic cell
  EXPECT_EQ(listBasic.colour, 0xFF000004u);

  cmcCellObj c;
  parse(c, "{(PopupMenu=)}", &sheetBasic);  // ...but not in an ordinary cell
  EXPECT_EQ(c.popupMenuOf(false), "GI_PMenu_Edit");
  parse(c, "{(PopupMenu=GI_PMenu_Other)}", &sheetBasic);
  EXPECT_EQ(c.popupMenuOf(false), "GI_PMenu_Other");
  EXPECT_EQ(c.popupMenuOf(true), "");
}

TEST_F(CellMarkup, Fonts) {
  const cmcCellObj b = basic("{($Basic)(Font=,,,,,fsBold+fsItalic,)}");
  ASSERT_TRUE(b.font);
  EXPECT_EQ(b.font->height, -17);
  EXPECT_EQ(b.font->colour, kClWindowText);
  EXPECT_EQ(b.font->style, kFontBold | kFontItalic);

  cmcCellObj c;
  parse(c, "{(Font=,,,%50,,,)}", &b);
  EXPECT_EQ(c.font->height, -8);
  EXPECT_EQ(b.font->height, -17);  // the base keeps its own

  parse(c, "{(Font=,Arial,clWhite,,,,)}", &b);
  EXPECT_EQ(c.font->face, "Arial");
  parse(c, "{(Font=,Arial,,,,,)(Font=,,clWhite,,,,)}", &b);
  EXPECT_EQ(c.font->face, kOtherDefaultFace);         // an empty face resets to the default
  EXPECT_EQ(c.font->style, kFontBold | kFontItalic);  // an empty style keeps the base's
  EXPECT_EQ(c.font->colour, 0xFFFFFFu);

  parser.setJapaneseFace(true);
  parse(c, "{(Font=,,,,,,)}", &b);
  EXPECT_EQ(fromCp932(c.font->face), QString::fromUtf8("ＭＳ Ｐゴシック"));
}

TEST(CellFontSpec, Fields) {
  cmcGTex none;
  cmcCellParser parser(none);
  CellFont base;
  base.face = "Base";
  base.height = -17;
  base.size = 10;
  base.style = kFontBold;
  const auto apply = [&](const char* fontText) {
    CellFont f = base;
    parser.parseFont(fontText, f);
    return f;
  };
  EXPECT_EQ(apply(" ANSI_CHARSET ,Base,,,,,").charset, 0);
  EXPECT_EQ(apply("SHIFTJIS_CHARSET,Base").charset, 128);
  EXPECT_EQ(apply("ANSI_CHARSETX,Base").charset,
            kDefaultCharset);                    // must be followed by blanks only
  EXPECT_EQ(apply("OEM_CHARSET").face, "Base");  // a face field that is not there changes nothing
  EXPECT_EQ(apply(",Base,,-1,,,").height, -1);
  EXPECT_EQ(apply(",Base,,0,0,,").height, -17);
  EXPECT_EQ(apply(",Base,,%200,%50,,").height, -34);
  EXPECT_EQ(apply(",Base,,%200,%50,,").size, 5);
  EXPECT_EQ(apply(",Base,,,,fsUnderline + fsStrikeOut,").style, kFontUnderline | kFontStrikeOut);
  EXPECT_EQ(apply(",Base,,,,fsNothing,").style, kFontBold);
  EXPECT_EQ(apply(",Base,,,,fsNothing+fsItalic,").style, kFontItalic);
  EXPECT_EQ(apply(",Base,,,,,fpFixed").pitch, kPitchFixed);
  EXPECT_EQ(apply(",Base,,,,,fpVariable,fpFixed").pitch, kPitchVariable);  // eighth field ignored
  EXPECT_EQ(apply(",Base,,,,,fpNone").pitch, kPitchDefault);
  EXPECT_EQ(apply(",Base,clNavy").colour, 0x800000u);
  EXPECT_EQ(apply(",Base,clUnknown").colour, kClWindowText);

  base.height = -1;
  EXPECT_EQ(apply(",Base,,%50").height, 1);  // a zero result becomes 1
}

TEST(CellNames, ColoursAndCharsets) {
  const struct {
    const char* name;
    CellColour value;
  } colours[] = {
      {"clAqua", 0xFFFF00},
      {"clBlack", 0},
      {"clGreen", 0x8000},
      {"clMaroon", 0x80},
      {"clTeal", 0x808000},
      {"clYellow", 0xFFFF},
      {"clBackground", 0xFF000001},
      {"clWindow", 0xFF000005},
      {"clHightlightText", 0xFF00000E},
      {"clGrayText", 0xFF000011},
      {"clBtnHighlight", 0xFF000014},
  };
  for (const auto& c : colours) {
    CellColour v = 1;
    EXPECT_TRUE(colourByName(c.name, v)) << c.name;
    EXPECT_EQ(v, c.value) << c.name;
  }
  CellColour v = 7;
  EXPECT_FALSE(colourByName("clHighlightText", v));  // the table spells it otherwise
  EXPECT_FALSE(colourByName("clred", v));
  EXPECT_EQ(v, 7u);

  const struct {
    const char* name;
    int value;
  } charsets[] = {{"ANSI_CHARSET", 0},
                  {"MAC_CHARSET", 77},
                  {"CHINESEBIG5_CHARSET", 136},
                  {"  THAI_CHARSET  ", 222},
                  {"OEM_CHARSET", 255}};
  for (const auto& c : charsets) {
    int cs = -1;
    EXPECT_TRUE(charsetByName(c.name, cs)) << c.name;
    EXPECT_EQ(cs, c.value) << c.name;
  }
  int cs = -1;
  EXPECT_FALSE(charsetByName("ANSI", cs));
}

TEST_F(CellMarkup, CopiesOwnTheirFont) {
  cmcCellObj a = basic();
  cmcCellObj b = a;
  b.font->height = 3;
  EXPECT_EQ(a.font->height, -17);
  a = b;
  EXPECT_EQ(a.font->height, 3);
}

using CellMarkupDeathTest = CellMarkup;

TEST_F(CellMarkupDeathTest, FaultsOfTheMarkupAreFatal) {
  cmcCellObj c;
  EXPECT_DEATH(parse(c, "{(@ch12=0)}"), "Ch No\\. Error");
  EXPECT_DEATH(parse(c, "{(@cx1=0)}"), "Ch No\\. Error");
  EXPECT_DEATH(parse(c, "{(%Flex0[@ch])}"), "Ch No\\. Error");
  EXPECT_DEATH(parse(c, "\\(@ch0-1)"), "Ch No\\. Error");
  EXPECT_DEATH(parser.parseCell(c, "{(%Flex0[@ch0])}", nullptr, nullptr), "Ch No\\. Error");
  EXPECT_DEATH(parse(c, "x\\(@ch0"), "Illegal Ch No\\.");
  EXPECT_DEATH(parse(c, "{(%CT_Bad.Flex0)}"), "Cannot use the specified category\\.\n'CT_Bad'");
  EXPECT_DEATH(parse(c, "{(%CL_Bad[1])}"), "Cannot use the specified cell\\.\n'CL_Bad'");
  EXPECT_DEATH(parse(c, "{($NoSuch)}"), "The index 'CellModel_NoSuch' was not found");
  EXPECT_DEATH(parse(c, "{($Loop)}"), "Cell models nest too deeply");
}
