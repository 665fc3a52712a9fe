#include "print/PrintLayout.h"

#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "base/textcodec.h"
#include "gtex/cmcGTex.h"
#include "model/cmcCellCapsule.h"
#include "sheet/ui/CellPainter.h"
#include "sheet/ui/ScreenMeasure.h"

namespace {

constexpr double kInchPerMillimetre = 0.03937007874015748;

int framePointSize(cmcGTex& text) {
  const int size = text.hasSection("GI_Sys_Printer_FrameFont")
                       ? text.getValue("GI_Sys_Printer_FrameFont").trimmed().toInt()
                       : 0;
  return size > 0 ? size : 14;
}

QString resourceLine(cmcGTex& text, const char* key) {
  return text.hasSection(key) ? fromCp932(text.getValue(key)) : QString();
}

// Rows or columns of a page: the fixed ones, then the chunk.
std::vector<int> pageIndexes(int fixed, int first, int count) {
  std::vector<int> out;
  out.reserve(fixed + count);
  for (int i = 0; i < fixed; ++i) out.push_back(i);
  for (int i = first; i < first + count; ++i) out.push_back(i);
  return out;
}

}  // namespace

PrintMargins parseMargins(QByteArrayView text) {
  PrintMargins m;
  const QList<QByteArray> parts = text.toByteArray().split(',');
  double* fields[] = {&m.left, &m.top, &m.right, &m.bottom};
  for (int i = 0; i < 4 && i < parts.size(); ++i) {
    bool ok = false;
    const double v = parts[i].trimmed().toDouble(&ok);
    if (ok && v >= 0) *fields[i] = v;
  }
  return m;
}

PrintRect contentRectangle(int pageWidth, int pageHeight, int dpi, const PrintMargins& margins) {
  const double perMm = dpi * kInchPerMillimetre;
  PrintRect r;
  r.left = static_cast<int>(margins.left * perMm);
  r.top = static_cast<int>(margins.top * perMm);
  r.right = static_cast<int>(pageWidth - margins.right * perMm);
  r.bottom = static_cast<int>(pageHeight - margins.bottom * perMm);
  return r;
}

PagePlan planPages(const SheetModel& sheet, int width, int height) {
  PagePlan plan;
  const int columns = sheet.columnCount();
  const int rows = sheet.rowCount();
  const int fixedCols = sheet.fixedCols();
  const int fixedRows = sheet.fixedRows();

  // A page may begin at a shown column that no fixed-row cell joins to its left neighbour.
  auto canStart = [&](int column) {
    if (sheet.columnWidth(column) <= 0) return false;
    for (int row = 0; row < fixedRows; ++row)
      if (sheet.cellAt(column, row).join()) return false;
    return true;
  };
  int fixedWidth = 0;
  for (int c = 0; c < fixedCols; ++c) fixedWidth += sheet.columnWidth(c);
  for (int start = fixedCols; start < columns;) {
    int end = columns;
    int lastBreak = -1;
    int width_ = fixedWidth;
    for (int c = start; c < columns; ++c) {
      if (c > start && canStart(c)) lastBreak = c;
      width_ += sheet.columnWidth(c);
      if (width_ <= width) continue;
      if (lastBreak > start) {
        end = lastBreak;
      } else {
        // Nothing to break at yet: the chunk runs to the next column that may start a page.
        end = c + 1;
        while (end < columns && !canStart(end)) ++end;
      }
      break;
    }
    plan.columnChunks.push_back(end - start);
    start = end;
  }

  int fixedHeight = 0;
  for (int r = 0; r < fixedRows; ++r) fixedHeight += sheet.rowHeight(r);
  for (int start = fixedRows; start < rows;) {
    int used = fixedHeight + sheet.rowHeight(start);
    int end = start + 1;
    while (end < rows && used + sheet.rowHeight(end) <= height) used += sheet.rowHeight(end++);
    plan.rowChunks.push_back(end - start);
    start = end;
  }
  return plan;
}

PrintLayout::PrintLayout(const PrintServices& services, const QPaintDevice& device)
    : services_(services), device_(device) {
  dpi_ = device.logicalDpiY();
  pageSize_ = QSize(device.width(), device.height());
  cmcGTex& text = *services_.sheet.text;
  const QByteArray margins = text.hasSection("GI_Sys_Printer_Margins")
                                 ? text.getValue("GI_Sys_Printer_Margins")
                                 : QByteArray("15,10,5,5");
  content_ = contentRectangle(pageSize_.width(), pageSize_.height(), dpi_, parseMargins(margins));
  measure_ = std::make_unique<ScreenMeasure>(&device_);
  services_.sheet.measure = measure_.get();
}

PrintLayout::~PrintLayout() = default;

int PrintLayout::baseFontHeight() const {
  const int size = std::clamp(services_.fontSize, 8, 12);
  return -std::max(1, size * dpi_ / 72);
}

void PrintLayout::setFontSize(int points) {
  services_.fontSize = std::clamp(points, 8, 12);
  built_.reset();
}

SheetModel* PrintLayout::sheet(const QByteArray& callString, int fontHeight) {
  if (!built_ || builtCall_ != callString || builtHeight_ != fontHeight) {
    if (!built_ || builtCall_ != callString)
      built_ = SheetModel::create(callString, services_.sheet);
    SheetBuildOptions options;
    options.printing = true;
    options.printScale = services_.screenDpi > 0 ? dpi_ / services_.screenDpi : 1.0;
    options.fontHeight = fontHeight;
    options.fontScalePercent = services_.fontScalePercent;
    built_->build(options);
    builtCall_ = callString;
    builtHeight_ = fontHeight;
  }
  return built_.get();
}

