#pragma once

// Where everything lives in the transceiver's memory image. Addresses are image addresses;
// multi-byte numbers are little-endian. Bytes not named here are opaque: they travel unchanged
// between cable, file and image and no field interprets them.
namespace memmap {

// Sizes of the application's images and of the transceiver's memory (the clone range).
constexpr int kImageSize = 0x3000;
constexpr int kCloneFirst = 0x0000;
constexpr int kCloneLast = 0x189F;
constexpr int kCloneSize = kCloneLast + 1;  // 6304

// Channel records: 16 bytes at 16 × index for 0..206; marine records sit 16 bytes further on.
constexpr int kChannelRecordSize = 16;
constexpr int kMemoryRecords = 0x0000;    // indexes 0..199
constexpr int kScanEdgeRecords = 0x0C80;  // indexes 200..205
constexpr int kCallRecord = 0x0CE0;       // index 206
constexpr int kMarineRecords = 0x0D00;    // indexes 207..306, 100 records
constexpr int kMarineRecordShift = 16;

// Channel flag bytes: 0x1340 + i for 0..205 (the call channel has none), 0x1341 + i for marine.
constexpr int kFlagBytes = 0x1340;
constexpr int kMarineFlagBytes = 0x1410;
constexpr int kMarineFlagShift = 1;

constexpr int kBankNames = 0x1480;  // 10 banks A..J
constexpr int kBankCount = 10;
constexpr int kBankNameStride = 8;
constexpr int kBankNameLength = 6;
constexpr int kCloneComment = 0x14D0;
constexpr int kCloneCommentLength = 16;
constexpr int kNameDisplayBits = 0x14E0;  // bit (i mod 8) of byte i div 8, for indexes 0..206
constexpr int kNameDisplayBytes = 26;

// State records (32 bytes): the new-channel template, the main state and the function memories.
constexpr int kStateRecordSize = 32;
constexpr int kStateBlockSize = 64;  // a state record and the 32 opaque bytes behind it
constexpr int kTemplate = 0x1500;
constexpr int kMainState = 0x1520;
constexpr int kF1State = 0x1700;
constexpr int kF2State = 0x1780;

constexpr int kDtmfMemories = 0x1560;  // 16 memories d0..dF
constexpr int kDtmfMemoryCount = 16;
constexpr int kDtmfMemorySize = 16;
constexpr int kDtmfMaxDigits = 24;
constexpr int kDtmfCountOffset = 15;

// Settings blocks (64 bytes): main, F-1, F-2.
constexpr int kSettingsBlockSize = 64;
constexpr int kMainSettings = 0x1660;
constexpr int kF1Settings = 0x1740;
constexpr int kF2Settings = 0x17C0;
constexpr int kSettingsBlocks[3] = {kMainSettings, kF1Settings, kF2Settings};
constexpr int kStateBlocks[3] = {kMainState, kF1State, kF2State};

constexpr int kFormatByte = 0x1880;  // a valid image holds 1
constexpr int kFormatValid = 1;
constexpr int kModelCode = 0x1888;  // eight ASCII digits
constexpr int kModelCodeLength = 8;
constexpr char kModelCodeText[] = "32510001";

// Channel record bytes.
namespace rec {
constexpr int kFrequency = 0;  // u16 count of frequency units
constexpr int kOffset = 2;     // u16 count of offset units
constexpr int kName = 4;       // 6 characters
constexpr int kNameLength = 6;
constexpr int kTone = 10;
constexpr int kToneSquelch = 11;
constexpr int kDtcs = 12;
constexpr int kStepToneMode = 13;  // step in bits 7-4, tone mode in bits 3-0
constexpr int kUnitsModePower = 14;
constexpr int kPolarityDuplexEtc = 15;
}  // namespace rec

// State record bytes (32 bytes).
namespace state {
constexpr int kFrequencyHz = 0;  // u32
constexpr int kOffsetHz = 4;     // u32
constexpr int kName = 8;
constexpr int kTone = 14;
constexpr int kToneSquelch = 15;
constexpr int kDtcs = 16;
constexpr int kStepToneMode = 17;
constexpr int kUnitsModePower = 18;
constexpr int kPolarityDuplexEtc = 19;  // bit 0 is the name display here
constexpr int kMemoryChannel = 20;      // u16, display mode M
constexpr int kWeatherChannel = 24;     // 0..9, display mode WX
constexpr int kDisplayMode = 26;
constexpr int kUseSkip = 27;  // bit 5 empty, bit 4 skip
constexpr int kCleared = 29;  // bit 2 cleared on every store
}  // namespace state

// Bits of channel record byte 14 / state record byte 18.
constexpr unsigned kFrequencyUnitBit = 0x80;
constexpr unsigned kOffsetUnitBit = 0x40;
constexpr int kModeShift = 4;
constexpr int kPowerShift = 2;
constexpr unsigned kUnitsOpaqueMask = 0x03;
// Bits of channel record byte 15 / state record byte 19.
constexpr int kPolarityShift = 6;
constexpr int kDuplexShift = 4;
constexpr unsigned kDtmfBit = 0x08;
constexpr unsigned kReverseBit = 0x04;
constexpr unsigned kInhibitBit = 0x02;
constexpr unsigned kLowBit = 0x01;  // opaque in channel records, name display in state records

// Channel flag byte.
constexpr unsigned kFlagOpaqueBit = 0x80;
constexpr unsigned kFlagMarineBit = 0x40;
constexpr unsigned kFlagEmptyBit = 0x20;
constexpr unsigned kFlagSkipBit = 0x10;
constexpr unsigned kFlagBankMask = 0x0F;
constexpr unsigned kFlagCleared = 0x3A;  // empty, skip, no bank
// State record byte 27.
constexpr unsigned kStateEmptyBit = 0x20;
constexpr unsigned kStateSkipBit = 0x10;
constexpr unsigned kStateClearedBit = 0x04;  // byte 29

// Display modes of a state record (byte 26).
constexpr int kDisplayWX = 0;
constexpr int kDisplayCall = 1;
constexpr int kDisplayMemory = 2;
constexpr int kDisplayMemoryAlt = 3;
constexpr int kDisplayVFO = 4;
constexpr int displayMode(unsigned byte26) {
  return (byte26 & 0x04) ? kDisplayVFO : int(byte26 & 0x03);
}

// Settings block offsets.
namespace settings {
constexpr int kBeep = 0;
constexpr int kTOT = 1;
constexpr int kAutoRepeater = 2;
constexpr int kAutoPowerOff = 3;
constexpr int kBusyLockout = 4;
constexpr int kSqlControl = 5;
constexpr int kSqlAttSel = 6;
constexpr int kDtmfSpeed = 7;  // same value in all three blocks
constexpr int kMemoryDisp = 8;
constexpr int kMemoryDispCopy = 9;  // written together with kMemoryDisp
constexpr int kToneBurst = 10;
constexpr int kVoltage = 11;
constexpr int kBankOptKey = 12;
constexpr int kEmergencyChannel = 13;
constexpr int kEmergencyAlertVolume = 14;
constexpr int kTemporaryVolume = 15;
constexpr int kReserved16 = 16;  // forced to 0 by normalisation
constexpr int kDimmer = 17;
constexpr int kAutoDimmer = 18;
constexpr int kLcdContrast = 19;
constexpr int kPauseTimer = 20;
constexpr int kMicGain = 21;
constexpr int kResumeTimer = 22;
constexpr int kWxAlert = 23;
constexpr int kBankLinkScan = 24;
constexpr int kBankLinkFirst = 25;  // 25..34, banks A..J
constexpr int kReserved36 = 36;     // forced to 0 by normalisation
constexpr int kScanEdge = 37;
constexpr int kDtmfChannel = 38;  // same value in all three blocks
constexpr int kMicUp = 39;
constexpr int kMicDown = 40;
constexpr int kMarinePriority = 41;  // marine number 0..99, same in all three blocks
constexpr int kMarineCall = 42;      // marine number 0..99, same in all three blocks
constexpr int kSpSelect = 43;
constexpr int kFoghornFreq = 44;  // (Hz - 200) / 10
constexpr int kPaVol = 45;
constexpr int kFoghornVol = 46;
constexpr int kMarinePrio = 47;
constexpr int kReserved48 = 48;  // forced to 0 by normalisation
}  // namespace settings

// Image address of the 16-byte record of conventional channel `index` (0..306), or -1.
constexpr int channelRecordAddress(int index) {
  if (index < 0 || index > 306) return -1;
  return kChannelRecordSize * index + (index >= 207 ? kMarineRecordShift : 0);
}

// Image address of the flag byte of conventional channel `index`, or -1 (call channel, range).
constexpr int flagByteAddress(int index) {
  if (index < 0 || index > 306 || index == 206) return -1;
  return kFlagBytes + index + (index >= 207 ? kMarineFlagShift : 0);
}

static_assert(channelRecordAddress(200) == kScanEdgeRecords);
static_assert(channelRecordAddress(206) == kCallRecord);
static_assert(channelRecordAddress(207) == kMarineRecords);
static_assert(flagByteAddress(207) == kMarineFlagBytes);
static_assert(channelRecordAddress(306) + kChannelRecordSize == 0x1340);

}  // namespace memmap
