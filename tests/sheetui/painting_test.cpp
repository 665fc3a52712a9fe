#include <QPainter>
#include <QScreen>
#include <QScrollBar>

#include "sheet/ui/CellPainter.h"
#include "sheet/ui/DirectPixels.h"
#include "sheet/ui/SheetColours.h"
#include "sheetui_support.h"

// Painting checked on the pixels of real sheets.

namespace {

constexpr const char* kMemory = "[St_ColCut]GI_Sheet_MemoryCH,0,0";

QColor rgb(CellColour c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

class Painting : public SheetUiTest {
 protected:
  // The first cell whose own text is `text`.
  SheetPos cellWithText(const QByteArray& text) const {
    const SheetModel& m = sheet->model();
    for (int r = 0; r < m.rowCount(); ++r)
      for (int c = 0; c < m.columnCount(); ++c)
        if (m.cellAt(c, r).text.value_or(QByteArray()) == text) return {c, r};
    return {};
  }
  // A pixel of the cell's background: near its top left, away from text and rules.
  QColor backgroundOf(const QImage& image, SheetPos p) const {
    const QRect r = grid()->cellRect(p.column, p.row);
    return image.pixelColor(r.left() + 1, r.top() + 1);
  }
};

TEST_F(Painting, FrequencyHeaderIsOneGreenBandWithOneRightRule) {
  open(kMemory);
  const SheetPos head = cellWithText(" Frequency");
  ASSERT_TRUE(head.valid());
  const SheetModel& m = sheet->model();
  int last = head.column;
  while (last + 1 < m.columnCount() && m.cellAt(last + 1, head.row).join()) ++last;
  EXPECT_EQ(last - head.column + 1, 6);
  int lastShown = last;
  while (m.columnWidth(lastShown) == 0) --lastShown;
  const QImage image = grabGrid();
  const QColor green(0, 0x80, 0);
  for (int c = head.column; c <= last; ++c) {
    if (m.columnWidth(c) == 0) continue;
    const QRect r = grid()->cellRect(c, head.row);
    const QColor edge = image.pixelColor(r.right(), r.top() + 1);
    EXPECT_EQ(image.pixelColor(r.right() - 1, r.top() + 1), green) << "column " << c;
    if (c < lastShown) {
      EXPECT_EQ(edge, green) << "no rule inside the band, column " << c;
    } else {
      EXPECT_EQ(edge, QColor(Qt::white)) << "the rule at the band's end";
    }
  }
}

TEST_F(Painting, CurrentRowTintedExceptFixedColumns) {
  open(kMemory);
  select(CL_Mch_Freq, 3);
  const SheetModel& m = sheet->model();
  const SheetPos current = sheet->currentCell();
  const SheetPos other = cellOf(CL_Mch_Dup, 3);
  const SheetPos below = cellOf(CL_Mch_Dup, 4);
  ASSERT_TRUE(other.valid() && below.valid());
  const SheetPos fixed{1, current.row};
  ASSERT_LT(fixed.column, m.fixedCols());
  QImage image = grabGrid();
  const CellPainter& painter = grid()->painter();
  EXPECT_EQ(backgroundOf(image, other), rgb(painter.lineColour()));
  EXPECT_EQ(backgroundOf(image, below), QColor(Qt::white));
  EXPECT_EQ(backgroundOf(image, fixed),
            sheetcolours::toQColor(m.cellAt(fixed.column, fixed.row).colour, grid()->palette()));
  EXPECT_EQ(backgroundOf(image, current), grid()->palette().color(QPalette::Highlight));

  // A changed window colour changes the tint at the next paint.
  QPalette pal = grid()->palette();
  pal.setColor(QPalette::Base, QColor(0xF0, 0xE0, 0xD0));
  grid()->setPalette(pal);
  grid()->invalidateAll();
  image = grabGrid();
  EXPECT_EQ(backgroundOf(image, other), rgb(painter.lineColour()));
  EXPECT_NE(painter.lineColour(), sheetcolours::lineColour(0xFFFFFF, 0));
}

TEST(DerivedColours, FromWindowAndText) {
  struct Case {
    CellColour window, text, line, inactive;
  };
  const Case cases[] = {
      {0xFFFFFF, 0x000000, 0xDFDFDF, 0xBFBFBF},
      {0x000000, 0xFFFFFF, 0x202020, 0x404040},
      {0xD0E0F0, 0x102030, 0xB8C8D8, 0xA0B0C0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sheetcolours::lineColour(c.window, c.text), c.line) << std::hex << c.window;
    EXPECT_EQ(sheetcolours::inactiveSelectionColour(c.window, c.text), c.inactive)
        << std::hex << c.window;
  }
}

// Scrolling moves the pixels that stay and paints only what comes into view: the screen must
// then show exactly what a repaint of everything shows. Also where the sheet's background shows
// beyond the last column or below the last row, which a scroll leaves as it is.
TEST_F(Painting, ScrolledPixelsMatchAFullRepaint) {
  open(kMemory);
  select(CL_Mch_Freq, 3);
  auto onScreen = [&] {
    QApplication::processEvents();
    return window.screen()->grabWindow(window.winId()).toImage();
  };
  QScrollBar* rows = grid()->verticalScrollBar();
  struct Step {
    const char* what;
    std::function<void()> scroll;
  };
  const std::vector<Step> down = {
      {"a page down", [&] { rows->triggerAction(QAbstractSlider::SliderPageStepAdd); }},
      {"a wheel notch down", [&] { grid()->wheelRows(1); }},
      {"a wheel notch up", [&] { grid()->wheelRows(-1); }},
      {"a page up", [&] { rows->triggerAction(QAbstractSlider::SliderPageStepSub); }},
  };
  const std::vector<Step> across = {
      {"two columns right", [&] { grid()->setLeftColumn(grid()->leftColumn() + 2); }},
      {"one column left", [&] { grid()->setLeftColumn(grid()->leftColumn() - 1); }},
  };
  auto both = down;
  both.insert(both.end(), across.begin(), across.end());
  const struct Shape {
    QSize size;
    const std::vector<Step>& steps;
  } shapes[] = {
      {{1000, 640}, both},
      {{1800, 640}, down},    // wider than all the columns
      {{800, 2600}, across},  // taller than all the rows
  };
  for (const Shape& shape : shapes) {
    window.resize(shape.size);
    sheet->resize(shape.size);
    grid()->setTopRow(0);
    grid()->setLeftColumn(0);
    onScreen();
    for (const Step& step : shape.steps) {
      const int top = grid()->topRow();
      const int left = grid()->leftColumn();
      step.scroll();
      ASSERT_TRUE(grid()->topRow() != top || grid()->leftColumn() != left)
          << step.what << " at " << shape.size.width() << " x " << shape.size.height();
      const QImage scrolled = onScreen();
      ASSERT_FALSE(scrolled.isNull());
      grid()->viewport()->repaint();
      EXPECT_EQ(scrolled, onScreen())
          << step.what << " at " << shape.size.width() << " x " << shape.size.height();
    }
  }
}

// Texts kept as images of their finished pixels must give exactly the pixels of their glyphs: the
// visible grid at pixel ratios 1 and 2 (channels in use, unused ones, the tinted current row, a
// selected cell), and the grid as the screen shows it.
TEST_F(Painting, KeptTextImagesGiveTheGlyphsOwnPixels) {
#ifdef Q_OS_WIN
  GTEST_SKIP() << "texts are not kept as images on Windows";
#endif
  for (int ch = 0; ch < 12; ++ch) setChannel(ch, 144000000u + uint32_t(ch) * 12500u);
  open(kMemory);
  select(CL_Mch_Freq, 3);
  const CellPainter& painter = grid()->painter();
  auto paintAll = [&](int ratio) {
    QImage image(grid()->viewport()->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::magenta);
    QPainter p(&image);
    const CellPaintState state = grid()->paintState();
    for (int r = 0; r <= grid()->lastVisibleRow(); ++r)
      for (int c = 0; c <= grid()->lastVisibleColumn(); ++c) {
        const QRect rect = grid()->cellRect(c, r);
        if (!rect.isEmpty()) painter.paint(p, c, r, rect, state);
      }
    return image;
  };
  // Images are made at a text's second showing.
  for (int ratio : {1, 2}) {
    CellPainter::setTextImages(false);
    const QImage glyphs = paintAll(ratio);
    CellPainter::setTextImages(true);
    EXPECT_EQ(paintAll(ratio), glyphs) << "texts seen, ratio " << ratio;
    EXPECT_EQ(paintAll(ratio), glyphs) << "images made, ratio " << ratio;
    ASSERT_GT(CellPainter::keptTextImages(), 0) << ratio;
    EXPECT_EQ(paintAll(ratio), glyphs) << "images kept, ratio " << ratio;
  }
  CellPainter::setTextImages(false);
  const QImage screen = grabGrid();
  CellPainter::setTextImages(true);
  grabGrid();
  grabGrid();
  EXPECT_GT(CellPainter::keptTextImages(), 0);
  EXPECT_EQ(grabGrid(), screen);
}

// Backgrounds, rules and kept texts written straight into the window's image, with texts drawn
// from their glyphs and marks among them, give exactly the pixels the painter gives: on screen
// (whole, and a repaint of two separate areas, which must leave the rest as it was), and rendered
// into images at pixel ratios 1 and 2.
TEST_F(Painting, PixelsWrittenStraightAreThePaintersOwn) {
  for (int ch = 0; ch < 12; ++ch) setChannel(ch, 146000000u + uint32_t(ch % 4) * 25000u);
  setChannel(12, 300000000u);  // outside the radio's whole range: a mark beside the frequency
  open(kMemory);
  select(CL_Mch_Freq, 3);
  grabGrid();
  grabGrid();  // texts kept as images from the second showing
  auto onScreen = [&] {
    QApplication::processEvents();
    return window.screen()->grabWindow(window.winId()).toImage();
  };
  auto both = [&](const char* what, const std::function<QImage()>& paint) {
    DirectPixels::setEnabled(false);
    const QImage painted = paint();
    DirectPixels::setEnabled(true);
    EXPECT_EQ(paint(), painted) << what;
  };
  both("the whole grid on screen", [&] {
    grid()->viewport()->repaint();
    return onScreen();
  });
  QWidget* view = grid()->viewport();
  const QRect second = grid()->cellRect(cellOf(CL_Mch_Freq, 2).column, cellOf(CL_Mch_Freq, 2).row);
  const QRect sixth = grid()->cellRect(cellOf(CL_Mch_Freq, 6).column, cellOf(CL_Mch_Freq, 6).row);
  // Parts of rows, so that runs of cells reach beyond them.
  const QRegion two = QRegion(second.adjusted(second.width() / 2, 0, 0, -second.height() / 2)) +
                      QRegion(sixth.adjusted(-10, 2, 200, -2));
  both("two areas repainted on screen", [&] {
    for (int ch = 0; ch < 12; ++ch) setChannel(ch, 146000000u + uint32_t(ch % 4) * 25000u);
    view->repaint();
    onScreen();
    // Channels changed behind the grid's back show only where it is repainted.
    for (int ch = 0; ch < 12; ++ch) setChannel(ch, 147000000u + uint32_t(ch % 3) * 25000u);
    view->repaint(two);
    return onScreen();
  });
  for (int ratio : {1, 2}) {
    both(ratio == 1 ? "rendered at ratio 1" : "rendered at ratio 2", [&] {
      QImage image(view->size() * ratio, QImage::Format_ARGB32_Premultiplied);
      image.setDevicePixelRatio(ratio);
      image.fill(Qt::magenta);
      view->render(&image, QPoint(), QRegion(view->rect()) - QRect(40, 40, 100, 100));
      return image;
    });
  }
}

// One cell painted alone with a scripted answer, as the print preview and the pages will do.
class OneCell : public Painting {
 protected:
  void SetUp() override {
    open(kMemory);
    at = cellOf(CL_Mch_Freq, 1);  // not the current cell: no selection look
  }
  QImage paint(const std::function<void(cmcCellCapsule&)>& answer, bool print = false,
               SheetPos where = {}) {
    if (!where.valid()) where = at;
    CellPainter painter(sheet->model(), answer);
    painter.setPrintMode(print);
    QImage image(160, 24, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter p(&image);
    painter.paint(p, where.column, where.row, image.rect(), CellPaintState{});
    return image;
  }
  SheetPos at;
};

TEST_F(OneCell, SignificantLengthLeavesTheTailSilver) {
  const QImage image = paint([](cmcCellCapsule& req) {
    req.resultText = "88888";
    req.significantLength = 3;
  });
  // The text's columns (away from the cell's rules): dark pixels in the first part, only silver
  // ones in the last.
  int first = image.width();
  int last = -1;
  for (int x = 0; x < image.width() - 2; ++x)
    for (int y = 0; y < image.height() - 2; ++y)
      if (qGray(image.pixel(x, y)) < 230) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
  ASSERT_LT(first, last);
  const int fifth = (last - first + 1) / 5;
  auto darkest = [&](int from, int to) {
    int d = 255;
    for (int x = from; x <= to; ++x)
      for (int y = 0; y < image.height() - 2; ++y) d = std::min(d, qGray(image.pixel(x, y)));
    return d;
  };
  EXPECT_LT(darkest(first, first + 3 * fifth - 1), 100);
  EXPECT_GE(darkest(last - fifth + 2, last), 150);
  EXPECT_LE(darkest(last - fifth + 2, last), 200);
}

TEST_F(OneCell, ErrorMarkAtItsPosition) {
  auto redColumns = [](const QImage& image) {
    std::vector<int> xs;
    for (int x = 0; x < image.width(); ++x)
      for (int y = 0; y < image.height(); ++y) {
        const QColor c = image.pixelColor(x, y);
        if (c.red() > 180 && c.green() < 90 && c.blue() < 90) {
          xs.push_back(x);
          break;
        }
      }
    return xs;
  };
  struct Case {
    int position;
    bool left;
  };
  for (const Case c : {Case{kMarkLeft, true}, Case{kMarkRightEdge, false}}) {
    const QImage image = paint([&](cmcCellCapsule& req) {
      req.resultText = "1";
      req.marks |= kMarkRange;
      req.markPosition = c.position;
    });
    const std::vector<int> xs = redColumns(image);
    ASSERT_FALSE(xs.empty()) << c.position;
    if (c.left) {
      EXPECT_LE(xs.front(), 4);
      EXPECT_LT(xs.back(), 20);
    } else {
      EXPECT_GT(xs.front(), 160 - 20);
      EXPECT_LE(xs.back(), 160 - 2);
    }
  }
  // No mark without the bit.
  EXPECT_TRUE(redColumns(paint([](cmcCellCapsule& req) { req.resultText = "1"; })).empty());
}

TEST_F(OneCell, TextWiderThanTheCellStaysInside) {
  CellPainter painter(sheet->model(), [](cmcCellCapsule& req) {
    req.resultText = "145.500000 145.500000 145.500000";
  });
  QImage image(320, 24, QImage::Format_RGB32);
  image.fill(Qt::magenta);
  {
    QPainter p(&image);
    painter.paint(p, at.column, at.row, QRect(0, 0, 160, 24), CellPaintState{});
  }
  bool inked = false;
  for (int x = 0; x < 160; ++x) inked = inked || qGray(image.pixel(x, 12)) < 100;
  EXPECT_TRUE(inked);
  for (int x = 160; x < image.width(); ++x)
    for (int y = 0; y < image.height(); ++y)
      ASSERT_EQ(image.pixel(x, y), qRgb(255, 0, 255)) << x << "," << y;
}

TEST_F(OneCell, PrintedDarkGreyWithWhiteTextOrWhite) {
  const SheetPos header = cellWithText("CH");
  ASSERT_TRUE(header.valid());
  ASSERT_NE(sheet->model().cellAt(header.column, header.row).colour, kClWindow);
  const QImage grey = paint({}, true, header);
  EXPECT_EQ(grey.pixelColor(1, 1), QColor(0x60, 0x60, 0x60));
  bool whiteText = false;
  for (int x = 0; x < grey.width(); ++x)
    for (int y = 0; y < grey.height(); ++y)
      whiteText = whiteText || grey.pixel(x, y) == qRgb(255, 255, 255);
  EXPECT_TRUE(whiteText);

  const QImage white = paint([](cmcCellCapsule& req) { req.resultText = "145.500000"; }, true);
  EXPECT_EQ(white.pixelColor(1, 1), QColor(Qt::white));
}

}  // namespace
