#include "sheet/core/TextMeasure.h"

#include <algorithm>

#include "base/textcodec.h"

TextExtent TextMeasure::measure(QByteArrayView text, const CellFont& font) const {
  TextExtent extent;
  const int height = lineHeight(font);
  qsizetype start = 0;
  for (;;) {
    const qsizetype end = text.indexOf('\n', start);
    const QByteArrayView line = end < 0 ? text.sliced(start) : text.sliced(start, end - start);
    extent.width = std::max(extent.width, lineWidth(line, font));
    extent.height += height;
    if (end < 0) break;
    start = end + 1;
  }
  return extent;
}

int FixedPitchMeasure::characterHeight(const CellFont& font) {
  const int h = font.height < 0 ? -font.height : font.height * 5 / 6;
  return std::max(h, 1);
}

int FixedPitchMeasure::lineWidth(QByteArrayView line, const CellFont& font) const {
  const int half = (characterHeight(font) + 1) / 2;
  int units = 0;
  for (qsizetype i = 0; i < line.size(); ++i) {
    if (isCp932LeadByte(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) {
      units += 2;
      ++i;
    } else {
      ++units;
    }
  }
  return units * half;
}

int FixedPitchMeasure::lineHeight(const CellFont& font) const {
  if (font.height > 0) return font.height;
  const int h = characterHeight(font);
  return h + std::max(1, h / 5);
}
