// The reader, the mark-up parser and the selection lists over the program's own main text.
#if __has_include("resources/embedded_text.h")
#include <gtest/gtest.h>

#include "gtex/cellmarkup.h"
#include "gtex/cmcFCache.h"
#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"
#include "test_util.h"

namespace {
struct MainText : ::testing::Test {
  MainText() {
    const EmbeddedText t = mainResourceText();
    text.setSource(t.lines, t.count);
  }
  cmcGTex text;
};
}  // namespace

TEST_F(MainText, EveryCellParses) {
  const EmbeddedText t = mainResourceText();
  cmcCellParser parser(text);
  int cells = 0;
  bool ended = false;
  for (int i = 0; i < t.count && !ended; ++i) {
    const QByteArray header(t.lines[i]);
    if (header.size() < 2 || header[0] != '#') continue;
    const QByteArray name = header.mid(1);
    ended = name == "End_Of_Ovl";
    if (!name.endsWith("_Cells") && !name.endsWith("_Body") && !name.endsWith("_BasicCell"))
      continue;
    CellVariables vars{};
    for (int n = 0;; ++n) {
      const QByteArray line = text.getLine(name.constData(), n);
      if (line.startsWith('#')) break;
      if (line.startsWith(':') || line.contains("%%"))
        continue;  // directives and run-time templates
      QByteArrayView rest = line;
      while (!rest.isEmpty()) {
        cmcCellObj cell;
        rest = parser.parseCell(cell, rest, nullptr, &vars);
        ++cells;
      }
    }
  }
  EXPECT_GT(cells, 500);
}

TEST_F(MainText, SelectionListsOfTheText) {
  cmcFCache cache(text);
  EXPECT_EQ(cache.listText("GI_Sheet_Sel_Misc_OnOff_I", Flex0, 1), "OFF");
  EXPECT_EQ(cache.listText("GI_Sheet_Sel_Misc_OnOff_I", Flex0, 0), "ON");
  EXPECT_EQ(cache.listStep("GI_Sheet_Sel_Misc_OnOff_I", Flex0, 1, 1).value, 0);
  EXPECT_EQ(cache.listStep("GI_Sheet_Sel_Misc_OnOff_I", Flex0, 0, 1).value, 1);
  EXPECT_EQ(cache.listText("GI_Sheet_Sel_Mch_TS_Pitch", Flex0, 3), "12.5k");
  EXPECT_EQ(cache.listText("GI_Sheet_Sel_Mch_TS_Pitch", Flex0, 99), "error");
  EXPECT_EQ(text.getValue("GI_Sys_TreeChangeDelay"), "200");
  EXPECT_TRUE(text.hasSection("GI_Sheet_MemoryCH_Cells"));
}
#endif
