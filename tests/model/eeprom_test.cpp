#include <gtest/gtest.h>

#include "model/cmcEeprom.h"

TEST(Eeprom, SetSizeAlwaysZeroesAndDifferentSizesNeverEqual) {
  cmcEeprom a(16);
  a.fill(0x55);
  a.setSize(16);
  EXPECT_EQ(a.getByte(15), 0);
  cmcEeprom b(17);
  EXPECT_FALSE(a.equals(b));  // a is a prefix of b, still not equal
  EXPECT_TRUE(a.differs(b));
  b.setSize(16);
  EXPECT_TRUE(a.equals(b));
}

TEST(Eeprom, BadBlockRangesCopyNothing) {
  cmcEeprom img(8);
  const uint8_t src[4] = {1, 2, 3, 4};
  img.writeBlock(6, src, 4);   // past the end
  img.writeBlock(-1, src, 2);  // invalid start
  img.writeBlock(0, src, 0);   // nothing to copy
  for (int i = 0; i < 8; ++i) EXPECT_EQ(img.getByte(i), 0) << i;
  img.writeBlock(4, src, 4);
  uint8_t out[4] = {9, 9, 9, 9};
  img.readBlock(5, out, 4);  // past the end: untouched
  EXPECT_EQ(out[0], 9);
  img.readBlock(4, out, 4);
  EXPECT_EQ(out[3], 4);
}

TEST(EepromDeathTest, AddressOutsideTheImageIsFatal) {
  cmcEeprom img(4);
  EXPECT_DEATH(img.setByte(4, 1), "Out of EEPROM image address \\(SetByte\\)\\.");
  EXPECT_DEATH(img.getByte(-1), "Out of EEPROM image address \\(GetByte\\)\\.");
}
