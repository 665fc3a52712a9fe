#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QHash>
#include <QPalette>
#include <QRect>
#include <functional>
#include <memory>
#include <vector>

#include "gtex/cmcCellObj.h"
#include "sheet/core/SheetModel.h"
#include "sheet/ui/MarkImages.h"

class QPainter;
struct cmcCellCapsule;

// What the painter needs to know about the grid around a cell.
struct CellPaintState {
  SheetPos current;         // the current cell (invalid: none)
  bool focused = false;     // the grid has the keyboard focus
  bool dialog = false;      // a drop-down list or dialog sheet
  bool editorOpen = false;  // the in-place editor covers the current cell
  // The painted device's logical dots per inch when the caller knows it (asking the device for
  // every cell costs more than a plain cell); 0: ask the device.
  int dpi = 0;
};

// Draws one cell of a built sheet onto any QPainter: the screen grid, and (in print mode) a
// preview or a printer page. It decides nothing about radio data: linked cells get their text,
// marks and decorations from the answer function, which hands a display request to the
// catalogue's dispatcher.
class CellPainter {
 public:
  // Fills in the answer to a display request (key 0, operation 0).
  using Answer = std::function<void(cmcCellCapsule&)>;

  CellPainter(const SheetModel& sheet, Answer answer);

  // Print look: white or dark grey backgrounds, black rules, vector marks, no selection.
  void setPrintMode(bool on);
  bool printMode() const { return print_; }
  // Pixels per screen pixel for the margins and mark sizes; defaults to the sheet's scale.
  void setScale(double scale) { scale_ = scale; }
  double scale() const { return scale_; }
  void setPalette(const QPalette& palette) { palette_ = palette; }
  const QPalette& palette() const { return palette_; }
  void setMarkImages(std::shared_ptr<const MarkImages> images);
  const MarkImages& markImages() const { return *marks_; }

  // Paints the cell at (column, row) whose own rectangle is `rect`. Rows or columns narrower
  // than one pixel are not painted. `backgroundFilled`: the caller has filled the rectangle
  // with the cell's background already (filling a row's cells of one colour at once costs far
  // less than filling each cell). `pixels`, when given, writes solid areas and kept texts
  // straight into the painter's image where it can.
  void paint(QPainter& painter, int column, int row, const QRect& rect, const CellPaintState& state,
             bool backgroundFilled = false, class DirectPixels* pixels = nullptr) const;
  // The colour the cell's rectangle is filled with.
  QColor background(int column, int row, const CellPaintState& state) const;

  // The colours derived from the palette's window and window-text colours (0x00BBGGRR).
  CellColour lineColour() const;
  CellColour inactiveSelectionColour() const;

  // Texts on screen are kept as finished pixels (see drawLineImage); off, every text is drawn
  // from its glyphs. For checking that both look the same.
  static void setTextImages(bool on);
  static void clearTextImages();
  static qsizetype keptTextImages();

  // Lines of `text` broken so that each stays within `maxWidth` pixels in `metrics`, between
  // characters (never inside one); line feeds always break.
  static QStringList wrapLines(const QString& text, const class QFontMetrics& metrics,
                               int maxWidth);

 private:
  bool isSelectedLook(int column, int row, const CellPaintState& state) const;
  // How a cell looks apart from its text and marks.
  struct Look {
    int contentColumn = 0;  // the cell whose content is drawn (the first of a joined group)
    int leftExtension = 0;  // pixels of the group left of the cell
    bool isCurrent = false;
    bool onHighlight = false;  // on the focused selection's colour
    bool onInactive = false;   // on the selection's colour without the focus
    CellColour background = 0;
  };
  Look lookOf(int column, int row, const CellPaintState& state) const;
  // Converting a font and measuring with it costs more than painting a cell; a sheet uses a
  // handful. Measuring a text shapes it, which costs as much as drawing it, and a sheet shows
  // the same few texts over and over: each font keeps the extents of the texts it measured.
  struct TextExtent {
    int width;  // the advance
    QRect ink;  // covers every pixel the text touches when drawn with its baseline at (0, 0)
    // The shaped glyphs, drawn with the top of the line at (0, 0); none for fonts whose lines
    // (underline, strike-out) only drawText draws.
    QList<QGlyphRun> glyphs;
    qreal ascent = 0;
  };
  struct CachedFont {
    int id;  // tells the fonts apart in the text images, for as long as the program runs
    CellFont cell;
    int dpi;
    QFont font;
    QFontMetrics metrics;
    mutable QHash<QString, TextExtent> extents;
  };
  const CachedFont& fontFor(const CellFont& font, class QPaintDevice* device, int dpi) const;
  static const TextExtent& extentOf(const CachedFont& font, const QString& text,
                                    const QPaintDevice* device);
  // Draws `text` with its baseline starting at (x, baseline), as QPainter::drawText does with
  // the font set.
  static void drawLine(QPainter& painter, const CachedFont& font, const QString& text, int x,
                       int baseline);
  // As drawLine in `ink` on a cell filled with `background`, from a kept image of the finished
  // pixels where the painter allows it (blending glyphs costs far more than copying pixels, and
  // a sheet shows the same texts in many cells); only the pixels inside `cellRect` change.
  // False when it cannot, and nothing was drawn.
  static bool drawLineImage(QPainter& painter, const CachedFont& font, const QString& text, int x,
                            int baseline, const QColor& ink, const QColor& background,
                            const QRect& cellRect, DirectPixels* pixels);

  const SheetModel& sheet_;
  Answer answer_;
  bool print_ = false;
  double scale_;
  QPalette palette_;
  std::shared_ptr<const MarkImages> marks_;
  // Shared by every painter: sheets come and go, their fonts and texts stay.
  static std::vector<std::unique_ptr<CachedFont>>& cachedFonts();
};
