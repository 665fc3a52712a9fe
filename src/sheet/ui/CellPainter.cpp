#include "sheet/ui/CellPainter.h"

#include <QCache>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QSet>
#include <QStringList>
#include <QTextLayout>
#include <cmath>

#include "model/cmcCellCapsule.h"
#include "sheet/ui/DirectPixels.h"
#include "sheet/ui/PainterRatio.h"
#include "sheet/ui/ScreenMeasure.h"
#include "sheet/ui/SheetColours.h"

using namespace sheetcolours;

namespace {

constexpr CellColour kPrintDarkGrey = 0x00606060;
// Texts whose extents a font keeps; beyond it the record starts again (a long session shows
// ever new values).
constexpr int kMaxTextExtents = 4096;
// Fonts kept (a sheet uses a handful; font sizes and printers add more).
constexpr size_t kMaxCachedFonts = 64;

int rounded(double v) { return static_cast<int>(std::floor(v + 0.5)); }

// The finished pixels of a text in one font, colour and background at one pixel ratio.
struct TextImageKey {
  int font;
  int ratio;
  QRgb ink;
  QRgb background;
  QString text;
  bool operator==(const TextImageKey&) const = default;
};
size_t qHash(const TextImageKey& k, size_t seed = 0) {
  return qHashMulti(seed, k.font, k.ratio, k.ink, k.background, k.text);
}
struct TextImage {
  QImage image;
  QRect rect;  // in pixels of the sheet, around the text's baseline origin
};
// Bytes of text images kept per pixel ratio squared: a few screens' worth of a sheet's texts.
constexpr qsizetype kTextImageBytes = 8 * 1024 * 1024;
#ifdef Q_OS_WIN
// Windows' font engines rasterise glyphs into an opaque image otherwise than onto the cell (seen
// under Wine): the kept images would not give the glyphs' own pixels there.
bool g_textImagesOn = false;
#else
bool g_textImagesOn = true;
#endif
QCache<TextImageKey, TextImage>* g_textImages = nullptr;
// Texts drawn once so far: an image is made at a text's second showing, so that texts shown once
// (a page seen once) do not pay for making images that are not used again.
QSet<TextImageKey>* g_seenOnce = nullptr;
constexpr qsizetype kMaxSeenOnce = 8192;

QCache<TextImageKey, TextImage>& textImages() {
  if (!g_textImages) {
    g_textImages = new QCache<TextImageKey, TextImage>(kTextImageBytes);
    g_seenOnce = new QSet<TextImageKey>;
    qAddPostRoutine([] {
      delete g_textImages;
      g_textImages = nullptr;
      delete g_seenOnce;
      g_seenOnce = nullptr;
    });
  }
  return *g_textImages;
}

// Whether the painter puts its pixels 1:1 (or n:1 at a pixel ratio of n) into 32-bit pixels, where
// a kept image of a text gives exactly the pixels its glyphs would. The ratio, or 0.
int imageRatio(QPainter& p) {
  QPaintEngine* engine = p.paintEngine();
  if (!engine || engine->type() != QPaintEngine::Raster) return 0;
  if (p.opacity() != 1.0 || p.compositionMode() != QPainter::CompositionMode_SourceOver) return 0;
  const int ratio = wholePixelRatio(p);
  if (ratio == 0) return 0;
  const QPaintDevice* target = engine->paintDevice();
  if (!target) return 0;
  if (target->devType() == QInternal::Image) {
    const QImage::Format f = static_cast<const QImage*>(target)->format();
    if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32_Premultiplied) return 0;
  } else if (target->devType() != QInternal::Pixmap ||
             static_cast<const QPixmap*>(target)->depth() != 32) {
    return 0;
  }
  return ratio;
}

QString displayString(const QByteArray& bytes) {
  QString s = cellQString(bytes);
  s.replace(QLatin1Char('\t'), QLatin1Char(' '));
  return s;
}

}  // namespace

CellPainter::CellPainter(const SheetModel& sheet, Answer answer)
    : sheet_(sheet),
      answer_(std::move(answer)),
      scale_(sheet.scale()),
      marks_(defaultMarkImages()) {}

void CellPainter::setPrintMode(bool on) { print_ = on; }

void CellPainter::setTextImages(bool on) {
  g_textImagesOn = on;
  clearTextImages();
}

void CellPainter::clearTextImages() {
  if (g_textImages) g_textImages->clear();
  if (g_seenOnce) g_seenOnce->clear();
}