PrintLayout::Frame PrintLayout::frameOf(const SheetModel& sheet) const {
  Frame f;
  CellFont font = sheet.fontOf(sheet.basicCell());
  font.height = -std::max(1, framePointSize(sheet.text()) * dpi_ / 72);
  font.colour = 0;  // black
  font.style = 0;
  f.font = cellQFont(font, &device_);
  const QFontMetrics metrics(f.font, &device_);
  f.h = metrics.height();
  f.ascent = metrics.ascent();
  f.descent = metrics.descent();
  f.g = static_cast<int>(0.1 * f.h + 1);
  return f;
}

PrintRect PrintLayout::cellArea(const SheetModel& sheet) const {
  const Frame f = frameOf(sheet);
  PrintRect area = content_;
  area.top = content_.top + f.h + f.g + f.g + 5 * f.g;
  area.bottom = content_.bottom - f.h - f.g - 5 * f.g;
  return area;
}

QSize PrintLayout::cellsSize(const SheetModel& sheet, const PrintPage& page) const {
  int w = 0;
  int h = 0;
  for (int c : pageIndexes(sheet.fixedCols(), page.firstColumn, page.columnCount))
    w += sheet.columnWidth(c);
  for (int r : pageIndexes(sheet.fixedRows(), page.firstRow, page.rowCount))
    h += sheet.rowHeight(r);
  return {w, h};
}

std::vector<PrintPage> PrintLayout::layoutSheet(const QByteArray& callString, bool forAll) {
  std::vector<PrintPage> pages;
  int fontHeight = baseFontHeight();
  SheetModel* model = sheet(callString, fontHeight);
  if (!(forAll ? model->isPrintableForPrintAll() : model->isPrintable())) return pages;
  const PrintRect area = cellArea(*model);
  const PagePlan plan = planPages(*model, area.width(), area.height());

  int firstRow = model->fixedRows();
  for (int rows : plan.rowChunks) {
    int firstColumn = model->fixedCols();
    for (int columns : plan.columnChunks) {
      PrintPage page;
      page.callString = callString;
      page.firstColumn = firstColumn;
      page.columnCount = columns;
      page.firstRow = firstRow;
      page.rowCount = rows;
      page.content = content_;
      // A page too big for the area shrinks the font (at most three times); the smaller font
      // stays for the pages after it.
      for (int attempt = 0; attempt < 3; ++attempt) {
        const QSize size = cellsSize(*model, page);
        if (size.width() <= area.width() && size.height() <= area.height()) break;
        const double ratio = std::min(double(area.height()) / std::max(1, size.height()),
                                      double(area.width()) / std::max(1, size.width()));
        const int shrunk = std::max(1, static_cast<int>(std::abs(fontHeight) * ratio));
        if (shrunk == std::abs(fontHeight)) break;
        fontHeight = fontHeight < 0 ? -shrunk : shrunk;
        model = sheet(callString, fontHeight);
        ++page.scalings;
      }
      page.fontHeight = fontHeight;
      pages.push_back(page);
      firstColumn += columns;
    }
    firstRow += rows;
  }
  return pages;
}

void PrintLayout::drawFrame(QPainter& p, const SheetModel& sheet, const PrintRect& content) const {
  const Frame f = frameOf(sheet);
  const QFontMetrics metrics(f.font, &device_);
  cmcGTex& text = sheet.text();
  p.save();
  p.setFont(f.font);
  p.setPen(Qt::black);
  p.setBackgroundMode(Qt::TransparentMode);

  const QString title = fromCp932(sheet.titleText());
  p.drawText(content.left, content.top + f.ascent, title);
  QString version = resourceLine(text, "GI_Sys_AppTitleRev");
  if (version.isEmpty()) version = QStringLiteral("Kestrin Ver.%s");
  version.replace(QLatin1String("%s"), fromCp932(services_.version));
  p.drawText(content.right - 1 - metrics.horizontalAdvance(version), content.top + f.ascent,
             version);
  p.fillRect(QRect(content.left, content.top + f.h + f.g, content.width(), f.g), Qt::black);

  const QString maker = resourceLine(text, "GI_Sys_Maker");
  p.drawText(content.right - 1 - metrics.horizontalAdvance(maker), content.bottom - 1 - f.descent,
             maker);
  p.fillRect(QRect(content.left, content.bottom - f.h - f.g, content.width(), f.g), Qt::black);
  p.restore();
}

void PrintLayout::drawPage(QPainter& p, const PrintPage& page) {
  SheetModel* model = sheet(page.callString, page.fontHeight);
  drawFrame(p, *model, page.content);
  const PrintRect area = cellArea(*model);
  CellPainter painter(*model, services_.answer);
  painter.setPrintMode(true);
  const CellPaintState state;
  const std::vector<int> columns =
      pageIndexes(model->fixedCols(), page.firstColumn, page.columnCount);
  int y = area.top;
  for (int r : pageIndexes(model->fixedRows(), page.firstRow, page.rowCount)) {
    const int h = model->rowHeight(r);
    int x = area.left;
    for (int c : columns) {
      const int w = model->columnWidth(c);
      painter.paint(p, c, r, QRect(x, y, w, h), state);
      x += w;
    }
    y += h;
  }
}

int PrintLayout::printPages(QPagedPaintDevice& device, QPainter& painter,
                            const std::vector<PrintPage>& pages, int alreadyDrawn,
                            const std::function<bool()>& cancelled) {
  int drawn = 0;
  for (const PrintPage& page : pages) {
    if (cancelled && cancelled()) break;
    if (alreadyDrawn + drawn > 0) device.newPage();
    drawPage(painter, page);
    ++drawn;
  }
  return drawn;
}
