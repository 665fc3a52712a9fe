#include <QFile>
#include <QImage>
#include <QPainter>

#include "print_support.h"
#include "sheet/core/SheetModel.h"

namespace {

constexpr const char* kMemory = "[St_ColCut]GI_Sheet_MemoryCH,0,0";
constexpr const char* kBankNames = "GI_Sheet_BankName,5";

// Whether a fixed-row cell of `column` joins it to the column before.
bool joinedInHeader(const SheetModel& sheet, int column) {
  for (int row = 0; row < sheet.fixedRows(); ++row)
    if (sheet.cellAt(column, row).join()) return true;
  return false;
}

}  // namespace

TEST(PrintGeometry, ContentRectangleTruncatesEachEdgeAfterSubtracting) {
  struct Case {
    int dpi, width, height;
    PrintRect expected;
  };
  const PrintMargins margins = parseMargins("15,10,5,5");
  for (const Case& c : {
           Case{600, 4960, 7016, {354, 236, 4960 - 119, 7016 - 119}},
           Case{600, 5100, 6600, {354, 236, 5100 - 119, 6600 - 119}},
           Case{300, 2480, 3508, {177, 118, 2420, 3448}},
           Case{96, 794, 1123, {56, 37, 775, 1104}},
       }) {
    EXPECT_EQ(contentRectangle(c.width, c.height, c.dpi, margins), c.expected) << c.dpi;
  }
  const PrintMargins odd = parseMargins(" 20 , 0,x");
  EXPECT_EQ(odd.left, 20);
  EXPECT_EQ(odd.top, 0);
  EXPECT_EQ(odd.right, 5);  // unreadable or missing values keep their defaults
  EXPECT_EQ(odd.bottom, 5);
}

TEST_F(PrintTest, ContentRectangleOfAPdfPageAt600Dpi) {
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  auto writer = pdf(&out);
  PrintLayout layout(services, *writer);
  ASSERT_EQ(layout.dpi(), 600);
  const QSize page = layout.pageSize();
  EXPECT_EQ(layout.contentRect(), (PrintRect{354, 236, page.width() - 119, page.height() - 119}));
  // The print font: 10 points at 600 dpi.
  EXPECT_EQ(layout.baseFontHeight(), -83);
}

TEST_F(PrintTest, ASheetThatFitsPrintsOnOnePageWithOneFrame) {
  KESTRIN_NEEDS_PDF_TOOLS();
  const QString path = dir.filePath("banks.pdf");
  {
    QPdfWriter writer(path);
    writer.setResolution(600);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    PrintLayout layout(services, writer);
    const std::vector<PrintPage> pages = layout.layoutSheet(kBankNames);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].scalings, 0);
    SheetModel* sheet = layout.sheet(kBankNames, pages[0].fontHeight);
    EXPECT_EQ(pages[0].firstColumn, sheet->fixedCols());
    EXPECT_EQ(pages[0].columnCount, sheet->columnCount() - sheet->fixedCols());
    EXPECT_EQ(pages[0].rowCount, sheet->rowCount() - sheet->fixedRows());
    QPainter painter(&writer);
    EXPECT_EQ(layout.printPages(writer, painter, pages), 1);
  }
  ASSERT_EQ(pdfPages(path), 1);
  const QString all = pdfText(path);
  EXPECT_EQ(all.count("Kestrin Ver.1.00"), 1);
  EXPECT_EQ(all.count("Zelk Inc."), 1);
  EXPECT_TRUE(all.contains("Bank Name")) << all.toStdString();
}

TEST_F(PrintTest, AJoinedHeaderColumnNeverStartsAPage) {
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  auto writer = pdf(&out);
  PrintLayout layout(services, *writer);
  SheetModel& sheet = *layout.sheet(kMemory, layout.baseFontHeight());

  // A header group: a column that may start a page followed by columns joined to it.
  int group = -1;
  for (int c = sheet.fixedCols() + 1; c + 1 < sheet.columnCount() && group < 0; ++c)
    if (!joinedInHeader(sheet, c) && sheet.columnWidth(c) > 0 && joinedInHeader(sheet, c + 1))
      group = c;
  ASSERT_GT(group, 0) << "the memory sheet has a joined header";

  // Every width from "one column" to "everything": chunks cover all columns in order, each
  // holds one column at least, and none starts at a joined or hidden column.
  int fixedWidth = 0;
  for (int c = 0; c < sheet.fixedCols(); ++c) fixedWidth += sheet.columnWidth(c);
  for (int width = fixedWidth; width <= sheet.totalWidth() + 10; width += 37) {
    const PagePlan plan = planPages(sheet, width, 100000);
    int start = sheet.fixedCols();
    for (int chunk : plan.columnChunks) {
      ASSERT_GE(chunk, 1);
      EXPECT_FALSE(joinedInHeader(sheet, start)) << "width " << width << " column " << start;
      EXPECT_GT(sheet.columnWidth(start), 0) << "width " << width << " column " << start;
      start += chunk;
    }
    EXPECT_EQ(start, sheet.columnCount()) << width;
  }

  // The width runs out inside the group: the page ends before the group, not inside it.
  int upToGroup = fixedWidth;
  for (int c = sheet.fixedCols(); c < group; ++c) upToGroup += sheet.columnWidth(c);
  const PagePlan plan = planPages(sheet, upToGroup + sheet.columnWidth(group) + 1, 100000);
  EXPECT_EQ(plan.columnChunks.front(), group - sheet.fixedCols());
}