qsizetype CellPainter::keptTextImages() { return g_textImages ? g_textImages->size() : 0; }

void CellPainter::setMarkImages(std::shared_ptr<const MarkImages> images) {
  marks_ = images ? std::move(images) : defaultMarkImages();
}

CellColour CellPainter::lineColour() const {
  return sheetcolours::lineColour(resolve(kClWindow, palette_), resolve(kClWindowText, palette_));
}

CellColour CellPainter::inactiveSelectionColour() const {
  return sheetcolours::inactiveSelectionColour(resolve(kClWindow, palette_),
                                               resolve(kClWindowText, palette_));
}

QStringList CellPainter::wrapLines(const QString& text, const QFontMetrics& metrics, int maxWidth) {
  QStringList out;
  for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
    QString line;
    for (qsizetype i = 0; i < paragraph.size(); ++i) {
      // A surrogate pair is one character.
      qsizetype n = (paragraph[i].isHighSurrogate() && i + 1 < paragraph.size()) ? 2 : 1;
      const QString next = line + paragraph.mid(i, n);
      if (!line.isEmpty() && metrics.horizontalAdvance(next) > maxWidth) {
        out << line;
        line = paragraph.mid(i, n);
      } else {
        line = next;
      }
      i += n - 1;
    }
    out << line;
  }
  return out;
}

std::vector<std::unique_ptr<CellPainter::CachedFont>>& CellPainter::cachedFonts() {
  static std::vector<std::unique_ptr<CachedFont>>* fonts = nullptr;
  if (!fonts) {
    fonts = new std::vector<std::unique_ptr<CachedFont>>;
    // Fonts must go before the application does.
    if (QCoreApplication::instance()) qAddPostRoutine([] { fonts->clear(); });
  }
  return *fonts;
}

const CellPainter::CachedFont& CellPainter::fontFor(const CellFont& cell, QPaintDevice* device,
                                                    int dpi) const {
  if (dpi <= 0) dpi = device ? device->logicalDpiY() : 0;
  auto& fonts = cachedFonts();
  for (const auto& f : fonts)
    if (f->dpi == dpi && f->cell == cell) return *f;
  if (fonts.size() >= kMaxCachedFonts) fonts.clear();
  static int nextId = 0;
  const QFont font = cellQFont(cell, device);
  fonts.push_back(std::make_unique<CachedFont>(CachedFont{
      nextId++, cell, dpi, font, device ? QFontMetrics(font, device) : QFontMetrics(font), {}}));
  return *fonts.back();
}

const CellPainter::TextExtent& CellPainter::extentOf(const CachedFont& font, const QString& text,
                                                     const QPaintDevice* device) {
  const auto found = font.extents.constFind(text);
  if (found != font.extents.cend()) return *found;
  if (font.extents.size() >= kMaxTextExtents) font.extents.clear();
  // Anti-aliased edges may reach a pixel beyond the glyphs' boxes.
  TextExtent extent{font.metrics.horizontalAdvance(text),
                    font.metrics.boundingRect(text).adjusted(-1, -1, 1, 1),
                    {},
                    0};
  const QFont& f = font.font;
  if (!f.underline() && !f.strikeOut() && !f.overline() && !text.isEmpty()) {
    QTextLayout layout(text, f, device);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (line.isValid()) {
      extent.glyphs = line.glyphRuns();
      extent.ascent = line.ascent();
    }
  }
  return *font.extents.insert(text, extent);
}

void CellPainter::drawLine(QPainter& p, const CachedFont& font, const QString& text, int x,
                           int baseline) {
  const TextExtent& extent = extentOf(font, text, p.device());
  if (extent.glyphs.isEmpty()) {
    p.setFont(font.font);
    p.drawText(x, baseline, text);
    return;
  }
  const QPointF top(x, baseline - extent.ascent);
  for (const QGlyphRun& run : extent.glyphs) p.drawGlyphRun(top, run);
}

