// Renders an SVG file to square PNG files at the sizes given, for the desktop icon themes:
//   kestrin_svgpng <in.svg> <out-dir> <size>...
// writes <out-dir>/<size>x<size>/apps/<basename>.png. Runs at build time without a display.
//   kestrin_svgpng --scale <n> <in.svg> <out.png>
// renders the picture at n times its own size, for builds whose Qt cannot read SVG.
//   kestrin_svgpng --icon <in.svg> <out-dir> <size>...
// writes <out-dir>/<basename>-<size>.rgba as Qt's SVG icon engine draws the picture at that size,
// for the program to take at start-up instead of reading the SVG: the bare pixels, row by row,
// four bytes each (red, green, blue, alpha, the colours premultiplied by alpha), ready to draw
// without decoding.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <memory>

namespace {

int renderIcon(const QStringList& args) {
  const QIcon icon(args[2]);
  if (icon.isNull() || !QFileInfo::exists(args[2])) {
    std::fprintf(stderr, "kestrin_svgpng: cannot read %s\n", qPrintable(args[2]));
    return 1;
  }
  const QString base = QFileInfo(args[2]).completeBaseName();
  if (!QDir().mkpath(args[3])) return 1;
  for (int i = 4; i < args.size(); ++i) {
    bool ok = false;
    const int size = args[i].toInt(&ok);
    if (!ok || size <= 0 || size > 1024) {
      std::fprintf(stderr, "kestrin_svgpng: bad size %s\n", qPrintable(args[i]));
      return 2;
    }
    // A ratio of 1 gives the engine's own pixmap at exactly this size.
    const QImage image = icon.pixmap(QSize(size, size), 1.0)
                             .toImage()
                             .convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const QString file = QStringLiteral("%1/%2-%3.rgba").arg(args[3], base).arg(size);
    QFile out(file);
    bool written = image.size() == QSize(size, size) && out.open(QIODevice::WriteOnly);
    for (int y = 0; written && y < size; ++y) {
      const auto* row = reinterpret_cast<const char*>(image.constScanLine(y));
      written = out.write(row, qint64(size) * 4) == qint64(size) * 4;
    }
    if (!written || !out.flush()) {
      std::fprintf(stderr, "kestrin_svgpng: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Icons need the GUI side of Qt (pixmaps, the icon engine plugin); the rest only images.
  const bool iconMode = argc >= 5 && QByteArray(argv[1]) == "--icon";
  std::unique_ptr<QCoreApplication> app;
  if (iconMode) {
    app = std::make_unique<QGuiApplication>(argc, argv);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  const QStringList args = QCoreApplication::arguments();
  if (iconMode) return renderIcon(args);
  if (args.size() == 5 && args[1] == QLatin1String("--scale")) {
    const int scale = args[2].toInt();
    QSvgRenderer renderer(args[3]);
    if (!renderer.isValid() || scale <= 0 || scale > 64) {
      std::fprintf(stderr, "kestrin_svgpng: cannot render %s\n", qPrintable(args[3]));
      return 1;
    }
    QImage image(renderer.defaultSize() * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
    }
    if (!image.save(args[4], "PNG")) {
      std::fprintf(stderr, "kestrin_svgpng: cannot write %s\n", qPrintable(args[4]));
      return 1;
    }
    return 0;
  }
  if (args.size() < 4) {
    std::fprintf(stderr, "usage: kestrin_svgpng <in.svg> <out-dir> <size>...\n");
    return 2;
  }
  QSvgRenderer renderer(args[1]);
  if (!renderer.isValid()) {
    std::fprintf(stderr, "kestrin_svgpng: cannot read %s\n", qPrintable(args[1]));
    return 1;
  }
  const QString base = QFileInfo(args[1]).completeBaseName();
  for (int i = 3; i < args.size(); ++i) {
    bool ok = false;
    const int size = args[i].toInt(&ok);
    if (!ok || size <= 0 || size > 4096) {
      std::fprintf(stderr, "kestrin_svgpng: bad size %s\n", qPrintable(args[i]));
      return 2;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      renderer.render(&painter, QRectF(0, 0, size, size));
    }
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(args[2]).arg(size);
    const QString file = dir + QLatin1Char('/') + base + QStringLiteral(".png");
    if (!QDir().mkpath(dir) || !image.save(file, "PNG")) {
      std::fprintf(stderr, "kestrin_svgpng: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
