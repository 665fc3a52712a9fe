#include "model/destinations.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <limits>

#include "base/fatal.h"
#include "gtex/celllinks.h"
#include "model/ChannelView.h"
#include "model/cmcEeprom.h"
#include "model/memorymap.h"

using namespace memmap;

namespace {

constexpr const char* kNames[kDestinationCount] = {
    "USA_A_0000", "USA_B_0001", "AUS_0010",   "SEA_A_0011", "EUR_A_0100", "EUR_B_0101",
    "THA_A_0110", "THA_B_0111", "CHI_A_1000", "CHI_B_1001", "KOR_1010",   "TPE_1011",
    "EXP_A_1100", "EXP_B_1101", "SEA_B_1110", "JPN_1111"};

void copyBytes(cmcEeprom& image, const cmcEeprom& from, int address, int n) {
  image.writeBlock(address, from.data() + address, n);
}

uint32_t snapped(uint32_t value, bool isOffset) {
  const int64_t s = snapFrequency(value, isOffset);
  // Only a value within 50 kHz of the 32-bit ceiling could round past it.
  return s > std::numeric_limits<uint32_t>::max() ? value - value % 50000 : uint32_t(s);
}

int stateDisplayMode(const cmcEeprom& image, int stateAddress) {
  return displayMode(image.getByte(stateAddress + state::kDisplayMode));
}

bool functionMemoryInWX(const cmcEeprom& image, int index) {
  return stateDisplayMode(image, index == 0 ? kF1State : kF2State) == kDisplayWX;
}

bool hexDigit(uint8_t c) { return std::isxdigit(c) != 0; }

}  // namespace

const char* destinationName(int code) {
  return (code >= 0 && code < kDestinationCount) ? kNames[code] : "";
}

void buildDefaultImage(cmcEeprom& target, int code, FactoryImageLookup factory) {
  if (code < 0 || code >= kDestinationCount) code = 0;
  const uint8_t* bytes = factory ? factory(code) : nullptr;
  if (!bytes) fatalError("Factory image not found.");
  if (target.size() < kImageSize) target.setSize(kImageSize);
  target.writeBlock(kCloneFirst, bytes, kCloneSize);
}

bool validateImage(const cmcEeprom& image, bool checkModel) {
  if (image.size() < kCloneSize) return false;
  if (image.getByte(kFormatByte) != kFormatValid) return false;
  if (!checkModel) return true;
  return std::memcmp(image.data() + kModelCode, kModelCodeText, kModelCodeLength) == 0;
}

void normaliseImage(cmcEeprom& image, const cmcEeprom& defaultImage,
                    const DestinationOptions& options) {
  if (image.size() < kCloneSize || defaultImage.size() < kCloneSize) return;
  for (int block : kSettingsBlocks) {
    for (int offset : {settings::kReserved16, settings::kReserved36, settings::kReserved48}) {
      image.setByte(block + offset, 0);
    }
  }
  if (!options.isUSA()) {
    for (int block : kSettingsBlocks) {
      copyBytes(image, defaultImage, block + settings::kAutoRepeater, 1);
      copyBytes(image, defaultImage, block + settings::kWxAlert, 1);
    }
    for (int stateBlock : kStateBlocks) {
      if (stateDisplayMode(image, stateBlock) == kDisplayWX) {
        copyBytes(image, defaultImage, stateBlock, kStateBlockSize);
      }
    }
  }
  if (!options.marineAvailable()) {
    for (int block : kSettingsBlocks)
      copyBytes(image, defaultImage, block + settings::kSpSelect, 1);
    for (int stateBlock : kStateBlocks) {
      if (stateDisplayMode(image, stateBlock) == kDisplayMemoryAlt) {
        copyBytes(image, defaultImage, stateBlock, kStateBlockSize);
      }
    }
  }
  ChannelView view(image, options);
  const auto snapAndCommit = [&view](int kind, int index) {
    view.load(kind, index);
    view.frequency = snapped(view.frequency, false);
    view.offset = snapped(view.offset, true);
    view.commit();
  };
  for (int i = 0; i <= 206; ++i) snapAndCommit(kKindConventional, i);
  for (int i = 0; i < 2; ++i) {
    if (!functionMemoryInWX(image, i)) snapAndCommit(kKindFunction, i);
  }
  copyBytes(image, defaultImage, kFormatByte, 1);
  copyBytes(image, defaultImage, kModelCode, kModelCodeLength);
}