TEST_F(PrintTest, RowsFillThePageAndEachPageHasOneRowAtLeast) {
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  auto writer = pdf(&out);
  PrintLayout layout(services, *writer);
  SheetModel& sheet = *layout.sheet(kMemory, layout.baseFontHeight());
  int fixedHeight = 0;
  for (int r = 0; r < sheet.fixedRows(); ++r) fixedHeight += sheet.rowHeight(r);
  const int row = sheet.rowHeight(sheet.fixedRows());
  struct Case {
    int height;
    size_t chunks;
  };
  const int body = sheet.rowCount() - sheet.fixedRows();  // 100 channels
  for (const Case& c :
       {Case{fixedHeight, size_t(body)}, Case{fixedHeight + row * 10, 10u},
        Case{fixedHeight + row * 10 + row - 1, 10u}, Case{fixedHeight + row * body, 1u}}) {
    const PagePlan plan = planPages(sheet, 100000, c.height);
    EXPECT_EQ(plan.rowChunks.size(), c.chunks) << c.height;
    int rows = 0;
    for (int chunk : plan.rowChunks) rows += chunk;
    EXPECT_EQ(rows, body);
  }
}

TEST_F(PrintTest, AColumnWiderThanThePageGetsItsOwnPageWithAShrunkFont) {
  // A strip of paper 40 mm wide: 20 mm of content, narrower than the name column.
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  auto writer = pdf(&out, 600, {40, 297});
  PrintLayout layout(services, *writer);
  SheetModel& before = *layout.sheet(kBankNames, layout.baseFontHeight());
  const PrintRect area = layout.cellArea(before);
  int widest = before.fixedCols();
  for (int c = before.fixedCols(); c < before.columnCount(); ++c)
    if (before.columnWidth(c) > before.columnWidth(widest)) widest = c;
  ASSERT_GT(before.columnWidth(widest), area.width());

  const std::vector<PrintPage> pages = layout.layoutSheet(kBankNames);
  ASSERT_FALSE(pages.empty());
  bool own = false;
  int height = pages.front().fontHeight;
  for (const PrintPage& page : pages) {
    EXPECT_LE(page.scalings, 3);
    EXPECT_GE(page.fontHeight, height) << "the shrunk font stays for the following pages";
    height = page.fontHeight;
    if (page.firstColumn == widest && page.columnCount == 1) {
      own = true;
      EXPECT_GE(page.scalings, 1);
      EXPECT_GT(page.fontHeight, layout.baseFontHeight());  // negative: smaller magnitude
      SheetModel& shrunk = *layout.sheet(kBankNames, page.fontHeight);
      const QSize size = layout.cellsSize(shrunk, page);
      EXPECT_TRUE(page.scalings == 3 || size.width() <= area.width())
          << size.width() << " > " << area.width();
    }
  }
  EXPECT_TRUE(own);
}

TEST_F(PrintTest, UnprintableSheetsGiveNoPages) {
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  auto writer = pdf(&out);
  PrintLayout layout(services, *writer);
  EXPECT_TRUE(layout.layoutSheet("GI_Sheet_TopPage").empty());  // NoPrint
  // The second hundred of the factory image holds no channel.
  EXPECT_TRUE(layout.layoutSheet("[St_ColCut]GI_Sheet_MemoryCH,1,100").empty());
  EXPECT_FALSE(layout.layoutSheet(kMemory).empty());
}

TEST_F(PrintTest, PagesRunAcrossThenDownAndShowTheirCells) {
  // An image page at 150 dpi: the memory sheet needs pages across and down.
  QImage page(1240, 1754, QImage::Format_RGB32);
  page.setDotsPerMeterX(5906);
  page.setDotsPerMeterY(5906);
  PrintLayout layout(services, page);
  ASSERT_EQ(layout.dpi(), 150);
  const std::vector<PrintPage> pages = layout.layoutSheet(kMemory);
  ASSERT_GE(pages.size(), 4u);
  EXPECT_EQ(pages[0].firstRow, pages[1].firstRow);
  EXPECT_LT(pages[0].firstColumn, pages[1].firstColumn);
  const PrintPage& down = *std::find_if(pages.begin(), pages.end(), [&](const PrintPage& p) {
    return p.firstRow != pages[0].firstRow;
  });
  EXPECT_EQ(down.firstColumn, pages[0].firstColumn);

  // The first page in its print look: white paper, black rules, dark grey header cells.
  page.fill(Qt::white);
  {
    QPainter p(&page);
    layout.drawPage(p, pages[0]);
  }
  const PrintRect area = layout.cellArea(*layout.sheet(kMemory, pages[0].fontHeight));
  int dark = 0;
  int black = 0;
  for (int y = area.top; y < area.top + 200; ++y)
    for (int x = area.left; x < area.right; ++x) {
      const QRgb c = page.pixel(x, y);
      dark += c == qRgb(0x60, 0x60, 0x60);
      black += c == qRgb(0, 0, 0);
    }
  EXPECT_GT(dark, 1000);
  EXPECT_GT(black, 100);
  // Nothing is drawn below the frame's lower rule.
  for (int y = layout.contentRect().bottom; y < page.height(); ++y)
    for (int x = 0; x < page.width(); x += 3) ASSERT_EQ(page.pixel(x, y), qRgb(255, 255, 255));
}
