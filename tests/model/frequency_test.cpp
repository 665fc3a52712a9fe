#include "model/frequency.h"

#include <gtest/gtest.h>

TEST(Frequency, SnapsToTheNearerGridAndTheFiveKilohertzGridWinsATie) {
  struct Case {
    int64_t in;
    bool offset;
    int64_t out;
  };
  const Case cases[] = {
      {145012345, false, 145012500},  // 6.25k is 155 Hz away, 5k 2345 Hz
      {145002500, false, 145005000},  // tie of 2500 Hz: 5k grid
      {145000000, false, 145000000},
      {145006250, false, 145006250},
      {146010000, false, 146010000},
      {145049000, false, 145050000},  // rounding carries into the next 50 kHz block
      {145043750, false, 145043750},
      {145046000, false, 145045000},  // 1000 Hz to 45k beats 2250 Hz to 43.75k
      {12, false, 0},
      {170000000, true, 159995000},  // offsets are capped
      {159995000, true, 159995000},
      {170000000, false, 170000000},
      {-5, false, -5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(snapFrequency(c.in, c.offset), c.out) << c.in << (c.offset ? " offset" : "");
  }
}

TEST(Frequency, SnappedValuesAlwaysLieOnAGridAndNearTheInput) {
  for (int64_t f = 144000000; f < 144200000; f += 137) {
    const int64_t s = snapFrequency(f, false);
    EXPECT_TRUE(s % 5000 == 0 || s % 6250 == 0) << f;
    EXPECT_LE(std::abs(s - f), 2500) << f;
  }
}

TEST(Frequency, BandTableAndReceiveRangeFollowTheDestination) {
  BandTable usa(0);
  EXPECT_EQ(usa.bandOf(494999), BandTable::kBelowBands);
  EXPECT_EQ(usa.bandOf(495000), 0);
  EXPECT_EQ(usa.bandOf(136000000), 5);
  EXPECT_EQ(usa.bandOf(254999999), 5);
  EXPECT_EQ(usa.bandOf(255000000), 6);
  EXPECT_EQ(usa.bandOf(479000001), 8);
  EXPECT_EQ(usa.receiveRange().last, 254999999);

  BandTable jpn(15);
  EXPECT_EQ(jpn.bandOf(174000000), 5);
  EXPECT_EQ(jpn.bandOf(174000001), 6);
  EXPECT_EQ(jpn.receiveRange().last, 174000000);

  // No destination counts as Japan for the tables, but never cautions.
  BandTable none(kNoDestination);
  EXPECT_EQ(none.receiveRange().last, 174000000);
  EXPECT_EQ(none.amateur().first, 144000000);
  EXPECT_EQ(none.transmitCheck(100000000, false), 0);

  // Rebuilding replaces everything.
  jpn.rebuild(9);
  EXPECT_EQ(jpn.receiveRange().last, 254999999);
  EXPECT_EQ(jpn.amateur().first, 150000000);
}

TEST(Frequency, TransmitCheck) {
  struct Case {
    int destination;
    int64_t f;
    bool expansion;
    int result;
  };
  const Case cases[] = {
      {4, 145500000, false, 0},  // EUR_A: inside 144-146
      {4, 146500000, false, 1},  // outside the amateur band
      {4, 146500000, true, 0},   // receive expansion suppresses it
      {4, 146000000, false, 0},  // band ends are inclusive
      {4, 143999999, false, 1},
      {4, 135000000, true, 2},  // outside the receive range, expansion or not
      {4, 255000000, true, 2},
      {4, 200000000, true, 0},
      {15, 174000001, true, 2},  // Japan ends at 174 MHz
      {9, 150000000, false, 0},
      {9, 149999999, false, 1},
      {8, 136000000, false, 0},
  };
  for (const Case& c : cases) {
    BandTable t(c.destination);
    EXPECT_EQ(t.transmitCheck(c.f, c.expansion), c.result) << c.destination << " " << c.f;
  }
}

TEST(Frequency, RangeMarkAndNarrowCaution) {
  EXPECT_TRUE(outOfRange(135999999));
  EXPECT_FALSE(outOfRange(136000000));
  EXPECT_FALSE(outOfRange(174000000));
  EXPECT_TRUE(outOfRange(174000001));
  EXPECT_TRUE(fmNarrowCaution(true, kModeFmNarrow, false));
  EXPECT_FALSE(fmNarrowCaution(true, kModeFmNarrow, true));
  EXPECT_FALSE(fmNarrowCaution(false, kModeFmNarrow, false));
  EXPECT_FALSE(fmNarrowCaution(true, kModeFm, false));
}

TEST(Frequency, ToneAndCodeListsAreCompleteAndAscending) {
  EXPECT_EQ(kCtcssTonesTenthHz.front(), 670);
  EXPECT_EQ(kCtcssTonesTenthHz[8], 885);
  EXPECT_EQ(kCtcssTonesTenthHz.back(), 2541);
  EXPECT_EQ(kDtcsCodes.front(), 23);
  EXPECT_EQ(kDtcsCodes.back(), 754);
  for (int i = 1; i < kToneCount; ++i) EXPECT_LT(kCtcssTonesTenthHz[i - 1], kCtcssTonesTenthHz[i]);
  for (int i = 1; i < kDtcsCount; ++i) EXPECT_LT(kDtcsCodes[i - 1], kDtcsCodes[i]);
  for (int code : kDtcsCodes) {  // three octal digits
    EXPECT_LE(code % 10, 7);
    EXPECT_LE(code / 10 % 10, 7);
  }
}
