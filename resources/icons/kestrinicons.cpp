#include "kestrinicons.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

// The pictures themselves are compiled in as Qt resources.

namespace {

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
      // Read as the PNG it is: left to guess, Qt's reader would first load every image format
      // plug-in (and the libraries behind them) to ask whether it reads PNG.
      QImageReader reader(kestrinicons::renderedPath(name_.constData(), size.width()), "png");
      reader.setAutoDetectImageFormat(false);
      const QImage image = reader.read();
      if (image.isNull()) return svg().pixmap(size, 1.0, mode, state);
      pm = QPixmap::fromImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
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
  return QStringLiteral(":/icons/rendered/%1-%2.png").arg(QLatin1String(name)).arg(size);
}

QIcon kestrinicons::icon(const char* name) {
  const bool large = std::find_if(kLargeList.begin(), kLargeList.end(), [name](const char* n) {
                       return qstrcmp(n, name) == 0;
                     }) != kLargeList.end();
  const QList<int> sizes = large ? QList<int>(kRenderedLargeSizes.begin(), kRenderedLargeSizes.end())
                                 : QList<int>(kRenderedSizes.begin(), kRenderedSizes.end());
  if (!QFile::exists(renderedPath(name, sizes.first()))) return QIcon(path(name));
  return QIcon(new RenderedIconEngine(name, sizes));
}
