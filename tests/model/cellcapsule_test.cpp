#include <gtest/gtest.h>

#include "model/cmcCellCapsule.h"

static_assert(kRepaintSameLinkAndIndex == 1 && kRepaintSameCategory == 2 && kRepaintSameLink == 4 &&
              kRepaintSameIndex == 8 && kRepaintAdjacentIndex == 16 && kRepaintAllLinked == 32 &&
              kRepaintIndexFrom == 64 && kRepaintIndexUpTo == 128);
static_assert(kDispatchDone == 0 && kDispatchListOpened == 1 && kDispatchOpenEditor == 2);
static_assert(kKeyLeftAtRowStart == 0x2500 && kKeyRightAtRowEnd == 0x2700 &&
              functionKey(2) == kKeyEdit && functionKey(12) == kKeyF12 &&
              kKeyCompositionStart == 0x10007 && kKeyDoubleClick == 256);

TEST(CellCapsule, FreshRequestOnlyAsksForDisplay) {
  cmcCellCapsule c;
  EXPECT_TRUE(c.forPainting());
  EXPECT_EQ(c.key, kKeyNone);
  EXPECT_EQ(c.operation, kOpDisplayOrKey);
  EXPECT_EQ(c.significantLength, 255);
  EXPECT_FALSE(c.jump.requested);
  EXPECT_EQ(c.jump.link, CL_None);
  EXPECT_FALSE(c.repaint);
  c.origin = CellOrigin::Grid;  // a request from the grid is an edit request
  EXPECT_FALSE(c.forPainting());
}

TEST(CellCapsule, FieldsKeepTheirDeclaredOrder) {
  cmcCellCapsule c;
  const void* fields[] = {&c.parent,
                          &c.origin,
                          &c.cell,
                          &c.paint,
                          &c.imageList,
                          &c.caretStart,
                          &c.caretLength,
                          &c.maxLength,
                          &c.key,
                          &c.popupCommand,
                          &c.typedText,
                          &c.resultText,
                          &c.significantLength,
                          &c.sheetName,
                          &c.sheetArguments,
                          &c.marks,
                          &c.markPosition,
                          &c.operation,
                          &c.jump,
                          &c.multipleSelection,
                          &c.repaint,
                          &c.reopenEditor};
  for (size_t i = 1; i < std::size(fields); ++i)
    EXPECT_LT(static_cast<const char*>(fields[i - 1]), static_cast<const char*>(fields[i])) << i;
}
