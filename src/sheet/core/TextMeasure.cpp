#include "sheet/core/TextMeasure.h"

#include <algorithm>
#include <cstdint>

#include "base/textcodec.h"

namespace {
// A font of any height (the mark-up takes whatever number it is given) measures without
// overflow: the arithmetic is wide and sizes stop far beyond any screen or page, with room left
// for the paddings the sheet adds to them.
constexpr int64_t kLargestSize = int64_t{1} << 24;
int saturated(int64_t value) { return int(std::clamp<int64_t>(value, 0, kLargestSize)); }
}  // namespace

TextExtent TextMeasure::measure(QByteArrayView text, const CellFont& font) const {
  TextExtent extent;
  const int height = lineHeight(font);
  qsizetype start = 0;
  for (;;) {
    const qsizetype end = text.indexOf('\n', start);
    const QByteArrayView line = end < 0 ? text.sliced(start) : text.sliced(start, end - start);
    extent.width = std::max(extent.width, lineWidth(line, font));
    extent.height = saturated(int64_t{extent.height} + height);
    if (end < 0) break;
    start = end + 1;
  }
  return extent;
}

int FixedPitchMeasure::characterHeight(const CellFont& font) {
  const int64_t height = font.height;
  return std::max(saturated(height < 0 ? -height : height * 5 / 6), 1);
}

int FixedPitchMeasure::lineWidth(QByteArrayView line, const CellFont& font) const {
  const int half = (characterHeight(font) + 1) / 2;
  int64_t units = 0;
  for (qsizetype i = 0; i < line.size(); ++i) {
    if (isCp932LeadByte(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) {
      units += 2;
      ++i;
    } else {
      ++units;
    }
  }
  return saturated(units * half);
}

int FixedPitchMeasure::lineHeight(const CellFont& font) const {
  if (font.height > 0) return font.height;
  const int h = characterHeight(font);
  return saturated(int64_t{h} + std::max(1, h / 5));
}