void repairChannels(cmcEeprom& image, const cmcEeprom& defaultImage,
                    const DestinationOptions& options) {
  if (image.size() < kCloneSize || defaultImage.size() < kCloneSize) return;
  const BandTable bands(options.destination);
  ChannelView view(image, options);
  const auto repair = [&](int kind, int index) {
    view.load(kind, index);
    if (!view.inUse) return;
    if (bands.transmitCheck(view.frequency, options.rxExpansion) == 0 &&
        !fmNarrowCaution(view.inUse, view.mode, options.fmNarrowAllowed())) {
      return;
    }
    view.loadFrom(defaultImage, kind, index);
    if (kind == kKindConventional && index < 206) view.inUse = false;
    view.commit();
  };
  for (int i = 0; i <= 206; ++i) repair(kKindConventional, i);
  // A function memory showing a weather channel holds that channel's frequency, which is
  // receive-only by nature; the sheets show no caution for it, so it is left as it is.
  for (int i = 0; i < 2; ++i) {
    if (!functionMemoryInWX(image, i)) repair(kKindFunction, i);
  }
}

DestinationOptions CloneInfo::options() const {
  DestinationOptions o;
  o.destination = destination();
  o.setOptionBits(optionBits());
  return o;
}

QByteArray CloneInfo::comment() const {
  return QByteArray(reinterpret_cast<const char*>(bytes.data() + kComment), kCommentLength);
}

QByteArray cloneInfoSerialText(const CloneInfo& info) {
  const uint8_t* s = info.bytes.data() + CloneInfo::kSerial;
  for (int i = 0; i < CloneInfo::kSerialLength; ++i) {
    if (!hexDigit(s[i])) return "Unknown";
  }
  const auto hex = [s](int from, int n) {
    return QByteArray(reinterpret_cast<const char*>(s + from), n).toULongLong(nullptr, 16);
  };
  const unsigned long long part1 = hex(0, 4), part2 = hex(4, 2), part3 = hex(6, 8) % 1000000;
  char text[32];
  std::snprintf(text, sizeof text, "%04llu%02llu%06llu", part1, part2, part3);
  return text;
}

QByteArray cloneInfoCommentText(const CloneInfo& info) {
  QByteArray text = info.comment();
  while (text.endsWith(' ')) text.chop(1);
  return text;
}

QByteArray cloneInfoDestinationText(const CloneInfo& info) {
  return destinationName(info.destination());
}

QByteArray cloneInfoOptionText(bool set) { return set ? "Expand" : "Inhibit"; }

QByteArray cloneInfoText(int link, const CloneInfo& info) {
  const DestinationOptions o = info.options();
  switch (link) {
    case CL_CloneInfo_Esn:
      return cloneInfoSerialText(info);
    case CL_CloneInfo_Comment:
      return cloneInfoCommentText(info);
    case CL_CloneInfo_Destination:
      return cloneInfoDestinationText(info);
    case CL_CloneInfo_Marine:
      return cloneInfoOptionText(o.marine);
    case CL_CloneInfo_FmNarrow:
      return cloneInfoOptionText(o.fmNarrow);
    case CL_CloneInfo_RxExpand:
      return cloneInfoOptionText(o.rxExpansion);
    case CL_CloneInfo_HighPower:
      return cloneInfoOptionText(o.highPower);
    default:
      return {};
  }
}

DestinationModel::DestinationModel(cmcEeprom& defaultImage, FactoryImageLookup factory)
    : defaultImage_(defaultImage), factory_(factory), bands_(options_.destination) {}

void DestinationModel::setDestination(int code) {
  options_.destination = code;
  bands_.rebuild(code);
  buildDefaultImage();
  if (changed_) changed_();
}

void DestinationModel::buildDefaultImage() {
  ::buildDefaultImage(defaultImage_, options_.destination, factory_);
}

void DestinationModel::normaliseImage(cmcEeprom& image) const {
  ::normaliseImage(image, defaultImage_, options_);
}

void DestinationModel::repairChannels(cmcEeprom& image) const {
  ::repairChannels(image, defaultImage_, options_);
}
