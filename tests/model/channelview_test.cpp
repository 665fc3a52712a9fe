#include "model/ChannelView.h"

#include <gtest/gtest.h>

#include "model/cmcEeprom.h"
#include "model/memorymap.h"

namespace {

using namespace memmap;

int u16At(const cmcEeprom& img, int a) { return img.getByte(a) | (img.getByte(a + 1) << 8); }

struct UnitCase {
  uint32_t frequency, offset;
  int frequencyCount;
  bool frequency6250;
  int offsetCount;
  bool offset6250;
};

class UnitChoice : public ::testing::TestWithParam<UnitCase> {};

TEST_P(UnitChoice, StoresCountsInTheChosenUnitsAndReadsTheValuesBack) {
  const UnitCase c = GetParam();
  cmcEeprom img(kImageSize);
  ChannelView view(img, {});
  view.load(kKindConventional, 3);
  view.frequency = c.frequency;
  view.offset = c.offset;
  view.commit();
  const int rec = channelRecordAddress(3);
  EXPECT_EQ(u16At(img, rec), c.frequencyCount);
  EXPECT_EQ(u16At(img, rec + 2), c.offsetCount);
  EXPECT_EQ(bool(img.getByte(rec + 14) & 0x80), c.frequency6250);
  EXPECT_EQ(bool(img.getByte(rec + 14) & 0x40), c.offset6250);
  EXPECT_EQ(view.frequency, c.frequency);
  EXPECT_EQ(view.offset, c.offset);
  EXPECT_EQ(view.frequencyUnit6250, c.frequency6250);

  // The function memories keep whole Hz but maintain the same unit bits.
  ChannelView f1(img, {});
  f1.load(kKindFunction, 0);
  f1.frequency = c.frequency;
  f1.offset = c.offset;
  f1.commit();
  EXPECT_EQ(f1.frequency, c.frequency);
  EXPECT_EQ(f1.offset, c.offset);
  EXPECT_EQ(bool(img.getByte(kF1State + 18) & 0x80), c.frequency6250);
  EXPECT_EQ(bool(img.getByte(kF1State + 18) & 0x40), c.offset6250);
}

INSTANTIATE_TEST_SUITE_P(ChannelView, UnitChoice,
                         ::testing::Values(UnitCase{146010000, 0, 29202, false, 0, false},
                                           UnitCase{145006250, 0, 23201, true, 0, true},
                                           // both are multiples of 6250: both in 6.25 kHz units
                                           UnitCase{145012500, 600000, 23202, true, 96, true},
                                           // neither unit fits both: each value by itself
                                           UnitCase{145006250, 605000, 23201, true, 121, false}));

TEST(ChannelView, AllFieldsSurviveCommitAndOpaqueBitsStay) {
  cmcEeprom img(kImageSize);
  const int rec = channelRecordAddress(12);
  img.setByte(rec + 14, 0x03);  // opaque bits 1-0
  img.setByte(rec + 15, 0x01);  // opaque bit 0
  DestinationOptions high;
  high.highPower = true;
  ChannelView view(img, high);
  view.load(kKindConventional, 12);
  ChannelFields f;
  f.frequency = 147300000;
  f.duplex = 2;
  f.reverse = 1;
  f.offset = 600000;
  f.txInhibit = 1;
  f.power = 3;
  f.toneMode = 6;
  f.bank = 9;
  f.scanSkip = 1;
  f.mode = 1;
  f.tone = 49;
  f.toneSquelch = 12;
  f.dtcs = 103;
  f.dtcsPolarity = 2;
  f.dtmf = 1;
  f.step = 8;
  f.nameDisplay = 1;
  f.setName("AB-9", 4);
  f.marine = 1;
  view.setFields(f);
  view.commit();
  EXPECT_EQ(view.fields(), f);
  EXPECT_EQ(img.getByte(rec + 14) & 0x03, 0x03);
  EXPECT_EQ(img.getByte(rec + 15) & 0x01, 0x01);
  EXPECT_EQ(img.getByte(kFlagBytes + 12), 0x59);  // marine, skip, bank J
  EXPECT_EQ(img.getByte(kNameDisplayBits + 1), 0x10);

  ChannelView f2(img, high);
  f2.load(kKindFunction, 1);
  f.bank = ChannelFields::kNoBank;  // function memories have neither bank nor marine flag
  f.marine = 0;
  img.setByte(kF2State + 29, 0xFF);
  f2.setFields(f);
  f2.commit();
  EXPECT_EQ(f2.fields(), f);
  EXPECT_EQ(img.getByte(kF2State + 29), 0xFB);  // bit 2 cleared on every store
  EXPECT_EQ(img.getByte(kF2State + 27), 0x10);  // in use, skip
  EXPECT_EQ(img.getByte(kF2State + 19) & 0x01, 1);
}

TEST(ChannelView, MarineChannelsLieSixteenBytesFurtherOnAndShowNoBank) {
  cmcEeprom img(kImageSize);
  ChannelView view(img, {});
  view.load(kKindConventional, 207);
  view.frequency = 156800000;
  view.bank = 3;
  view.nameDisplay = 0;
  view.commit();
  EXPECT_EQ(u16At(img, 0x0D00), 156800000 / 5000);
  EXPECT_EQ(u16At(img, 0x0CF0), 0);
  EXPECT_EQ(img.getByte(0x1410), 0x03);
  EXPECT_EQ(img.getByte(0x140F), 0x00);
  EXPECT_EQ(view.bank, ChannelFields::kNoBank);
  EXPECT_EQ(view.nameDisplay, 1);  // always on for marine channels
  EXPECT_EQ(img.getByte(kNameDisplayBits + 25), 0);
  view.load(kKindConventional, 306);
  view.frequency = 157425000;
  view.commit();
  EXPECT_EQ(u16At(img, 0x1330), 157425000 / 5000);
  EXPECT_EQ(img.getByte(0x1473), 0x0A);  // the shown "no bank" is written back
}

TEST(ChannelView, ClearingKeepsOnlyTheOpaqueFlagBitAndNeverTouchesTheCallChannelFlags) {
  cmcEeprom img(kImageSize);
  img.setByte(kFlagBytes + 5, 0x8A);
  ChannelView view(img, {});
  view.load(kKindConventional, 5);
  EXPECT_TRUE(view.inUse);
  view.inUse = false;
  view.commit();
  EXPECT_EQ(img.getByte(kFlagBytes + 5), 0xBA);
  EXPECT_FALSE(view.inUse);
  EXPECT_EQ(view.scanSkip, 1);

  cmcEeprom before;
  img.setByte(0x140E, 0x5A);
  before.assign(img);
  view.load(kKindConventional, 206);
  EXPECT_TRUE(view.inUse);
  view.inUse = false;
  view.commit();
  EXPECT_TRUE(view.inUse);
  EXPECT_TRUE(img.equals(before));
}

TEST(ChannelView, PowerThreeNeedsTheHighPowerOption) {
  for (bool high : {false, true}) {
    DestinationOptions opts;
    opts.highPower = high;
    cmcEeprom img(kImageSize);
    img.setByte(channelRecordAddress(0) + 14, 3 << 2);
    img.setByte(kF1State + 18, 3 << 2);
    ChannelView view(img, opts);
    view.load(kKindConventional, 0);
    EXPECT_EQ(view.power, high ? 3 : 2);
    view.power = 3;
    view.commit();
    EXPECT_EQ((img.getByte(14) >> 2) & 3, high ? 3 : 2);
    view.load(kKindFunction, 0);
    EXPECT_EQ(view.power, high ? 3 : 2);
  }
}

TEST(ChannelView, OutOfRangeIndexesLeaveResetValuesAndStoreNothing) {
  cmcEeprom img(kImageSize);
  img.fill(0x55);
  cmcEeprom before;
  before.assign(img);
  const ChannelFields reset;
  const std::pair<int, int> cases[] = {{kKindConventional, -1}, {kKindConventional, 307},
                                       {kKindFunction, 2},      {kKindWeather, 10},
                                       {kKindNone, 0},          {3, 0}};
  for (auto [kind, index] : cases) {
    ChannelView view(img, {});
    EXPECT_FALSE(view.load(kind, index)) << kind << "/" << index;
    EXPECT_EQ(view.fields(), reset) << kind << "/" << index;
    view.frequency = 146000000;
    view.commit();
    EXPECT_TRUE(img.equals(before)) << kind << "/" << index;
  }
}

TEST(ChannelView, ReadOnlyKindsDecodeButAreNeverWritten) {
  cmcEeprom img(kImageSize);
  ChannelFields t;
  t.frequency = 146010000;
  t.offset = 600000;
  t.inUse = false;  // templates are in use whatever the record says
  ChannelView::encodeStateRecord(img, kTemplate, t, {});
  cmcEeprom before;
  before.assign(img);

  ChannelView view(img, {});
  view.load(kKindTemplate, 99);
  EXPECT_EQ(view.frequency, 146010000u);
  EXPECT_TRUE(view.inUse);
  EXPECT_EQ(view.scanSkip, 0);
  EXPECT_EQ(view.bank, ChannelFields::kNoBank);
  view.load(kKindEdgeTemplate, 0);
  EXPECT_EQ(view.scanSkip, 1);
  view.frequency = 1;
  view.commit();
  EXPECT_TRUE(img.equals(before));

  view.load(kKindWeather, 3);
  EXPECT_EQ(view.frequency, 162425000u);
  EXPECT_EQ(view.tone, 8);
  EXPECT_EQ(view.toneSquelch, 8);
  EXPECT_EQ(view.step, 5);
  EXPECT_TRUE(view.frequencyUnit6250 && view.offsetUnit6250);
  EXPECT_EQ(view.bank, ChannelFields::kNoBank);
  EXPECT_EQ(weatherFrequency(9), 163275000u);
}

TEST(ChannelView, LoadFromTakesTheValuesButKeepsKindIndexAndImage) {
  cmcEeprom working(kImageSize), defaults(kImageSize);
  ChannelFields t;
  t.frequency = 145000000;
  t.step = 3;
  ChannelView::encodeStateRecord(defaults, kTemplate, t, {});
  ChannelView view(working, {});
  view.load(kKindConventional, 42);
  view.loadFrom(defaults, kKindTemplate, 0);
  EXPECT_EQ(view.kind(), kKindConventional);
  EXPECT_EQ(view.index(), 42);
  EXPECT_EQ(view.image(), &working);
  EXPECT_EQ(view.frequency, 145000000u);
  EXPECT_EQ(view.step, 3);
  view.commit();
  EXPECT_EQ(u16At(working, channelRecordAddress(42)), 145000000 / 5000);
}

}  // namespace
