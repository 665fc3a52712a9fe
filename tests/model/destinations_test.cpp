#include "model/destinations.h"

#include <gtest/gtest.h>

#include <cstring>

#include "gtex/celllinks.h"
#include "model/ChannelView.h"
#include "model/cmcEeprom.h"
#include "model/memorymap.h"
#include "resources/factory/factory_images.h"

namespace {

using namespace memmap;

constexpr int kEUR_A = 4;

DestinationOptions optionsFor(int code, uint8_t bits = 0) {
  DestinationOptions o;
  o.destination = code;
  o.setOptionBits(bits);
  return o;
}

cmcEeprom factory(int code) {
  cmcEeprom img;
  buildDefaultImage(img, code, factoryImage);
  return img;
}

QByteArray bytesAt(const cmcEeprom& img, int address, int n) {
  return QByteArray(reinterpret_cast<const char*>(img.data() + address), n);
}

uint32_t channel0Frequency(int code) {
  switch (code) {
    case 3:
    case 14:
      return 146520000;
    case 8:
      return 136000000;
    case 9:
      return 150000000;
    case 0:
    case 1:
    case 12:
      return 146010000;
    default:
      return 145000000;
  }
}

class FactoryImage : public ::testing::TestWithParam<int> {};

TEST_P(FactoryImage, CarriesTheFactoryContents) {
  const int code = GetParam();
  const cmcEeprom img = factory(code);
  ASSERT_EQ(img.size(), kImageSize);
  EXPECT_TRUE(validateImage(img, true));
  EXPECT_EQ(bytesAt(img, kModelCode, 8), "32510001");
  EXPECT_EQ(std::memcmp(img.data(), factoryImage(code), kFactoryImageSize), 0);
  EXPECT_EQ(bytesAt(img, kCloneSize, kImageSize - kCloneSize),
            QByteArray(kImageSize - kCloneSize, '\0'));

  cmcEeprom copy;
  copy.assign(img);
  ChannelView view(copy, optionsFor(code));
  for (int i : {0, 206}) {
    view.load(kKindConventional, i);
    EXPECT_TRUE(view.inUse) << i;
    EXPECT_EQ(view.frequency, channel0Frequency(code)) << i;
    EXPECT_EQ(view.bank, ChannelFields::kNoBank) << i;
  }
  EXPECT_EQ(img.getByte(kFlagBytes + 0), 0x0A);
  for (int i = 1; i <= 205; ++i) ASSERT_EQ(img.getByte(flagByteAddress(i)), 0x3A) << i;
  for (int i = 207; i <= 306; ++i) {
    view.load(kKindConventional, i);
    ASSERT_EQ(view.inUse, i <= 293) << i;
    if (!view.inUse) continue;
    // The plan's receive frequencies: ship channels and coast stations, 156.025..162.025 MHz.
    EXPECT_GE(view.frequency, 156025000u) << i;
    EXPECT_LE(view.frequency, 162025000u) << i;
    EXPECT_EQ(view.duplex == 1, view.offset == 4600000) << i;
  }
  const std::pair<int, const char*> names[] = {
      {207, " M- 1 "}, {208, " M- 1A"}, {209, " M- 2 "}, {228, " M-16 "}, {293, " M-88A"}};
  for (auto [index, name] : names) {
    EXPECT_EQ(bytesAt(img, channelRecordAddress(index) + 4, 6), name) << index;
  }
  view.load(kKindConventional, 228);  // M-16, the distress channel: simplex
  EXPECT_EQ(view.frequency, 156800000u);
  EXPECT_EQ(view.duplex, 0);

  view.loadFrom(img, kKindTemplate, 0);
  EXPECT_EQ(view.frequency, channel0Frequency(code));
  EXPECT_EQ(view.offset, 600000u);
  for (int s : kStateBlocks) EXPECT_EQ(displayMode(img.getByte(s + 26)), kDisplayVFO);
  for (int b : {kF1Settings, kF2Settings}) {
    EXPECT_EQ(bytesAt(img, b, 64), bytesAt(img, kMainSettings, 64));
  }
  EXPECT_EQ(bytesAt(img, kCloneComment, 16), QByteArray(16, ' '));
  EXPECT_EQ(img.getByte(kFormatByte), 1);

  // A factory image is already what normalisation and repair would make of it.
  const DestinationOptions options = optionsFor(code);
  normaliseImage(copy, img, options);
  repairChannels(copy, img, options);
  EXPECT_TRUE(copy.equals(img));
}

INSTANTIATE_TEST_SUITE_P(Destinations, FactoryImage, ::testing::Range(0, kDestinationCount));

TEST(Destinations, CodeZeroSettingsAndBankNames) {
  const cmcEeprom img = factory(0);
  EXPECT_EQ(bytesAt(img, kMainSettings, 16),
            QByteArray::fromHex("01000100000000000000000100000100"));
  for (int b = 0; b < kBankCount; ++b) {
    EXPECT_EQ(bytesAt(img, kBankNames + 8 * b, 6), "      ");
  }
}

TEST(Destinations, NamesAndOptionTests) {
  EXPECT_STREQ(destinationName(0), "USA_A_0000");
  EXPECT_STREQ(destinationName(kEUR_A), "EUR_A_0100");
  EXPECT_STREQ(destinationName(15), "JPN_1111");
  EXPECT_STREQ(destinationName(16), "");

  struct Case {
    int code;
    uint8_t bits;
    bool usa, marine, fmNarrow, high;
  };
  const Case cases[] = {
      {0, 0x0, true, false, false, false},  {1, 0xF, true, true, true, true},
      {2, 0x8, false, false, false, false},  // marine without receive expansion
      {2, 0x9, false, true, false, false},  {16, 0x4, false, false, true, false},
      {15, 0x2, false, false, false, true},
  };
  cmcEeprom defaults;
  DestinationModel model(defaults, factoryImage);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.code << "/" << int(c.bits));
    model.setDestination(c.code);
    model.setOptionBits(c.bits);
    EXPECT_EQ(model.isUSA(), c.usa);
    EXPECT_EQ(model.marineAvailable(), c.marine);
    EXPECT_EQ(model.fmNarrowAllowed(), c.fmNarrow);
    EXPECT_EQ(model.highPower(), c.high);
    EXPECT_EQ(model.options().optionBits(), c.bits);
  }
}

