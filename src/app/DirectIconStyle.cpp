#include "app/DirectIconStyle.h"

#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

QString imagePath(const QString& stem, int size) {
  return QStringLiteral(":/qt-project.org/styles/commonstyle/images/%1%2.png").arg(stem).arg(size);
}

bool isFusion(const QStyle* style) {
  return style && qstrcmp(style->metaObject()->className(), "QFusionStyle") == 0;
}

// The images Qt's common style gives these two pictures, in its sizes; a null icon when any of
// them cannot be read (another Qt may keep them elsewhere).
QIcon readIcon(const QString& stem, const QList<int>& sizes) {
  QIcon icon;
  for (int size : sizes) {
    QImageReader reader(imagePath(stem, size), "png");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (image.isNull()) return QIcon();
    icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

// Reads the images when the picture is first drawn or measured, not when it is asked for: every
// menu bar and toolbar asks as it is made, and the picture shows only on a bar too narrow for its
// items. Should an image prove unreadable, the style's own picture stands in.
class ExtensionIconEngine final : public QIconEngine {
 public:
  ExtensionIconEngine(QString stem, QList<int> sizes, QStyle* style,
                      QStyle::StandardPixmap which, Qt::LayoutDirection direction)
      : stem_(std::move(stem)), sizes_(std::move(sizes)), style_(style), which_(which),
        direction_(direction) {}

  QIconEngine* clone() const override { return new ExtensionIconEngine(*this); }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    // A ratio of 1: the size asked for is already in device pixels.
    return icon().pixmap(size, 1.0, mode, state);
  }

  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    const QPixmap pm = pixmap(size, mode, state);
    return pm.isNull() ? QSize() : pm.size();
  }

  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return icon().availableSizes(mode, state);
  }

  bool isNull() override { return false; }

 private:
  const QIcon& icon() {
    if (!read_) {
      read_ = true;
      icon_ = readIcon(stem_, sizes_);
      if (icon_.isNull() && style_) {
        QStyleOption option;
        option.direction = direction_;
        icon_ = style_->standardIcon(which_, &option);
      }
    }
    return icon_;
  }

  QString stem_;
  QList<int> sizes_;
  QPointer<QStyle> style_;
  QStyle::StandardPixmap which_;
  Qt::LayoutDirection direction_;
  bool read_ = false;
  QIcon icon_;
};

}  // namespace

DirectIconStyle::DirectIconStyle(QStyle* base) : QProxyStyle(base) {}

DirectIconStyle* DirectIconStyle::replacing(const QStyle* current) {
  if (!isFusion(current)) return nullptr;
  QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"));
  if (!isFusion(fusion)) {
    delete fusion;
    return nullptr;
  }
  return new DirectIconStyle(fusion);
}

bool DirectIconStyle::drawsAsFusion(const QStyle* style) {
  if (const auto* direct = qobject_cast<const DirectIconStyle*>(style)) style = direct->baseStyle();
  return isFusion(style);
}

QIcon DirectIconStyle::standardIcon(StandardPixmap which, const QStyleOption* option,
                                    const QWidget* widget) const {
  if (isFusion(baseStyle()) &&
      (which == SP_ToolBarHorizontalExtensionButton || which == SP_ToolBarVerticalExtensionButton)) {
    const Qt::LayoutDirection direction =
        option ? option->direction : QGuiApplication::layoutDirection();
    QString stem;
    QList<int> sizes;
    if (which == SP_ToolBarVerticalExtensionButton) {
      stem = QStringLiteral("toolbar-ext-v-");
      sizes = {5, 10, 20};
    } else {
      stem = direction == Qt::RightToLeft ? QStringLiteral("toolbar-ext-h-rtl-")
                                          : QStringLiteral("toolbar-ext-h-");
      sizes = {8, 16, 32};
    }
    // Another Qt may keep the images elsewhere; then the style answers at once.
    if (QFile::exists(imagePath(stem, sizes.first())))
      return QIcon(new ExtensionIconEngine(stem, sizes, baseStyle(), which, direction));
  }
  return QProxyStyle::standardIcon(which, option, widget);
}
