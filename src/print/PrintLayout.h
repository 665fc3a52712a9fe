#pragma once

#include <QByteArray>
#include <QFont>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "sheet/core/SheetModel.h"

class QPaintDevice;
class QPagedPaintDevice;
class QPainter;
class ScreenMeasure;
struct cmcCellCapsule;

// Page margins in millimetres, as the resource text gives them ("15,10,5,5").
struct PrintMargins {
  double left = 15;
  double top = 10;
  double right = 5;
  double bottom = 5;
};
PrintMargins parseMargins(QByteArrayView text);

// Edges in device pixels; right and bottom lie just outside the area.
struct PrintRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  QRect toQRect() const { return QRect(left, top, width(), height()); }
  bool operator==(const PrintRect&) const = default;
};

// The page less its margins; `dpi` serves both directions. Each edge is truncated to whole
// pixels after subtracting, so a right margin of 118.11 pixels leaves page width - 119.
PrintRect contentRectangle(int pageWidth, int pageHeight, int dpi, const PrintMargins& margins);

// How a sheet is cut into pages: the number of non-fixed columns on each page across and of
// non-fixed rows on each page down.
struct PagePlan {
  std::vector<int> columnChunks;
  std::vector<int> rowChunks;
};

// The fixed rows and columns repeat on every page. A column whose fixed-row cells join it to the
// one before never starts a page (a header spanning several columns stays whole), nor does a
// hidden column; a chunk ends before the last column that may start a page at or before the one
// that first overflows `width`. Rows fill `height`. Every chunk holds at least one column or row.
PagePlan planPages(const SheetModel& sheet, int width, int height);

// One printed page: which sheet, which non-fixed columns and rows, and the font height the
// sheet was built with for it (pages after one that had to be shrunk keep the smaller font).
struct PrintPage {
  QByteArray callString;
  int firstColumn = 0;
  int columnCount = 0;
  int firstRow = 0;
  int rowCount = 0;
  int fontHeight = 0;  // imposed basic-cell font height (negative: character height)
  int scalings = 0;    // how often the font was shrunk to make this page fit
  PrintRect content;   // the content rectangle of the page
};

// Everything a layout needs besides the page device.
struct PrintServices {
  // Resource text, parser, environment, the catalogue's texts and the column-width store. The
  // measure is the layout's own (the device's metrics).
  SheetServices sheet;
  // Answers a display request for a linked cell (the catalogue's dispatcher).
  std::function<void(cmcCellCapsule&)> answer;
  QByteArray version;          // fills "Kestrin Ver.%s"
  int fontSize = 10;           // print font size in points, 8..12
  int fontScalePercent = 100;  // the display font scale the stored widths were made at
  double screenDpi = 96;       // screen pixels per inch
};

// Lays sheets out on the pages of one device (a printer, a PDF writer, an image of known size
// and resolution) and draws those pages with the sheets' own cell painter in its print look.
class PrintLayout {
 public:
  // `device` gives page size and resolution; it must outlive the layout.
  PrintLayout(const PrintServices& services, const QPaintDevice& device);
  ~PrintLayout();
  PrintLayout(const PrintLayout&) = delete;
  PrintLayout& operator=(const PrintLayout&) = delete;

  int dpi() const { return dpi_; }
  QSize pageSize() const { return pageSize_; }
  const PrintRect& contentRect() const { return content_; }
  // The print font's basic-cell height at the device's resolution (negative: character height).
  int baseFontHeight() const;
  // A new print font size (8..12) for the following layouts.
  void setFontSize(int points);
  int fontSize() const { return services_.fontSize; }

  // The pages of one sheet, across then down; none when the sheet is not printable. `forAll`
  // asks the printable test as printing all sheets asks it.
  std::vector<PrintPage> layoutSheet(const QByteArray& callString, bool forAll = false);

  // The area left for cells on a page of `sheet` once the frame is drawn.
  PrintRect cellArea(const SheetModel& sheet) const;
  // Page size of cells for these columns and rows with the current build (fixed ones included).
  QSize cellsSize(const SheetModel& sheet, const PrintPage& page) const;

  // Draws one page: the frame, then every cell of the fixed and chosen rows and columns, in
  // device pixels. The painter may be scaled (the preview draws a page smaller).
  void drawPage(QPainter& painter, const PrintPage& page);

  // Draws `pages` onto a paged device, a new device page before each page but the first.
  // `cancelled` is asked before each page; returns the number of pages drawn.
  int printPages(QPagedPaintDevice& device, QPainter& painter, const std::vector<PrintPage>& pages,
                 int alreadyDrawn = 0, const std::function<bool()>& cancelled = {});

  // The sheet as last built (for tests and the preview).
  SheetModel* sheet(const QByteArray& callString, int fontHeight);

 private:
  struct Frame {
    QFont font;
    int h = 0;  // frame font height
    int g = 0;  // rule thickness
    int ascent = 0;
    int descent = 0;
  };
  Frame frameOf(const SheetModel& sheet) const;
  void drawFrame(QPainter& painter, const SheetModel& sheet, const PrintRect& content) const;

  PrintServices services_;
  const QPaintDevice& device_;
  int dpi_ = 0;
  QSize pageSize_;
  PrintRect content_;
  std::unique_ptr<ScreenMeasure> measure_;
  std::unique_ptr<SheetModel> built_;
  QByteArray builtCall_;
  int builtHeight_ = 0;
};
