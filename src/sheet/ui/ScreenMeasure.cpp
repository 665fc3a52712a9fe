#include "sheet/ui/ScreenMeasure.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <algorithm>
#include <cmath>

#include "base/textcodec.h"

QString cellQString(QByteArrayView text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return fromCp932(text.toByteArray());
  return QString::fromLatin1(text);
}

namespace {

QFont convert(const CellFont& cell, const QPaintDevice* device) {
  QFont font;
  if (!cell.face.isEmpty()) font.setFamily(fromCp932(cell.face));
  font.setBold(cell.style & kFontBold);
  font.setItalic(cell.style & kFontItalic);
  font.setUnderline(cell.style & kFontUnderline);
  font.setStrikeOut(cell.style & kFontStrikeOut);
  if (cell.pitch == kPitchFixed) {
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
  }
  font.setHintingPreference(QFont::PreferFullHinting);

  int pixels = 0;
  if (cell.height < 0) {
    pixels = -cell.height;
  } else if (cell.height > 0) {
    // A cell height covers ascent and descent; find the em size whose lines are that tall.
    font.setPixelSize(cell.height);
    const QFontMetricsF metrics = device ? QFontMetricsF(font, device) : QFontMetricsF(font);
    const qreal tall = metrics.ascent() + metrics.descent();
    pixels =
        tall > 0 ? static_cast<int>(std::lround(cell.height * cell.height / tall)) : cell.height;
  } else if (device) {
    // No height: the point size at the device's resolution.
    pixels = static_cast<int>(std::lround(cell.size * device->logicalDpiY() / 72.0));
  } else {
    font.setPointSize(std::max(cell.size, 1));
    return font;
  }
  font.setPixelSize(std::max(pixels, 1));
  return font;
}

// Conversions made so far, per resolution. A sheet uses a handful of fonts and the painter asks
// for one per cell, so each is made once. The list is emptied when the application object goes,
// before Qt's font machinery does.
struct ConvertedFont {
  CellFont cell;
  int dpi;
  QFont font;
};
std::vector<ConvertedFont>* converted = nullptr;

void forgetConvertedFonts() {
  delete converted;
  converted = nullptr;
}

}  // namespace

QFont cellQFont(const CellFont& cell, const QPaintDevice* device) {
  const int dpi = device ? device->logicalDpiY() : 0;
  if (!converted) {
    if (!QCoreApplication::instance()) return convert(cell, device);
    converted = new std::vector<ConvertedFont>;
    qAddPostRoutine(forgetConvertedFonts);
  }
  for (const ConvertedFont& c : *converted)
    if (c.dpi == dpi && c.cell == cell) return c.font;
  QFont font = convert(cell, device);
  if (converted->size() < 64) converted->push_back({cell, dpi, font});
  return font;
}

ScreenMeasure::ScreenMeasure(const QPaintDevice* device) : device_(device) {}

ScreenMeasure::~ScreenMeasure() = default;

const ScreenMeasure::Entry& ScreenMeasure::entry(const CellFont& font) const {
  if (last_ && last_->key == font) return *last_;
  for (const auto& e : entries_) {
    if (e->key == font) {
      last_ = e.get();
      return *last_;
    }
  }
  QFont qfont = cellQFont(font, device_);
  QFontMetrics metrics = device_ ? QFontMetrics(qfont, device_) : QFontMetrics(qfont);
  entries_.push_back(std::make_unique<Entry>(Entry{font, std::move(qfont), std::move(metrics)}));
  last_ = entries_.back().get();
  return *last_;
}

const QFont& ScreenMeasure::font(const CellFont& font) const { return entry(font).font; }

const QFontMetrics& ScreenMeasure::metrics(const CellFont& font) const {
  return entry(font).metrics;
}

int ScreenMeasure::lineWidth(QByteArrayView line, const CellFont& font) const {
  if (line.isEmpty()) return 0;
  return entry(font).metrics.horizontalAdvance(cellQString(line));
}

int ScreenMeasure::lineHeight(const CellFont& font) const { return entry(font).metrics.height(); }
