#include "model/ChannelView.h"

#include <algorithm>

#include "model/cmcEeprom.h"
#include "model/memorymap.h"

using namespace memmap;

namespace {

constexpr uint32_t kWeatherTable[10] = {162550000, 162400000, 162475000, 162425000, 162450000,
                                        162500000, 162525000, 161650000, 161775000, 163275000};

uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

bool imageUsable(const cmcEeprom* image) { return image && image->size() >= kCloneSize; }

int decodePower(unsigned byte, const DestinationOptions& options) {
  const int power = int((byte >> kPowerShift) & 3);
  return (power == 3 && !options.highPower) ? 2 : power;
}

// The fields shared by channel records and state records, from the tone byte onwards.
void decodeCommon(const uint8_t* toneBytes, unsigned unitsByte, unsigned dupByte,
                  const DestinationOptions& options, ChannelFields& f) {
  f.tone = toneBytes[0];
  f.toneSquelch = toneBytes[1];
  f.dtcs = toneBytes[2];
  f.step = int(toneBytes[3] >> 4);
  f.toneMode = int(toneBytes[3] & 0x0F);
  f.frequencyUnit6250 = unitsByte & kFrequencyUnitBit;
  f.offsetUnit6250 = unitsByte & kOffsetUnitBit;
  f.mode = int((unitsByte >> kModeShift) & 3);
  f.power = decodePower(unitsByte, options);
  f.dtcsPolarity = int((dupByte >> kPolarityShift) & 3);
  f.duplex = int((dupByte >> kDuplexShift) & 3);
  f.dtmf = (dupByte & kDtmfBit) ? 1 : 0;
  f.reverse = (dupByte & kReverseBit) ? 1 : 0;
  f.txInhibit = (dupByte & kInhibitBit) ? 1 : 0;
}

void encodeCommon(uint8_t* toneBytes, uint8_t& unitsByte, uint8_t& dupByte, const ChannelUnits& u,
                  const ChannelFields& f, const DestinationOptions& options) {
  toneBytes[0] = uint8_t(f.tone);
  toneBytes[1] = uint8_t(f.toneSquelch);
  toneBytes[2] = uint8_t(f.dtcs);
  toneBytes[3] = uint8_t(((f.step & 0x0F) << 4) | (f.toneMode & 0x0F));
  const int power = (f.power == 3 && !options.highPower) ? 2 : f.power;
  unitsByte = uint8_t((unitsByte & kUnitsOpaqueMask) | (u.frequency6250 ? kFrequencyUnitBit : 0) |
                      (u.offset6250 ? kOffsetUnitBit : 0) | ((f.mode & 3) << kModeShift) |
                      ((power & 3) << kPowerShift));
  dupByte = uint8_t((dupByte & kLowBit) | ((f.dtcsPolarity & 3) << kPolarityShift) |
                    ((f.duplex & 3) << kDuplexShift) | (f.dtmf ? kDtmfBit : 0) |
                    (f.reverse ? kReverseBit : 0) | (f.txInhibit ? kInhibitBit : 0));
}

// A 16-bit count; a value beyond what the field can hold is kept at the field's maximum rather
// than wrapped into an unrelated frequency.
uint16_t countOf(uint32_t value, bool unit6250) {
  return uint16_t(std::min<uint32_t>(value / (unit6250 ? 6250u : 5000u), 0xFFFF));
}

bool nameDisplayBit(const cmcEeprom& image, int index) {
  return (image.getByte(kNameDisplayBits + index / 8) >> (index % 8)) & 1;
}

void decodeConventional(const cmcEeprom& image, int index, const DestinationOptions& options,
                        ChannelFields& f) {
  uint8_t r[kChannelRecordSize];
  image.readBlock(channelRecordAddress(index), r, kChannelRecordSize);
  f.frequencyUnit6250 = r[rec::kUnitsModePower] & kFrequencyUnitBit;
  f.offsetUnit6250 = r[rec::kUnitsModePower] & kOffsetUnitBit;
  f.frequency = uint32_t(u16(r + rec::kFrequency)) * (f.frequencyUnit6250 ? 6250u : 5000u);
  f.offset = uint32_t(u16(r + rec::kOffset)) * (f.offsetUnit6250 ? 6250u : 5000u);
  std::copy_n(r + rec::kName, rec::kNameLength, f.name.begin());
  decodeCommon(r + rec::kTone, r[rec::kUnitsModePower], r[rec::kPolarityDuplexEtc], options, f);

  const bool marineChannel = index >= 207;
  f.nameDisplay = marineChannel ? 1 : int(nameDisplayBit(image, index));
  const int flagAddress = flagByteAddress(index);
  if (flagAddress < 0) {  // the call channel is always in use
    f.inUse = true;
    f.scanSkip = 0;
    f.marine = 0;
    f.bank = ChannelFields::kNoBank;
    return;
  }
  const unsigned flag = image.getByte(flagAddress);
  f.inUse = !(flag & kFlagEmptyBit);
  f.scanSkip = (flag & kFlagSkipBit) ? 1 : 0;
  f.marine = (flag & kFlagMarineBit) ? 1 : 0;
  f.bank = marineChannel ? ChannelFields::kNoBank : int(flag & kFlagBankMask);
}

void encodeConventional(cmcEeprom& image, int index, const ChannelFields& f,
                        const DestinationOptions& options) {
  const int address = channelRecordAddress(index);
  if (address < 0) return;
  uint8_t r[kChannelRecordSize];
  image.readBlock(address, r, kChannelRecordSize);
  const ChannelUnits u = chooseUnits(f.frequency, f.offset);
  put16(r + rec::kFrequency, countOf(f.frequency, u.frequency6250));
  put16(r + rec::kOffset, countOf(f.offset, u.offset6250));
  std::copy_n(f.name.begin(), rec::kNameLength, r + rec::kName);
  encodeCommon(r + rec::kTone, r[rec::kUnitsModePower], r[rec::kPolarityDuplexEtc], u, f, options);
  image.writeBlock(address, r, kChannelRecordSize);

  if (index <= 206) {
    const int byteAddress = kNameDisplayBits + index / 8;
    const uint8_t bit = uint8_t(1u << (index % 8));
    const uint8_t old = image.getByte(byteAddress);
    image.setByte(byteAddress, f.nameDisplay ? uint8_t(old | bit) : uint8_t(old & ~bit));
  }

  const int flagAddress = flagByteAddress(index);
  if (flagAddress < 0) return;
  const unsigned old = image.getByte(flagAddress);
  if (!f.inUse) {
    image.setByte(flagAddress, uint8_t((old & kFlagOpaqueBit) | kFlagCleared));
    return;
  }
  image.setByte(flagAddress, uint8_t((old & kFlagOpaqueBit) | (f.marine ? kFlagMarineBit : 0) |
                                     (f.scanSkip ? kFlagSkipBit : 0) | (f.bank & kFlagBankMask)));
}

int functionMemoryAddress(int index) { return index == 0 ? kF1State : kF2State; }

}  // namespace

