#include "kestrinicons.h"

#include <QApplication>
#include <QByteArray>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QResource>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

// The pictures themselves are compiled in as Qt resources.

namespace {

// A picture rendered beforehand, as the bare pixels it is stored in; null when the resource is
// missing or not of that size.
QImage renderedImage(const char* name, int size) {
  const QResource resource(kestrinicons::renderedPath(name, size));
  const QByteArray pixels = resource.uncompressedData();  // no copy: stored uncompressed
  if (pixels.size() != qsizetype(size) * size * 4) return QImage();
  // Converted to the format pixmaps are drawn from, into an image of its own.
  return QImage(reinterpret_cast<const uchar*>(pixels.constData()), size, size, size * 4,
                QImage::Format_RGBA8888_Premultiplied)
      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Serves the sizes rendered at build time from their images and everything else from the SVG,
// which it reads only then. What it returns matches Qt's SVG icon engine call for call: the
// normal image as rendered, the other modes derived by the style, as that engine does.
class RenderedIconEngine final : public QIconEngine {
 public:
  RenderedIconEngine(const char* name, QList<int> sizes) : name_(name), sizes_(std::move(sizes)) {}

  QIconEngine* clone() const override { return new RenderedIconEngine(*this); }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    QSize size = rect.size();
    if (painter->device()) size *= painter->device()->devicePixelRatio();
    painter->drawPixmap(rect, pixmap(size, mode, state));
  }

  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    const QPixmap pm = pixmap(size, mode, state);
    return pm.isNull() ? QSize() : pm.size();
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    if (size.width() != size.height() || !sizes_.contains(size.width())) {
      // A ratio of 1 asks the SVG engine itself, without QIcon's scaling for the screen.
      return svg().pixmap(size, 1.0, mode, state);
    }
    const quint64 key = (quint64(size.width()) << 8) | quint64(mode);
    if (const auto it = cache_.constFind(key); it != cache_.constEnd()) return *it;
    QPixmap pm;
    if (mode == QIcon::Normal) {
      const QImage image = renderedImage(name_.constData(), size.width());
      if (image.isNull()) return svg().pixmap(size, 1.0, mode, state);
      pm = QPixmap::fromImage(image);
    } else {
      pm = pixmap(size, QIcon::Normal, state);
      if (qobject_cast<QApplication*>(QCoreApplication::instance()) && !pm.isNull()) {
        QStyleOption option(0);
        option.palette = QGuiApplication::palette();
        const QPixmap generated = QApplication::style()->generatedIconPixmap(mode, pm, &option);
        if (!generated.isNull()) pm = generated;
      }
    }
    cache_.insert(key, pm);
    return pm;
  }

  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {}; }
  bool isNull() override { return false; }

 private:
  const QIcon& svg() {
    if (svg_.isNull()) svg_ = QIcon(kestrinicons::path(name_.constData()));
    return svg_;
  }

  QByteArray name_;
  QList<int> sizes_;
  QIcon svg_;
  QHash<quint64, QPixmap> cache_;
};

}  // namespace

QString kestrinicons::renderedPath(const char* name, int size) {
  return QStringLiteral(":/icons/rendered/%1-%2.rgba").arg(QLatin1String(name)).arg(size);
}

QIcon kestrinicons::icon(const char* name) {
  const bool large = std::find_if(kLargeList.begin(), kLargeList.end(), [name](const char* n) {
                       return qstrcmp(n, name) == 0;
                     }) != kLargeList.end();
  const QList<int> sizes = large ? QList<int>(kRenderedLargeSizes.begin(), kRenderedLargeSizes.end())
                                 : QList<int>(kRenderedSizes.begin(), kRenderedSizes.end());
  // A build renders all of them or none (its Qt reads no SVG then, and the pictures themselves
  // were rendered to images); one look tells which.
  static const bool rendered = QResource(renderedPath(kTreeList.front(), 16)).isValid();
  if (!rendered) return QIcon(path(name));
  return QIcon(new RenderedIconEngine(name, sizes));
}
