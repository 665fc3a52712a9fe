#include "app/DirectIconStyle.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>
#include <QStyleFactory>
#include <QStyleOption>
#include <iterator>

namespace {

bool isFusion(const QStyle* style) {
  return style && qstrcmp(style->metaObject()->className(), "QFusionStyle") == 0;
}

// The images Qt's common style gives these two pictures, in its sizes; a null icon when any of
// them cannot be read (another Qt may keep them elsewhere), so that the style answers instead.
QIcon readIcon(const QString& stem, const int* sizes, int count) {
  QIcon icon;
  for (int i = 0; i < count; ++i) {
    QImageReader reader(QStringLiteral(":/qt-project.org/styles/commonstyle/images/%1%2.png")
                            .arg(stem)
                            .arg(sizes[i]),
                        "png");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (image.isNull()) return QIcon();
    icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

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
  if (isFusion(baseStyle())) {
    static const int kHorizontal[] = {8, 16, 32};
    static const int kVertical[] = {5, 10, 20};
    const bool rtl =
        option ? option->direction == Qt::RightToLeft : QGuiApplication::isRightToLeft();
    QIcon icon;
    if (which == SP_ToolBarHorizontalExtensionButton) {
      icon = readIcon(rtl ? QStringLiteral("toolbar-ext-h-rtl-") : QStringLiteral("toolbar-ext-h-"),
                      kHorizontal, int(std::size(kHorizontal)));
    } else if (which == SP_ToolBarVerticalExtensionButton) {
      icon = readIcon(QStringLiteral("toolbar-ext-v-"), kVertical, int(std::size(kVertical)));
    }
    if (!icon.isNull()) return icon;
  }
  return QProxyStyle::standardIcon(which, option, widget);
}
