#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <memory>

#include "sheet/ui/GridScrollBar.h"

// The grid's scroll bar puts kept pieces together; it must give exactly the pixels the style
// draws for a plain scroll bar in the same state.

namespace {

struct BarCase {
  Qt::Orientation orientation;
  int length;
  int minimum, maximum, pageStep;
};

void setUp(QScrollBar& bar, const BarCase& c, int value) {
  bar.setRange(c.minimum, c.maximum);
  bar.setPageStep(c.pageStep);
  bar.setValue(value);
  const int thickness = bar.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &bar);
  bar.resize(c.orientation == Qt::Vertical ? QSize(thickness, c.length)
                                           : QSize(c.length, thickness));
}

// The bar as the screen shows it, at the screen's pixel ratio (the suite runs at 100 % and again
// at 200 %).
QImage rendered(QScrollBar& bar) {
  const int ratio = qRound(bar.devicePixelRatio());
  QImage image(bar.size() * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(bar.palette().color(QPalette::Window));
  bar.render(&image);
  return image;
}

// Values across the range, the ends included.
std::vector<int> valuesOf(const BarCase& c) {
  const int span = c.maximum - c.minimum;
  return {c.minimum,     c.minimum + 1, c.minimum + span / 3, c.minimum + span / 2,
          c.maximum - 1, c.maximum};
}

const BarCase kCases[] = {
    {Qt::Vertical, 700, 5, 105, 30},   // the memory sheet's rows
    {Qt::Horizontal, 900, 2, 40, 12},  // columns
    {Qt::Vertical, 120, 0, 1000, 3},   // a short bar with a small slider
};

// A style that writes the slider's position into the groove: its bar is not its pieces put
// together, and the bar must see that.
class PositionStyle : public QProxyStyle {
 public:
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control == CC_ScrollBar && slider && (slider->subControls & SC_ScrollBarGroove)) {
      painter->fillRect(QRect(option->rect.topLeft(), QSize(4, 4 + slider->sliderPosition % 7)),
                        Qt::red);
    }
  }
};

}  // namespace

TEST(GridScrollBarLook, KeptPiecesGiveTheStylesOwnPixels) {
  GridScrollBar::forgetPieces();
  for (const BarCase& c : kCases) {
    GridScrollBar kept(c.orientation);
    QScrollBar plain(c.orientation);
    for (int value : valuesOf(c)) {
      SCOPED_TRACE(testing::Message()
                   << "orientation " << c.orientation << ", length " << c.length << ", ratio "
                   << kept.devicePixelRatio() << ", value " << value);
      setUp(kept, c, value);
      setUp(plain, c, value);
      const QImage image = rendered(kept);
      EXPECT_TRUE(kept.lastPaintKept()) << "the pieces were not used";
      EXPECT_TRUE(image == rendered(plain));
    }
  }
}

TEST(GridScrollBarLook, AStyleThatDrawsByPositionIsLeftToDrawTheBar) {
  GridScrollBar::forgetPieces();
  PositionStyle style;
  const BarCase c = kCases[0];
  GridScrollBar kept(c.orientation);
  QScrollBar plain(c.orientation);
  kept.setStyle(&style);
  plain.setStyle(&style);
  for (int value : valuesOf(c)) {
    SCOPED_TRACE(testing::Message() << "value " << value);
    setUp(kept, c, value);
    setUp(plain, c, value);
    const QImage image = rendered(kept);
    EXPECT_FALSE(kept.lastPaintKept());
    EXPECT_TRUE(image == rendered(plain));
  }
  GridScrollBar::forgetPieces();
}
