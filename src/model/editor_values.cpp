#include "model/editor_values.h"

#include <QLocale>
#include <algorithm>
#include <cstdio>
#include <limits>

#include "base/textcodec.h"
#include "model/numbering.h"

namespace {

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

QByteArray trimmed(const QByteArray& text) {
  int b = 0;
  int e = static_cast<int>(text.size());
  while (b < e && isBlank(text[b])) ++b;
  while (e > b && isBlank(text[e - 1])) --e;
  return text.mid(b, e - b);
}

// The text without its double-byte characters, so that letters and signs are never matched
// inside one.
QByteArray singleByteChars(const QByteArray& text) {
  QByteArray out;
  for (int i = 0; i < text.size(); ++i) {
    if (isCp932LeadByte(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    out.append(text[i]);
  }
  return out;
}

int64_t roundToStep(int64_t v, int64_t step) {
  if (step <= 1) return v;
  const int64_t q = v / step;
  const int64_t r = v % step;
  if (2 * (r < 0 ? -r : r) >= step) return (q + (v < 0 ? -1 : 1)) * step;
  return q * step;
}

int64_t floorToStep(int64_t v, int64_t step) {
  if (step <= 1) return v;
  int64_t q = v / step;
  if (v % step != 0 && v < 0) --q;
  return q * step;
}

}  // namespace

QByteArray numericChars(const QByteArray& text, int limit) {
  QByteArray out;
  for (char c : text) {
    if (out.size() >= limit) break;
    if (isDigit(c) || c == '.' || c == '-') out.append(c);
  }
  return out;
}

int64_t readScaledNumber(const QByteArray& text, int64_t scale) {
  int i = 0;
  const int n = static_cast<int>(text.size());
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  // The integer part saturates beyond the 32-bit range; the result is limited there anyway.
  int64_t whole = 0;
  int digits = 0;
  while (i < n && isDigit(text[i])) {
    whole = std::min<int64_t>(whole * 10 + (text[i] - '0'), int64_t{1} << 40);
    ++i;
    ++digits;
  }
  // Ten fraction digits decide every rounding at scales up to 10^9.
  int64_t fraction = 0;
  int64_t fractionScale = 1;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && isDigit(text[i])) {
      if (fractionScale < 10000000000LL) {
        fraction = fraction * 10 + (text[i] - '0');
        fractionScale *= 10;
      }
      ++i;
      ++digits;
    }
  }
  if (digits == 0) return 0;
  __int128 value = static_cast<__int128>(whole) * scale;
  const __int128 scaled = static_cast<__int128>(fraction) * scale;
  value += scaled / fractionScale;
  if (2 * (scaled % fractionScale) >= fractionScale) value += 1;
  if (negative) value = -value;
  if (value < kInt32Min) return kInt32Min;
  if (value > kInt32Max) return kInt32Max;
  return static_cast<int64_t>(value);
}

int64_t leadingInteger(const QByteArray& text) {
  int i = 0;
  const int n = static_cast<int>(text.size());
  while (i < n && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t v = 0;
  while (i < n && isDigit(text[i])) v = std::min<int64_t>(v * 10 + (text[i++] - '0'), kInt32Max);
  return negative ? -v : v;
}

QByteArray frequencyText(int64_t hz) {
  const int64_t a = hz < 0 ? -hz : hz;
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%3lld.%0*lld", static_cast<long long>(a / 1000000),
                kFrequencyDecimals, static_cast<long long>(a % 1000000));
  QByteArray text(buffer);
  if (hz < 0) text.prepend('-');
  return text;
}

std::optional<int64_t> parseFrequencyText(const QByteArray& typed, int64_t minHz, int64_t maxHz) {
  if (typed.isEmpty()) return std::nullopt;
  // A frequency has no thousands, so a comma (what decimal-comma locales type, their keypads
  // too) and the locale's own decimal separator can only be the decimal point.
  static const char localeMark = [] {
    const QString mark = QLocale::system().decimalPoint();
    const char16_t c = mark.size() == 1 ? mark[0].unicode() : u'.';
    return c > ' ' && c < 0x40 && !(c >= '0' && c <= '9') && c != '-' ? char(c) : '.';
  }();
  QByteArray text = typed;
  for (char& c : text)
    if (c == ',' || c == localeMark) c = '.';
  const QByteArray number = numericChars(text);
  // Text that is not one number (no digit, two decimal points) keeps the value rather than
  // becoming another one.
  if (std::none_of(number.begin(), number.end(), isDigit) || number.count('.') > 1)
    return std::nullopt;
  const int64_t hz = readScaledNumber(number, 1000000);
  if (hz >= maxHz) return maxHz;
  if (hz < minHz) return minHz;
  return hz;
}