TEST(Destinations, SetDestinationRebuildsTheDefaultImageAndTellsTheListener) {
  cmcEeprom defaults;
  DestinationModel model(defaults, factoryImage);
  int told = 0;
  model.setDestinationChangedListener([&told] { ++told; });
  model.setDestination(kEUR_A);
  EXPECT_TRUE(defaults.equals(factory(kEUR_A)));
  EXPECT_EQ(model.bands().destination(), kEUR_A);
  model.setDestination(16);  // none chosen: the factory image of code 0
  EXPECT_EQ(model.destination(), 16);
  EXPECT_TRUE(defaults.equals(factory(0)));
  EXPECT_EQ(told, 2);
}

TEST(Destinations, ValidationChecksFormatByteAndModelCode) {
  cmcEeprom img = factory(0);
  EXPECT_TRUE(validateImage(img, true));
  img.setByte(kModelCode + 7, '2');
  EXPECT_FALSE(validateImage(img, true));
  EXPECT_TRUE(validateImage(img, false));
  img.setByte(kFormatByte, 0);
  EXPECT_FALSE(validateImage(img, false));
  EXPECT_FALSE(validateImage(cmcEeprom(100), false));
}

TEST(Destinations, NormalisationFitsStatesAndSettingsToTheDestination) {
  const cmcEeprom defaults = factory(kEUR_A);
  cmcEeprom img;
  img.assign(defaults);
  img.setByte(kMainState + 26, kDisplayWX);
  img.setByte(kMainState + 24, 7);
  img.setByte(kF1State + 26, kDisplayMemoryAlt);  // marine display mode
  img.setByte(kF2State + 26, kDisplayMemory);
  for (int b : kSettingsBlocks) {
    for (int o : {16, 36, 48}) img.setByte(b + o, 9);
    img.setByte(b + settings::kAutoRepeater, 2);
    img.setByte(b + settings::kWxAlert, 1);
    img.setByte(b + settings::kSpSelect, 2);
  }
  // F-2 holds whole Hz off the grid.
  ChannelView view(img, optionsFor(kEUR_A));
  view.load(kKindFunction, 1);
  view.frequency = 145012300;
  view.offset = 600001;
  view.store();
  img.setByte(kFormatByte, 7);

  normaliseImage(img, defaults, optionsFor(kEUR_A));
  EXPECT_EQ(bytesAt(img, kMainState, 64), bytesAt(defaults, kMainState, 64));
  EXPECT_EQ(bytesAt(img, kF1State, 64), bytesAt(defaults, kF1State, 64));
  EXPECT_EQ(img.getByte(kF2State + 26), kDisplayMemory);
  for (int b : kSettingsBlocks) {
    EXPECT_EQ(bytesAt(img, b, 64), bytesAt(defaults, b, 64)) << std::hex << b;
  }
  view.load(kKindFunction, 1);
  EXPECT_EQ(view.frequency, 145012500u);
  EXPECT_EQ(view.offset, 600000u);
  EXPECT_EQ(img.getByte(kFormatByte), 1);

  // A USA destination with marine and receive expansion keeps all of these.
  cmcEeprom usa = factory(0);
  usa.setByte(kMainState + 26, kDisplayWX);
  usa.setByte(kF1State + 26, kDisplayMemoryAlt);
  usa.setByte(kMainSettings + settings::kWxAlert, 1);
  usa.setByte(kMainSettings + settings::kSpSelect, 2);
  normaliseImage(
      usa, factory(0),
      optionsFor(0, DestinationOptions::kMarineBit | DestinationOptions::kRxExpansionBit));
  EXPECT_EQ(usa.getByte(kMainState + 26), kDisplayWX);
  EXPECT_EQ(usa.getByte(kF1State + 26), kDisplayMemoryAlt);
  EXPECT_EQ(usa.getByte(kMainSettings + settings::kWxAlert), 1);
  EXPECT_EQ(usa.getByte(kMainSettings + settings::kSpSelect), 2);
}

