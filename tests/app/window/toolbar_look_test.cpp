#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <memory>

#include "app/ToolBarRow.h"

// The toolbar's rows draw the style's background and lines themselves; they must give exactly
// the pixels the style draws, wherever a row stands in its line.

namespace {

QImage rendered(ToolBarRow& row) {
  const int ratio = qRound(row.devicePixelRatio());
  QImage image(row.size() * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::magenta);
  row.render(&image);
  return image;
}

ToolBarRow* addRow(QMainWindow& window, QStyle* style, int buttons) {
  auto* row = new ToolBarRow(&window);
  row->setStyle(style);
  row->setMovable(false);
  row->setIconSize(QSize(16, 16));
  for (int i = 0; i < buttons; ++i) row->addAction(QStringLiteral("B%1").arg(i));
  window.addToolBar(Qt::TopToolBarArea, row);
  return row;
}

}  // namespace

TEST(ToolBarLook, OwnLinesGiveTheStylesPixelsInEveryPlaceOfALine) {
  const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
  ASSERT_TRUE(fusion);
  // One row alone in its line, two rows sharing a line, and a line of its own after a break.
  QMainWindow window;
  window.setStyle(fusion.get());
  std::vector<ToolBarRow*> rows{addRow(window, fusion.get(), 6), addRow(window, fusion.get(), 3)};
  window.addToolBarBreak(Qt::TopToolBarArea);
  rows.push_back(addRow(window, fusion.get(), 4));
  window.resize(640, 300);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  for (ToolBarRow* row : rows) {
    SCOPED_TRACE(testing::Message() << "row at " << row->x() << "," << row->y() << " ratio "
                                    << row->devicePixelRatio());
    row->setOwnPaintAllowed(true);
    const QImage own = rendered(*row);
    // At 200 % the style's pen is scaled and rounded its own way: the style draws then.
    EXPECT_EQ(row->lastPaintOwn(), row->devicePixelRatio() == 1.0);
    row->setOwnPaintAllowed(false);
    const QImage style = rendered(*row);
    EXPECT_FALSE(row->lastPaintOwn());
    EXPECT_TRUE(own == style);
  }
}