bool CellPainter::drawLineImage(QPainter& p, const CachedFont& font, const QString& text, int x,
                                int baseline, const QColor& ink, const QColor& background,
                                const QRect& cellRect, DirectPixels* pixels) {
  if (!g_textImagesOn || background.alpha() != 255) return false;
  const int ratio = imageRatio(p);
  if (ratio == 0) return false;
  const TextExtent& extent = extentOf(font, text, p.device());
  if (extent.glyphs.isEmpty()) return false;
  auto& images = textImages();
  const TextImageKey key{font.id, ratio, ink.rgba(), background.rgba(), text};
  const TextImage* kept = images.object(key);
  if (!kept) {
    if (!g_seenOnce->contains(key)) {
      if (g_seenOnce->size() >= kMaxSeenOnce) g_seenOnce->clear();
      g_seenOnce->insert(key);
      return false;
    }
    g_seenOnce->remove(key);
    // A margin beyond the measured ink: glyphs rasterised at a higher pixel ratio may reach a
    // little further than at the ratio they were measured.
    const QRect rect = extent.ink.adjusted(-2, -2, 2, 2);
    auto made = std::make_unique<TextImage>();
    made->rect = rect;
    made->image = QImage(rect.size() * ratio, QImage::Format_RGB32);
    made->image.setDevicePixelRatio(ratio);
    made->image.fill(background);
    {
      QPainter ip(&made->image);
      ip.setPen(ink);
      drawLine(ip, font, text, -rect.left(), -rect.top());
    }
    const qsizetype bytes = made->image.sizeInBytes();
    images.setMaxCost(std::max(images.maxCost(), kTextImageBytes * ratio * ratio));
    kept = made.get();
    if (!images.insert(key, made.release(), bytes)) return false;
  }
  const QRect at = kept->rect.translated(x, baseline);
  const QRect part = at & cellRect;
  if (part.isEmpty()) return true;
  const QPoint source = (part.topLeft() - at.topLeft()) * ratio;
  if (pixels)
    pixels->drawImage(part, kept->image, source);
  else
    p.drawImage(part, kept->image, QRect(source, part.size() * ratio));
  return true;
}

bool CellPainter::isSelectedLook(int column, int row, const CellPaintState& state) const {
  auto selected = [&](int c) {
    const SheetCell& s = sheet_.cellState(c, row);
    return SheetPos{c, row} == state.current || s.marked || s.lineMarked;
  };
  const cmcCellObj& cell = sheet_.cellAt(column, row);
  if (cell.tail() && row == state.current.row) {
    // A tail shows the selection of the selectable cell it trails.
    int c = column;
    while (c > 0 && sheet_.cellAt(c, row).tail()) --c;
    if (sheet_.cellAt(c, row).selectable()) return selected(c);
  }
  return selected(column);
}

CellPainter::Look CellPainter::lookOf(int column, int row, const CellPaintState& state) const {
  Look look;
  // 1. A joined cell draws the content of the first cell of its group across the whole group.
  look.contentColumn = column;
  while (look.contentColumn > 0 && sheet_.cellAt(look.contentColumn, row).join()) {
    --look.contentColumn;
    look.leftExtension += sheet_.columnWidth(look.contentColumn);
  }
  const cmcCellObj& cell = sheet_.cellAt(look.contentColumn, row);

  // 2. and 3. Selection and background.
  look.isCurrent = SheetPos{look.contentColumn, row} == state.current;
  const bool selected = !print_ && isSelectedLook(look.contentColumn, row, state) &&
                        !(state.editorOpen && look.isCurrent);
  look.background = cell.colour;
  if (print_) {
    const CellColour own = resolve(cell.colour, palette_);
    look.background = (cell.colour == kClWindow || own == kClWhite) ? kClWhite : kPrintDarkGrey;
  } else if (selected) {
    if (state.focused || state.dialog) {
      look.background = kClHighlight;
      look.onHighlight = true;
    } else {
      look.background = inactiveSelectionColour();
      look.onInactive = true;
    }
  } else if (sheet_.style().colorSelectLine && row == state.current.row &&
             column >= sheet_.fixedCols() && !state.dialog) {
    look.background = lineColour();
  }
  return look;
}

QColor CellPainter::background(int column, int row, const CellPaintState& state) const {
  return toQColor(lookOf(column, row, state).background, palette_);
}