TEST(Destinations, RepairReplacesChannelsTheDestinationCannotUse) {
  const cmcEeprom defaults = factory(kEUR_A);
  cmcEeprom img;
  img.assign(defaults);
  ChannelView view(img, optionsFor(kEUR_A));
  const auto set = [&view](int kind, int index, uint32_t f, int mode) {
    view.load(kind, index);
    view.inUse = true;
    view.frequency = f;
    view.mode = mode;
    view.setName("KEEP", 4);
    view.store();
  };
  set(kKindConventional, 5, 146500000, 0);    // outside 144-146 MHz
  set(kKindConventional, 6, 145500000, 0);    // inside
  set(kKindConventional, 7, 145500000, 1);    // FM-N without the option
  set(kKindConventional, 206, 146500000, 0);  // call channel
  set(kKindFunction, 0, 300000000, 0);        // outside the receive range

  cmcEeprom expanded;
  expanded.assign(img);
  repairChannels(
      expanded, defaults,
      optionsFor(kEUR_A, DestinationOptions::kRxExpansionBit | DestinationOptions::kFmNarrowBit));
  view.bind(expanded);
  view.load(kKindConventional, 5);
  EXPECT_TRUE(view.inUse);  // receive expansion allows it
  view.load(kKindFunction, 0);
  EXPECT_EQ(view.frequency, 145000000u);  // but not outside the receive range

  repairChannels(img, defaults, optionsFor(kEUR_A));
  const int r5 = channelRecordAddress(5);
  EXPECT_EQ(bytesAt(img, r5, 16), bytesAt(defaults, r5, 16));
  EXPECT_EQ(img.getByte(flagByteAddress(5)), 0x3A);
  view.bind(img);
  view.load(kKindConventional, 6);
  EXPECT_TRUE(view.inUse);
  EXPECT_EQ(view.frequency, 145500000u);
  view.load(kKindConventional, 7);
  EXPECT_FALSE(view.inUse);
  view.load(kKindConventional, 206);  // keeps its place in use, with the default values
  EXPECT_TRUE(view.inUse);
  EXPECT_EQ(view.frequency, 145000000u);
  view.load(kKindFunction, 0);
  EXPECT_TRUE(view.inUse);
  EXPECT_EQ(view.frequency, 145000000u);
}

TEST(Destinations, RepairLeavesAFunctionMemoryShowingAWeatherChannel) {
  const cmcEeprom defaults = factory(0);
  cmcEeprom img;
  img.assign(defaults);
  ChannelView view(img, optionsFor(0));
  view.load(kKindFunction, 1);
  view.loadFrom(img, kKindWeather, 0);
  view.store();
  img.setByte(kF2State + 26, kDisplayWX);
  repairChannels(img, defaults, optionsFor(0));
  view.load(kKindFunction, 1);
  EXPECT_EQ(view.frequency, 162550000u);
}

TEST(Destinations, CloneInformationTexts) {
  CloneInfo info;
  info.bytes[1] = 1;
  std::memcpy(info.bytes.data() + 2, "MY RADIO        ", 16);
  info.bytes[18] = 0xF4;  // high bits opaque
  info.bytes[19] = 0xF0 | DestinationOptions::kMarineBit | DestinationOptions::kHighPowerBit;
  std::memcpy(info.bytes.data() + 28, "07D90C0001E240", 14);

  EXPECT_EQ(info.destination(), kEUR_A);
  EXPECT_EQ(cloneInfoText(CL_CloneInfo_Esn, info), "200912123456");
  EXPECT_EQ(cloneInfoText(CL_CloneInfo_Comment, info), "MY RADIO");
  EXPECT_EQ(cloneInfoText(CL_CloneInfo_Destination, info), "EUR_A_0100");
  EXPECT_EQ(cloneInfoText(CL_CloneInfo_Marine, info), "Expand");
  EXPECT_EQ(cloneInfoText(CL_CloneInfo_FmNarrow, info), "Inhibit");
  EXPECT_EQ(cloneInfoText(CL_CloneInfo_RxExpand, info), "Inhibit");
  EXPECT_EQ(cloneInfoText(CL_CloneInfo_HighPower, info), "Expand");
  EXPECT_EQ(info.options(), optionsFor(kEUR_A, 0x0A));

  std::memcpy(info.bytes.data() + 28, "07d90c0001e240", 14);  // lower case is accepted
  EXPECT_EQ(cloneInfoSerialText(info), "200912123456");
  std::memcpy(info.bytes.data() + 28, "FFFFFF3B9ACA07", 14);  // part 3 is shown modulo 10^6
  EXPECT_EQ(cloneInfoSerialText(info), "65535255000007");
  info.bytes[33] = ' ';
  EXPECT_EQ(cloneInfoSerialText(info), "Unknown");
}

}  // namespace
