#include "gtex/celllinks.h"

#include <gtest/gtest.h>

static_assert(CL_Mch_Freq == 108 && CallSheet == 58 && CL_Common_CloneComment == 172 &&
              CL_None == 173);

TEST(CellLinks, NamesAndNumbers) {
  // First and last of every group, so a missing or doubled name anywhere shows.
  const struct {
    const char* name;
    int id;
  } links[] = {
      {"CL_Null", 0},
      {"Flex0", 1},
      {"FlexMarking_Mode", 5},
      {"CL_Menu_File_New", 6},
      {"CL_Help_About", 28},
      {"CL_Menu_Debug_PopupHelpCheck", 40},
      {"CL_EeDebugWin_Adr", 41},
      {"CL_EeDebugWin_0", 42},
      {"CL_EeDebugWin_A", 52},
      {"CL_EeDebugWin_F", 57},
      {"CallSheet", 58},
      {"CL_Check_MemoryCH0", 59},
      {"CL_Check_F2_Common", 67},
      {"CL_CloneInfo_Esn", 68},
      {"CL_CloneInfo_HighPower", 74},
      {"CL_Debug_Info_Destination", 75},
      {"CL_Debug_ICS_LOAD", 81},
      {"CL_PMenu_NoItem", 82},
      {"CL_PMenu_Help", 95},
      {"CL_FBits", 96},
      {"CL_Misc_ChNo_0Base", 97},
      {"CL_Misc_GroupNm", 105},
      {"CL_Top_Version", 106},
      {"CL_Top_Copyright", 107},
      {"CL_Mch_Freq", 108},
      {"CL_Mch_Bank_Group", 128},
      {"CL_ChList_Atr", 129},
      {"CL_Disp_VMC", 130},
      {"CL_Disp_Degug_ChNo_WX", 134},
      {"CL_Bank_Name", 135},
      {"CL_DTMF_Memory_Code", 137},
      {"CL_Common_DTMF_CH_NO", 138},
      {"CL_Common_CloneComment", 172},
      {"", 173},
  };
  for (const auto& l : links) {
    EXPECT_EQ(linkOf(l.name), l.id) << l.name;
    EXPECT_STREQ(linkName(l.id), l.name);
  }
  for (int id = 0; id < kLinkCount; ++id) EXPECT_EQ(linkOf(linkName(id)), id);
  EXPECT_STREQ(linkName(-1), "");
  EXPECT_STREQ(linkName(174), "");

  const char* const categories[] = {"CT_Null", "CT_PopupMenu", "CT_Conv", "CT_Func"};
  for (int c = 0; c < kCategoryCount; ++c) EXPECT_EQ(categoryOf(categories[c]), c);
  EXPECT_EQ(categoryOf(""), CT_None);
  const int kinds[] = {0, 0, 1, 2, 0};
  for (int c = 0; c <= CT_None; ++c) EXPECT_EQ(channelKindOf(c), kinds[c]) << c;
}

TEST(CellLinksDeathTest, UnknownNamesAreFatal) {
  EXPECT_DEATH(linkOf("CL_Mch_Frequency"), "Cannot use the specified cell\\.\n'CL_Mch_Frequency'");
  EXPECT_DEATH(categoryOf("CT_Foo"), "Cannot use the specified category\\.\n'CT_Foo'");
  // Both kinds share one name table; a name of the other kind is still unknown.
  EXPECT_DEATH(categoryOf("Flex0"), "Cannot use the specified category\\.\n'Flex0'");
  EXPECT_DEATH(linkOf("CT_Conv"), "Cannot use the specified cell\\.\n'CT_Conv'");
  EXPECT_DEATH(linkOf("cl_mch_freq"), "Cannot use the specified cell");  // case counts
  EXPECT_DEATH(channelKindOf(5), "Unknown Cell Category\\.");
}
