#pragma once

#include <cstdint>

// The destination (regional version) and its four feature options. The application keeps one
// and hands it to whatever needs to know (channel views, editors, normalisation); nothing reads
// a global.
struct DestinationOptions {
  static constexpr int kNone = 16;  // no destination chosen yet

  // Option bits as the transceiver reports them in its clone information.
  static constexpr uint8_t kRxExpansionBit = 0x01;
  static constexpr uint8_t kHighPowerBit = 0x02;
  static constexpr uint8_t kFmNarrowBit = 0x04;
  static constexpr uint8_t kMarineBit = 0x08;

  int destination = kNone;   // 0..15, or kNone
  bool marine = false;       // marine microphone keys, speaker select, marine sheets
  bool fmNarrow = false;     // FM-N may be used
  bool rxExpansion = false;  // frequencies outside the amateur band are not cautioned
  bool highPower = false;    // four power levels instead of three

  bool isUSA() const { return destination == 0 || destination == 1; }
  bool marineAvailable() const { return marine && rxExpansion; }
  bool fmNarrowAllowed() const { return fmNarrow; }

  uint8_t optionBits() const {
    return uint8_t((rxExpansion ? kRxExpansionBit : 0) | (highPower ? kHighPowerBit : 0) |
                   (fmNarrow ? kFmNarrowBit : 0) | (marine ? kMarineBit : 0));
  }
  void setOptionBits(uint8_t bits) {
    rxExpansion = bits & kRxExpansionBit;
    highPower = bits & kHighPowerBit;
    fmNarrow = bits & kFmNarrowBit;
    marine = bits & kMarineBit;
  }

  bool operator==(const DestinationOptions&) const = default;
};
