#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <memory>
#include <vector>

#include "app/DirectIconStyle.h"
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
  // Fusion, and the program's style over Fusion.
  std::vector<std::unique_ptr<QStyle>> styles;
  styles.emplace_back(QStyleFactory::create(QStringLiteral("Fusion")));
  styles.emplace_back(DirectIconStyle::replacing(styles.front().get()));
  for (const std::unique_ptr<QStyle>& style : styles) {
    ASSERT_TRUE(style);
    SCOPED_TRACE(style->metaObject()->className());
    // One row alone in its line, two rows sharing a line, and a line of its own after a break.
    QMainWindow window;
    window.setStyle(style.get());
    std::vector<ToolBarRow*> rows{addRow(window, style.get(), 6), addRow(window, style.get(), 3)};
    window.addToolBarBreak(Qt::TopToolBarArea);
    rows.push_back(addRow(window, style.get(), 4));
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
      const QImage drawn = rendered(*row);
      EXPECT_FALSE(row->lastPaintOwn());
      EXPECT_TRUE(own == drawn);
    }
  }
}

// The program's style reads the extension buttons' pictures itself: they must be Fusion's, in
// both directions and every size. Other styles are left as they are.
TEST(ToolBarLook, ExtensionPicturesAreTheStylesOwn) {
  const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
  const std::unique_ptr<DirectIconStyle> direct(DirectIconStyle::replacing(fusion.get()));
  ASSERT_TRUE(direct);
  for (QStyle::StandardPixmap which :
       {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton}) {
    for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
      SCOPED_TRACE(testing::Message() << "picture " << which << ", direction " << direction);
      QStyleOption option;
      option.direction = direction;
      const QIcon own = direct->standardIcon(which, &option);
      const QIcon theirs = fusion->standardIcon(which, &option);
      ASSERT_FALSE(theirs.availableSizes().isEmpty());
      EXPECT_EQ(own.availableSizes(), theirs.availableSizes());
      for (const QSize& size : theirs.availableSizes())
        EXPECT_TRUE(own.pixmap(size).toImage() == theirs.pixmap(size).toImage()) << size.width();
    }
  }
  // As the extension button of a bar too narrow for its buttons draws it, read only then. The
  // button takes the application's style, as in the program.
  const QString appStyle = QApplication::style()->name();
  auto narrowBar = [](QStyle* style) {
    QApplication::setStyle(style);
    QMainWindow window;
    auto* bar = new QToolBar(&window);
    bar->setMovable(false);
    for (int i = 0; i < 12; ++i) bar->addAction(QStringLiteral("Button %1").arg(i));
    window.addToolBar(bar);
    window.resize(160, 120);
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* extension = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    EXPECT_TRUE(extension && extension->isVisible());
    const int ratio = qRound(bar->devicePixelRatio());
    QImage image(bar->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::magenta);
    bar->render(&image);
    return image;
  };
  const QImage fusionBar = narrowBar(QStyleFactory::create(QStringLiteral("Fusion")));
  const QImage directBar = narrowBar(DirectIconStyle::replacing(QApplication::style()));
  EXPECT_TRUE(directBar == fusionBar);
  QApplication::setStyle(appStyle);

  const std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
  ASSERT_TRUE(windows);
  EXPECT_EQ(DirectIconStyle::replacing(windows.get()), nullptr);
}
