#pragma once

#include <array>
#include <cstdint>
#include <vector>

// Frequency rules of the transceiver: the band table and amateur band of each destination, the
// frequency grid, the transmit-range and out-of-range tests, and the tone and code lists that
// channel records index into. Frequencies are whole Hz.

// Destination codes 0..15; 16 means none chosen yet. For the tables here 16 and above count as 15.
constexpr int kDestinationCount = 16;
constexpr int kNoDestination = 16;

// The receive range every destination allows on its cells (136.000000 to 174.000000 MHz); a
// channel outside it carries the range mark.
constexpr int64_t kRangeLowHz = 136000000;
constexpr int64_t kRangeHighHz = 174000000;

// Offsets never snap above this.
constexpr int64_t kOffsetCeilingHz = 159995000;
// The largest duplex offset a channel may have: the offset cell's range, and what a channel list
// may bring in. It lies on the frequency grid, so snapping a valid offset keeps it valid.
constexpr int64_t kOffsetMaxHz = 20000000;

struct FrequencyRange {
  int64_t first;  // inclusive
  int64_t last;   // inclusive
  bool contains(int64_t f) const { return f >= first && f <= last; }
};

// The amateur band of a destination code (16 and above count as 15).
FrequencyRange amateurBand(int destination);

// The band table and transmit ranges of the current destination; the application keeps one and
// rebuilds it when the destination changes.
class BandTable {
 public:
  static constexpr int kBandCount = 9;
  // Band of a frequency below the first band start.
  static constexpr int kBelowBands = 9;

  explicit BandTable(int destination = kNoDestination) { rebuild(destination); }
  void rebuild(int destination);

  int destination() const { return destination_; }
  int64_t bandStart(int n) const { return starts_[n]; }
  // The largest n whose start is at or below f; kBelowBands for f below every start.
  int bandOf(int64_t f) const;

  // Band 5's start to band 6's start - 1.
  FrequencyRange receiveRange() const { return receive_; }
  FrequencyRange amateur() const { return amateur_; }
  // Outside the amateur band: inside one of its excluded ranges.
  bool outsideAmateurBand(int64_t f) const;

  // The caution test of an in-use channel: 2 outside the receive range, 1 outside the amateur
  // band without receive expansion, else 0. With no destination chosen (16 or more) always 0.
  int transmitCheck(int64_t f, bool receiveExpansion) const;

 private:
  int destination_ = kNoDestination;
  std::array<int64_t, kBandCount> starts_{};
  FrequencyRange receive_{0, 0};
  FrequencyRange amateur_{0, 0};
  std::vector<FrequencyRange> excluded_;
};

// The range mark of an in-use channel: below 136 MHz or above 174 MHz.
inline bool outOfRange(int64_t f) { return f < kRangeLowHz || f > kRangeHighHz; }

// Channel modes (channel record byte 14 bits 5-4).
constexpr int kModeFm = 0;
constexpr int kModeFmNarrow = 1;

// The FM-narrow caution: an in-use FM-N channel on a destination without the FM-narrow option.
inline bool fmNarrowCaution(bool inUse, int mode, bool fmNarrowAllowed) {
  return inUse && mode == kModeFmNarrow && !fmNarrowAllowed;
}

// Snaps f onto the 5 kHz or the 6.25 kHz grid, whichever is nearer within its 50 kHz block (the
// 5 kHz grid wins a tie). Offsets are capped at kOffsetCeilingHz. A negative f is returned as it
// is, so that callers can reject it.
int64_t snapFrequency(int64_t f, bool isOffset);

// CTCSS tones in tenths of Hz, indexed by the tone fields of a channel (67.0 to 254.1 Hz).
constexpr int kToneCount = 50;
extern const std::array<int, kToneCount> kCtcssTonesTenthHz;

// DTCS codes as their three octal digits read as a decimal number (023 is 23), indexed by the
// DTCS field of a channel.
constexpr int kDtcsCount = 104;
extern const std::array<int, kDtcsCount> kDtcsCodes;
