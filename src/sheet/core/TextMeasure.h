#pragma once

#include <QByteArrayView>

#include "gtex/cmcCellObj.h"

// The size a display text takes in a font: the widest line and the sum of the line heights.
struct TextExtent {
  int width = 0;
  int height = 0;
  bool operator==(const TextExtent&) const = default;
};

// How the builder measures display texts (code page 932 bytes). On screen and for printing this
// is the real font's metrics; headless, a fixed-pitch estimate.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  // Width in pixels of one line (no line feeds in it).
  virtual int lineWidth(QByteArrayView line, const CellFont& font) const = 0;
  // Height in pixels of one line.
  virtual int lineHeight(const CellFont& font) const = 0;

  // Splits at line feeds; an empty text is one empty line, so it still has a line's height.
  TextExtent measure(QByteArrayView text, const CellFont& font) const;
};

// Estimate for headless use: every single-byte character is half the character height wide
// (rounded up), a double-byte character twice that. The character height is the font's height
// when negative (character height) or five sixths of it when positive (cell height); a line is
// the character height plus a fifth for leading, or the cell height itself.
class FixedPitchMeasure : public TextMeasure {
 public:
  int lineWidth(QByteArrayView line, const CellFont& font) const override;
  int lineHeight(const CellFont& font) const override;

  static int characterHeight(const CellFont& font);
};