void ChannelFields::setName(const char* bytes, int length) {
  name.fill(' ');
  for (int i = 0; i < length && i < int(name.size()); ++i) name[size_t(i)] = bytes[i];
}

uint32_t weatherFrequency(int index) {
  return (index >= 0 && index < 10) ? kWeatherTable[index] : 0;
}

ChannelUnits chooseUnits(uint32_t frequency, uint32_t offset) {
  const auto fits5k = [](uint32_t v) { return v % 5000 == 0; };
  const auto fits625 = [](uint32_t v) { return v % 6250 == 0; };
  if (fits5k(frequency) && fits5k(offset)) return {false, false};
  if (fits625(frequency) && fits625(offset)) return {true, true};
  return {!fits5k(frequency) && fits625(frequency), !fits5k(offset) && fits625(offset)};
}

ChannelView::ChannelView(cmcEeprom& image, const DestinationOptions& options) : options_(options) {
  bind(image);
}

void ChannelView::bind(cmcEeprom& image) {
  resetFields();
  image_ = &image;
}

bool ChannelView::indexInRange(int kind, int index) {
  switch (kind) {
    case kKindConventional:
      return index >= 0 && index <= 306;
    case kKindFunction:
      return index == 0 || index == 1;
    case kKindTemplate:
    case kKindEdgeTemplate:
      return true;  // the index is ignored
    case kKindWeather:
      return index >= 0 && index <= 9;
    default:
      return false;
  }
}

