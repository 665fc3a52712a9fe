#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <memory>
#include <vector>

#include "sheet/core/TextMeasure.h"

class QPaintDevice;

// The one conversion from a cell's font to a Qt font, for measuring and for painting. Heights are
// in pixels of `device` (the screen when null): a negative height is the character height (the
// em size), a positive one the cell height (ascent plus descent), as the mark-up defines them.
// The display font scale is already in the heights: the builder scales the basic cell's font.
// Cheap to call for every cell: each conversion is made once and kept (user-interface thread).
QFont cellQFont(const CellFont& font, const QPaintDevice* device = nullptr);

// Display text (code page 932) as a QString; plain ASCII skips the codec.
QString cellQString(QByteArrayView text);

// Text measured with the real font metrics, on the screen or on a printer (pass the printer as
// the device so that widths come in its pixels). Fonts are converted once and kept: a sheet uses
// only a handful, and the painter can ask for the same converted fonts here.
class ScreenMeasure : public TextMeasure {
 public:
  explicit ScreenMeasure(const QPaintDevice* device = nullptr);
  ~ScreenMeasure() override;

  int lineWidth(QByteArrayView line, const CellFont& font) const override;
  int lineHeight(const CellFont& font) const override;

  const QFont& font(const CellFont& font) const;
  const QFontMetrics& metrics(const CellFont& font) const;

 private:
  struct Entry {
    CellFont key;
    QFont font;
    QFontMetrics metrics;
  };
  const Entry& entry(const CellFont& font) const;

  const QPaintDevice* device_;
  mutable std::vector<std::unique_ptr<Entry>> entries_;
  mutable const Entry* last_ = nullptr;
};
