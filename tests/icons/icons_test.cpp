// Every picture of the image lists, the application icon and the transceiver picture load from
// the compiled-in resources through the SVG plugins, and draw something visible at 16 x 16.
// With KESTRIN_ICON_SHEET=<file.png> the test also writes a contact sheet of all pictures at 16
// and 32 px for a look by eye.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QResource>
#ifndef KESTRIN_ICONS_RENDERED
#include <QSvgRenderer>
#endif
#include <vector>

#include "kestrinicons.h"

namespace {

std::vector<const char*> allPictures() {
  std::vector<const char*> names;
  for (const char* name : kestrinicons::kTreeList) names.push_back(name);
  for (const char* name : kestrinicons::kToolBarList) names.push_back(name);
  for (const char* name : kestrinicons::kLargeList) names.push_back(name);
  names.push_back(kestrinicons::kApplication);
  names.push_back(kestrinicons::kTransceiver);
  return names;
}

int opaquePixels(const QImage& image, const QRect& area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (qAlpha(image.pixel(x, y)) >= 128) ++count;
  return count;
}

TEST(Icons, ResourceFolderHoldsExactlyThePicturesOfTheLists) {
  QStringList expected;
  for (const char* name : allPictures()) expected << QString::fromLatin1(name) + ".svg";
  expected.sort();
  QStringList found = QDir(":/icons").entryList(QDir::Files);
  found.sort();
  EXPECT_EQ(found, expected);
  EXPECT_EQ(allPictures().size(), 27u + 2u);
}

TEST(Icons, EveryPictureLoadsAndDrawsAt16Pixels) {
  for (const char* name : allPictures()) {
    SCOPED_TRACE(name);
    const QString file = kestrinicons::path(name);
#ifndef KESTRIN_ICONS_RENDERED  // else rendered to PNG when built
    QSvgRenderer renderer(file);
    ASSERT_TRUE(renderer.isValid());
#endif

    // Through QIcon, as the tree, toolbar and windows use them: this needs the icon engine.
    const QIcon icon(file);
    ASSERT_FALSE(icon.isNull());
    const QImage image = icon.pixmap(QSize(16, 16)).toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_LE(image.width(), 16);
    EXPECT_LE(image.height(), 16);
    // A readable small icon covers a fair part of its square, and is not a filled square.
    const int opaque = opaquePixels(image, image.rect());
    EXPECT_GE(opaque, 12);
    EXPECT_LT(opaque, image.width() * image.height());
  }
}

TEST(Icons, SvgImagePluginReadsTheResources) {
#ifndef KESTRIN_ICONS_RENDERED  // else the pictures were rendered to PNG when they were built
  EXPECT_TRUE(QImageReader::supportedImageFormats().contains("svg"));
#endif
  QImage image(kestrinicons::path(kestrinicons::kApplication));
  ASSERT_FALSE(image.isNull());
  EXPECT_GT(opaquePixels(image, image.rect()), 0);
}

TEST(Icons, ApplicationIconIsSharpAt256Pixels) {
  const QPixmap big = QIcon(kestrinicons::path(kestrinicons::kApplication)).pixmap(256, 256);
  ASSERT_EQ(big.size(), QSize(256, 256));
  const QImage image = big.toImage();
  EXPECT_GT(opaquePixels(image, image.rect()), 256 * 256 / 2);
}

// The warning and error marks are drawn over a tree icon, so they must stay in its bottom
// right and leave the top left of the icon underneath visible.
TEST(Icons, OverlayMarksKeepToTheBottomRight) {
  for (const char* name : {"imgIcon_Tree_Warn_W_RB", "imgIcon_Tree_Warn_E_RB"}) {
    SCOPED_TRACE(name);
    const QImage image = QIcon(kestrinicons::path(name)).pixmap(16, 16).toImage();
    EXPECT_EQ(opaquePixels(image, QRect(0, 0, 7, 16)), 0);
    EXPECT_EQ(opaquePixels(image, QRect(0, 0, 16, 7)), 0);
    EXPECT_GT(opaquePixels(image, QRect(8, 8, 8, 8)), 30);
  }
}

// The icons of the lists take the sizes rendered at build time from images; whatever a window
// asks of them must come out as from the SVG itself, in every mode, size and pixel ratio.
TEST(Icons, RenderedIconsDrawAsTheirSvg) {
  std::vector<const char*> names;
  for (const char* name : kestrinicons::kTreeList) names.push_back(name);
  for (const char* name : kestrinicons::kToolBarList) names.push_back(name);
  for (const char* name : kestrinicons::kLargeList) names.push_back(name);
  const QIcon::Mode modes[] = {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected};
  for (const char* name : names) {
    SCOPED_TRACE(name);
#ifndef KESTRIN_ICONS_RENDERED  // the fast path must really be there: bare pixels, stored as they are
    for (const int size : {16, 32}) {
      const QResource rendered(kestrinicons::renderedPath(name, size));
      EXPECT_EQ(rendered.uncompressedSize(), qint64(size) * size * 4) << size;
      EXPECT_EQ(rendered.compressionAlgorithm(), QResource::NoCompression) << size;
    }
#endif
    const QIcon svg(kestrinicons::path(name));
    const QIcon fast = kestrinicons::icon(name);
    EXPECT_EQ(fast.isNull(), svg.isNull());
    EXPECT_EQ(fast.availableSizes(), svg.availableSizes());
    for (const QIcon::Mode mode : modes) {
      for (const int size : {16, 24, 32, 64, 128}) {
        for (const qreal ratio : {1.0, 2.0}) {
          SCOPED_TRACE(testing::Message() << "mode " << mode << " size " << size << " ratio " << ratio);
          const QPixmap a = fast.pixmap(QSize(size, size), ratio, mode);
          const QPixmap b = svg.pixmap(QSize(size, size), ratio, mode);
          EXPECT_EQ(a.devicePixelRatio(), b.devicePixelRatio());
          EXPECT_EQ(a.toImage(), b.toImage());
          // As item views and the tree's overlays draw them: through paint() on a device.
          QImage onA(QSize(size, size) * ratio, QImage::Format_ARGB32_Premultiplied);
          onA.setDevicePixelRatio(ratio);
          onA.fill(Qt::transparent);
          QImage onB = onA;
          {
            QPainter pa(&onA);
            fast.paint(&pa, QRect(0, 0, size, size), Qt::AlignCenter, mode);
            QPainter pb(&onB);
            svg.paint(&pb, QRect(0, 0, size, size), Qt::AlignCenter, mode);
          }
          EXPECT_EQ(onA, onB);
        }
        EXPECT_EQ(fast.actualSize(QSize(size, size), mode), svg.actualSize(QSize(size, size), mode));
      }
    }
  }
}

TEST(Icons, ContactSheetOnRequest) {
  const QString out = qEnvironmentVariable("KESTRIN_ICON_SHEET");
  if (out.isEmpty()) GTEST_SKIP() << "set KESTRIN_ICON_SHEET=<file.png> to write the sheet";
  const auto names = allPictures();
  const int cell = 48;
  QImage sheet(cell * 2 * 4, cell * int((names.size() + 3) / 4), QImage::Format_ARGB32);
  sheet.fill(QColor(240, 240, 240));
  QPainter painter(&sheet);
  for (size_t i = 0; i < names.size(); ++i) {
    const QIcon icon(kestrinicons::path(names[i]));
    const int x = int(i % 4) * cell * 2, y = int(i / 4) * cell;
    painter.drawPixmap(x + 4, y + 16, icon.pixmap(16, 16));
    painter.drawPixmap(x + 28, y + 8, icon.pixmap(32, 32));
    painter.setPen(Qt::black);
    QFont font = painter.font();
    font.setPixelSize(8);
    painter.setFont(font);
    painter.drawText(x + 2, y + 46, QString::fromLatin1(names[i]).remove("imgIcon_"));
  }
  painter.end();
  ASSERT_TRUE(sheet.save(out));
}

}  // namespace