bool ChannelView::decode(const cmcEeprom& image, int kind, int index,
                         const DestinationOptions& options, ChannelFields& out) {
  out = ChannelFields{};
  if (!indexInRange(kind, index)) return false;
  if (kind == kKindWeather) {  // needs no image
    out.frequency = weatherFrequency(index);
    out.tone = 8;
    out.toneSquelch = 8;
    out.step = 5;
    out.frequencyUnit6250 = true;
    out.offsetUnit6250 = true;
    out.bank = ChannelFields::kNoBank;
    return true;
  }
  if (!imageUsable(&image)) return false;
  switch (kind) {
    case kKindConventional:
      decodeConventional(image, index, options, out);
      return true;
    case kKindFunction:
      decodeStateRecord(image, functionMemoryAddress(index), options, out);
      return true;
    default:  // the two template kinds differ only in scan skip
      decodeStateRecord(image, kTemplate, options, out);
      out.inUse = true;
      out.scanSkip = kind == kKindEdgeTemplate ? 1 : 0;
      return true;
  }
}

void ChannelView::decodeStateRecord(const cmcEeprom& image, int address,
                                    const DestinationOptions& options, ChannelFields& f) {
  uint8_t r[kStateRecordSize];
  image.readBlock(address, r, kStateRecordSize);
  f.frequency = u32(r + state::kFrequencyHz);
  f.offset = u32(r + state::kOffsetHz);
  std::copy_n(r + state::kName, rec::kNameLength, f.name.begin());
  decodeCommon(r + state::kTone, r[state::kUnitsModePower], r[state::kPolarityDuplexEtc], options,
               f);
  f.nameDisplay = r[state::kPolarityDuplexEtc] & kLowBit;
  f.inUse = !(r[state::kUseSkip] & kStateEmptyBit);
  f.scanSkip = (r[state::kUseSkip] & kStateSkipBit) ? 1 : 0;
  f.bank = ChannelFields::kNoBank;
  f.marine = 0;
}

void ChannelView::encodeStateRecord(cmcEeprom& image, int address, const ChannelFields& f,
                                    const DestinationOptions& options) {
  uint8_t r[kStateRecordSize];
  if (address < 0 || address + kStateRecordSize > image.size()) return;
  image.readBlock(address, r, kStateRecordSize);
  const ChannelUnits u = chooseUnits(f.frequency, f.offset);
  put32(r + state::kFrequencyHz, f.frequency);
  put32(r + state::kOffsetHz, f.offset);
  std::copy_n(f.name.begin(), rec::kNameLength, r + state::kName);
  encodeCommon(r + state::kTone, r[state::kUnitsModePower], r[state::kPolarityDuplexEtc], u, f,
               options);
  r[state::kPolarityDuplexEtc] =
      uint8_t((r[state::kPolarityDuplexEtc] & ~kLowBit) | (f.nameDisplay ? kLowBit : 0));
  r[state::kUseSkip] = uint8_t((r[state::kUseSkip] & ~(kStateEmptyBit | kStateSkipBit)) |
                               (f.inUse ? 0 : kStateEmptyBit) | (f.scanSkip ? kStateSkipBit : 0));
  r[state::kCleared] = uint8_t(r[state::kCleared] & ~kStateClearedBit);
  image.writeBlock(address, r, kStateRecordSize);
}

bool ChannelView::load(int kind, int index) {
  kind_ = kind;
  index_ = index;
  if (!image_) {
    resetFields();
    return kind == kKindWeather && decode(cmcEeprom{}, kind, index, options_, *this);
  }
  return decode(*image_, kind, index, options_, *this);
}

void ChannelView::store() {
  if (!imageUsable(image_) || !indexInRange(kind_, index_)) return;
  if (kind_ == kKindConventional) {
    encodeConventional(*image_, index_, *this, options_);
  } else if (kind_ == kKindFunction) {
    encodeStateRecord(*image_, functionMemoryAddress(index_), *this, options_);
  }
}

void ChannelView::commit() {
  store();
  load(kind_, index_);
}

void ChannelView::loadFrom(const cmcEeprom& image, int kind, int index) {
  ChannelFields scratch;
  decode(image, kind, index, options_, scratch);
  setFields(scratch);
}
