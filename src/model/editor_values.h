#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Formatting and parsing of the values the editors show and accept, free of any request record so
// that the field catalogue, the import and the tests can use them directly. Texts are code page
// 932 bytes; numbers are read the same way everywhere (numericChars, then readScaledNumber).

// Typed numbers keep only digits, '.' and '-', and only their first `limit` characters.
constexpr int kTypedNumberLimit = 9;
QByteArray numericChars(const QByteArray& text, int limit = kTypedNumberLimit);

// Reads the longest numeric prefix of `text` ([-]digits[.digits]) times `scale` (a power of ten up
// to 10^9), rounded half away from zero and limited to the signed 32-bit range. Text without a
// number reads as 0. Exact: no floating point is involved.
int64_t readScaledNumber(const QByteArray& text, int64_t scale);

// The integer part of a text's leading number ([-]digits after leading blanks), 0 when none; used
// to compare typed numbers with list texts.
int64_t leadingInteger(const QByteArray& text);

// --- frequencies -----------------------------------------------------------------------------
constexpr int kFrequencyDecimals = 6;
// Integer MHz right-aligned in three places, a full stop and six decimals: 146010000 gives
// "146.010000", 600000 gives "  0.600000".
QByteArray frequencyText(int64_t hz);
// A typed frequency in MHz: filtered, cut, read, limited to the signed 32-bit range in Hz and
// clamped into [minHz, maxHz]; "," and the locale's decimal separator are the decimal point.
// nullopt for a text that holds no number or more than one decimal point (nothing to store).
std::optional<int64_t> parseFrequencyText(const QByteArray& typed, int64_t minHz, int64_t maxHz);

// --- numbers ---------------------------------------------------------------------------------
// A typed number: read, minus shownOffset, rounded to a multiple of step (half away from zero),
// clamped into [min, max]. nullopt for an empty text.
std::optional<int64_t> parseNumberText(const QByteArray& typed, int64_t min, int64_t max,
                                       int64_t shownOffset, int64_t step);
// Space (+1) and backspace (-1): add or subtract step, wrap past either end, then round down to a
// multiple of step.
int64_t stepNumber(int64_t value, int64_t min, int64_t max, int64_t step, int direction);

// --- channel numbers -------------------------------------------------------------------------
// The display-channel chooser: 0..199 and above 206 in decimal plus shownOffset; 200..206 as a
// pair digit pair (space for a zero tens digit) and "A"/"B" (200 is " 0A", 203 is " 1B").
QByteArray channelChooserText(int64_t value, int64_t shownOffset);
// "1B" gives 203, "7" gives 7 (minus shownOffset), clamped into [min, max]. nullopt for an empty
// text.
std::optional<int64_t> parseChannelChooserText(const QByteArray& typed, int64_t min, int64_t max,
                                               int64_t shownOffset);

// --- the emergency channel -------------------------------------------------------------------
// Values (numbering::emergencyLabel shows them): 0 VFO, 1..206 channel index + 1, 207 CALL.
// A typed emergency channel: "V"/"C" for VFO and CALL when offered, "12" for memory channel 12,
// "2B" for scan edge 203. Taken only when the named channel is in use; nullopt leaves the value.
std::optional<int> parseEmergencyText(const QByteArray& typed, bool offerVfoAndCall,
                                      const std::function<bool(int index)>& channelInUse);

// --- on/off patterns -------------------------------------------------------------------------
// Positions first..last, the first in the most significant of the used bits.
int bitPatternWidth(int first, int last);
uint32_t bitPatternMask(int first, int last);
// "A_C_______\n": each position's letter when set, "_" when clear, then a line feed.
QByteArray bitPatternText(uint32_t value, int first, int last);

// --- number matching for selection lists -----------------------------------------------------
// Index of the text whose leading number is nearest to the typed one (the first of equally near);
// -1 for an empty list.
int nearestByNumber(const QByteArray& typed, const std::vector<QByteArray>& texts);