std::optional<int64_t> parseNumberText(const QByteArray& typed, int64_t min, int64_t max,
                                       int64_t shownOffset, int64_t step) {
  if (typed.isEmpty()) return std::nullopt;
  int64_t v = readScaledNumber(numericChars(typed), 1) - shownOffset;
  v = roundToStep(v, step);
  return std::clamp(v, min, std::max(min, max));
}

int64_t stepNumber(int64_t value, int64_t min, int64_t max, int64_t step, int direction) {
  if (step < 1) step = 1;
  int64_t v = value + (direction < 0 ? -step : step);
  if (v < min) v = max;
  if (v > max) v = min;
  return std::clamp(floorToStep(v, step), min, std::max(min, max));
}

QByteArray channelChooserText(int64_t value, int64_t shownOffset) {
  if (value >= numbering::kFirstScanEdge && value <= numbering::kCallChannel) {
    return numbering::displayChannelLabel(static_cast<int>(value));
  }
  return QByteArray::number(static_cast<qlonglong>(value + shownOffset));
}

std::optional<int64_t> parseChannelChooserText(const QByteArray& typed, int64_t min, int64_t max,
                                               int64_t shownOffset) {
  const QByteArray text = trimmed(typed);
  if (text.isEmpty()) return std::nullopt;
  QByteArray head = text.size() >= 3 ? text.left(3) : text.size() == 2 ? "0" + text : QByteArray();
  int64_t v;
  if (head.size() == 3 && isDigit(head[0]) && isDigit(head[1]) &&
      (head[2] == 'A' || head[2] == 'B' || head[2] == 'a' || head[2] == 'b')) {
    const int pair = (head[0] - '0') * 10 + (head[1] - '0');
    v = 200 + 2 * pair + ((head[2] == 'B' || head[2] == 'b') ? 1 : 0);
  } else {
    v = readScaledNumber(numericChars(text), 1) - shownOffset;
  }
  return std::clamp(v, min, std::max(min, max));
}

std::optional<int> parseEmergencyText(const QByteArray& typed, bool offerVfoAndCall,
                                      const std::function<bool(int index)>& channelInUse) {
  const QByteArray text = singleByteChars(trimmed(typed)).toUpper();
  if (offerVfoAndCall && text.startsWith('V')) return numbering::kEmergencyVFO;
  if (offerVfoAndCall && text.startsWith('C')) return numbering::kEmergencyCall;
  QByteArray kept;
  for (char c : text) {
    if (isDigit(c) || c == '-' || c == 'A' || c == 'B') kept.append(c);
  }
  // A text without any digit names no channel (not channel 0).
  if (std::none_of(kept.begin(), kept.end(), isDigit)) return std::nullopt;
  const int letter =
      static_cast<int>(std::min(kept.indexOf('A') < 0 ? kept.size() : kept.indexOf('A'),
                                kept.indexOf('B') < 0 ? kept.size() : kept.indexOf('B')));
  int index;
  if (letter < kept.size()) {
    const int64_t pair = readScaledNumber(kept.left(letter), 1);
    const int64_t i = 2 * pair + (kept[letter] == 'A' ? 0 : 1) + 198;
    if (i < 200 || i > 205) return std::nullopt;
    index = static_cast<int>(i);
  } else {
    const int64_t i = readScaledNumber(kept, 1);
    if (i < 0 || i > 199) return std::nullopt;
    index = static_cast<int>(i);
  }
  if (!channelInUse || !channelInUse(index)) return std::nullopt;
  return numbering::emergencyValueOf(index);
}

int bitPatternWidth(int first, int last) { return std::clamp(last - first + 1, 0, 26); }

uint32_t bitPatternMask(int first, int last) {
  const int w = bitPatternWidth(first, last);
  return w >= 32 ? 0xFFFFFFFFu : (1u << w) - 1u;
}

QByteArray bitPatternText(uint32_t value, int first, int last) {
  const int w = bitPatternWidth(first, last);
  QByteArray text;
  for (int k = 0; k < w; ++k) {
    text.append((value >> (w - 1 - k)) & 1u ? static_cast<char>('A' + k) : '_');
  }
  text.append('\n');
  return text;
}

int nearestByNumber(const QByteArray& typed, const std::vector<QByteArray>& texts) {
  const int64_t target = leadingInteger(typed);
  int best = -1;
  int64_t bestDistance = 0;
  for (int i = 0; i < static_cast<int>(texts.size()); ++i) {
    const int64_t d = std::abs(leadingInteger(texts[i]) - target);
    if (best < 0 || d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}