void CellPainter::paint(QPainter& p, int column, int row, const QRect& cellRect,
                        const CellPaintState& state, bool backgroundFilled,
                        DirectPixels* pixels) const {
  if (cellRect.width() < 1 || cellRect.height() < 1) return;
  const int columns = sheet_.columnCount();

  const Look look = lookOf(column, row, state);
  const int contentColumn = look.contentColumn;
  const QRect rect = cellRect.adjusted(-look.leftExtension, 0, 0, 0);
  const cmcCellObj& cell = sheet_.cellAt(contentColumn, row);
  bool rightRule = cell.rightRule() != kRuleNone;
  if (column + 1 < columns) {
    bool allHidden = true;
    for (int c = column + 1; c < columns && allHidden; ++c) allHidden = sheet_.columnWidth(c) == 0;
    if (sheet_.cellAt(column + 1, row).join() || allHidden) rightRule = false;
  }
  const bool isCurrent = look.isCurrent;
  const bool onHighlight = look.onHighlight;
  const bool onInactive = look.onInactive;
  const CellColour background = look.background;
  const CellColour backgroundRgb = resolve(background, palette_);

  // Whatever is drawn stays inside the cell. Clipping costs more than the rest of a plain cell,
  // so it is switched on only before something that may reach beyond it: the text of a joined
  // group, text wider or taller than the cell, a mark that does not fit. A clip the caller set
  // is kept as it was.
  const bool callerClip = p.hasClipping();
  bool clipped = false;
  auto clipFor = [&](const QRect& drawn) {
    if (clipped || cellRect.contains(drawn)) return;
    clipped = true;
    if (callerClip) p.save();
    p.setClipRect(cellRect);
  };
  auto fill = [&](const QRect& r, const QColor& colour) {
    if (pixels)
      pixels->fill(r, colour);
    else
      p.fillRect(r, colour);
  };
  const QColor backgroundColour = toQColor(background, palette_);
  if (!backgroundFilled) fill(cellRect, backgroundColour);

  // 5. Font and colour.
  const CellFont& cellFont = sheet_.fontOf(cell);
  CellColour fontColour = cellFont.colour;
  if (onHighlight) fontColour = kClHighlightText;
  auto substitute = [&](CellColour c) {
    if (!onInactive) return c;
    const CellColour rgb = resolve(c, palette_);
    if (c == kClBtnFace || c == kClGrayText || rgb == inactiveSelectionColour() ||
        rgb == kClSilver) {
      return kClWindow;
    }
    return c;
  };
  fontColour = substitute(fontColour);

  // 6. The text: the handler's answer for a linked cell, else the cell's own.
  QByteArray text;
  int significant = kSignificantAll;
  uint8_t marks = 0;
  int markPosition = kMarkByAlignment;
  int decoration = kDecorationNone;
  if (cell.link != CL_None) {
    cmcCellCapsule req;
    sheet_.fillRequest(req, contentColumn, row);
    if (isCurrent) req.marks |= kMarkCurrentCell;
    if (print_) req.marks |= kMarkPrinting;
    req.paint.active = true;
    req.paint.cellRect = rect;
    req.imageList = marks_.get();
    if (answer_) answer_(req);
    text = req.resultText;
    significant = req.significantLength;
    marks = req.marks;
    markPosition = req.markPosition;
    decoration = req.paint.decoration;
    if (req.paint.fontColourSet) fontColour = substitute(req.paint.fontColour);
  } else {
    text = cell.text.value_or(QByteArray());
  }
  if (print_) fontColour = background == kPrintDarkGrey ? kClWhite : resolve(fontColour, palette_);

  const CachedFont& cached = fontFor(cellFont, p.device(), state.dpi);
  const QFontMetrics& metrics = cached.metrics;
  const QColor ink = toQColor(fontColour, palette_);

  // Decorations the handler asked for.
  if (decoration != kDecorationNone) clipFor(rect);
  if (decoration == kDecorationQuarterPillar) {
    const int h = rect.height() * 3 / 10;
    fill(QRect(rect.left(), rect.top() + rect.height() - h, rect.width(), h),
         QColor(0x80, 0x80, 0x80));
  } else if (decoration == kDecorationCheckMark) {
    const double s = 0.7 * std::min(rect.width(), rect.height());
    const double x0 = rect.left() + (rect.width() - s) / 2.0;
    const double y0 = rect.top() + (rect.height() - s) / 2.0;
    static const double kPoints[][2] = {{0, 0.4},  {0, 0.6},  {0.4, 1},
                                        {1, 0.35}, {1, 0.15}, {0.4, 0.7}};
    QPolygon polygon;
    for (const auto& pt : kPoints)
      polygon << QPoint(rounded(x0 + pt[0] * s), rounded(y0 + pt[1] * s));
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(polygon);
  }

  // 7. and 8. Lines, wrapped at 90 % of the width when asked, placed by the alignment.
  const double sc = scale_;
  int textRight = rect.left();
  if (!text.isEmpty()) {
    const QString all = displayString(text);
    QStringList lines;
    if (cell.wrap()) {
      lines = wrapLines(all, metrics, rect.width() * 9 / 10);
    } else if (all.contains(QLatin1Char('\n'))) {
      lines = all.split(QLatin1Char('\n'));
    } else {
      lines.append(all);
    }
    // A closing line feed ends the last line; it does not start an empty one.
    if (lines.size() > 1 && lines.back().isEmpty()) lines.removeLast();
    const int lineHeight = metrics.height();
    const int blockHeight = lineHeight * int(lines.size());
    const int bottom = rect.top() + rect.height();
    int y;
    switch (cell.vAlign()) {
      case kAlignTop:
        y = rect.top() + rounded(1 * sc);
        break;
      case kAlignMiddle:
        y = rect.top() + (rect.height() - blockHeight + 1) / 2;
        break;
      default:
        y = bottom - blockHeight - rounded(1 * sc);
        break;
    }
    int remaining = significant;
    // Texts on the cell's own background are kept as images; the selection's colours are shown
    // in a few cells at a time, and keeping them would only add images. An image covers the
    // whole box around its text, which would cover the lines next to it.
    const bool images =
        !print_ && decoration == kDecorationNone && background == cell.colour && lines.size() == 1;
    for (const QString& line : lines) {
      const TextExtent& extent = extentOf(cached, line, p.device());
      const int width = extent.width;
      int x;
      switch (cell.hAlign()) {
        case kAlignCentre:
          x = rect.left() + (rect.width() - width + 1) / 2;
          break;
        case kAlignRight:
          x = rect.left() + rect.width() + 1 - width - rounded(4 * sc);
          break;
        default:
          x = rect.left() + rounded(4 * sc);
          break;
      }
      x = std::max(x, rect.left());
      const int baseline = y + metrics.ascent();
      clipFor(extent.ink.translated(x, baseline));
      if (remaining > 0 && remaining < line.size()) {
        p.setPen(print_ ? ink : toQColor(kClSilver, palette_));
        drawLine(p, cached, line, x, baseline);
        p.setPen(ink);
        drawLine(p, cached, line.left(remaining), x, baseline);
      } else {
        const QColor colour =
            remaining < line.size() && !print_ ? toQColor(kClSilver, palette_) : ink;
        if (!images || !drawLineImage(p, cached, line, x, baseline, colour, backgroundColour,
                                      cellRect, pixels)) {
          p.setPen(colour);
          drawLine(p, cached, line, x, baseline);
        }
      }
      remaining = std::max(0, remaining - int(line.size()));
      textRight = std::max(textRight, x + width);
      y += lineHeight;
    }
  }

  // 4. Rules, over the text.
  const QColor ruleColour = print_ ? QColor(Qt::black)
                            : (background == kClWindow || backgroundRgb == kClWhite)
                                ? QColor(0x80, 0x80, 0x80)
                                : QColor(Qt::white);
  const int ruleWidth = std::max(1, rounded(sc));
  if (cell.bottomRule()) {
    fill(QRect(cellRect.left(), cellRect.bottom() - ruleWidth + 1, cellRect.width(), ruleWidth),
         ruleColour);
  }
  if (rightRule) {
    const int top = cell.rightRule() == kRuleShort ? cellRect.top() + cellRect.height() * 7 / 10
                                                   : cellRect.top();
    fill(QRect(cellRect.right() - ruleWidth + 1, top, ruleWidth, cellRect.bottom() - top + 1),
         ruleColour);
  }

  // 9. Caution and error marks.
  if (marks & (kMarkCaution | kMarkRange)) {
    const int image = (marks & kMarkRange) ? kErrorImage : kCautionImage;
    VectorMarkImages printMarks(std::max(4, rect.height() / 2), true);
    const MarkImages& images = print_ ? static_cast<const MarkImages&>(printMarks) : *marks_;
    const int ih = images.imageHeight();
    const int iw = images.imageWidth();
    int position = markPosition;
    if (position == kMarkByAlignment)
      position = cell.hAlign() == kAlignRight ? kMarkLeft : kMarkAfterText;
    const int right = rect.left() + rect.width();
    int x;
    if (position == kMarkLeft) {
      x = rect.left() + ih / 8;
    } else if (position == kMarkAfterText) {
      x = std::min(textRight, right - ih - 1);
    } else {
      x = right - ih - 1;
    }
    const int y = rect.top() + rect.height() - 1 - ih;
    clipFor(QRect(x, y, iw, ih));
    images.draw(p, image, QRect(x, y, iw, ih));
  }
  if (clipped) {
    if (callerClip)
      p.restore();
    else
      p.setClipping(false);
  }
}
