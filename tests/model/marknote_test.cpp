#include "model/marknote.h"

#include <gtest/gtest.h>

#include "gtex/celllinks.h"
#include "model/cmcCellCapsule.h"

// A marked cell says what is wrong and what the radio does with it; an unmarked cell says
// nothing; a range error outweighs a caution on the same cell.
TEST(MarkNote, ExplainsEachMark) {
  EXPECT_EQ(markNote(CL_Mch_Freq, 0), QString());
  EXPECT_EQ(markNote(CL_Mch_Freq, kMarkCurrentCell), QString());
  EXPECT_TRUE(markNote(CL_Mch_Freq, kMarkCaution).contains("cleared (or set back to its factory setting) on save or write"));
  EXPECT_TRUE(markNote(CL_Mch_Freq, kMarkCaution | kMarkRange).contains("setting error"));
  EXPECT_TRUE(markNote(CL_Mch_Mode, kMarkCaution).startsWith("FM narrow"));
  EXPECT_TRUE(markNote(CL_Check_MemoryCH0, kMarkCaution).contains("open the sheet"));
  EXPECT_TRUE(markNote(CL_Common_EmergencyChannel, kMarkCaution).contains("emergency"));
}
