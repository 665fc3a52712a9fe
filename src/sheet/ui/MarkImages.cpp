#include "sheet/ui/MarkImages.h"

#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "model/cmcCellCapsule.h"

void VectorMarkImages::draw(QPainter& p, int index, const QRect& r) const {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  const QRectF box = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
  const double w = box.width();
  const double h = box.height();
  if (index == kErrorImage) {
    const QColor line = printLook_ ? Qt::black : Qt::white;
    if (!printLook_) {
      p.setPen(QPen(QColor(0x80, 0, 0), 1));
      p.setBrush(QColor(0xE0, 0x20, 0x20));
      p.drawEllipse(box);
    }
    p.setPen(QPen(line, std::max(1.5, w / 7.0), Qt::SolidLine, Qt::RoundCap));
    const double m = printLook_ ? w * 0.15 : w * 0.3;
    p.drawLine(QPointF(box.left() + m, box.top() + m), QPointF(box.right() - m, box.bottom() - m));
    p.drawLine(QPointF(box.right() - m, box.top() + m), QPointF(box.left() + m, box.bottom() - m));
  } else if (index == kCautionImage) {
    QPainterPath triangle;
    triangle.moveTo(box.left() + w / 2, box.top());
    triangle.lineTo(box.right(), box.bottom());
    triangle.lineTo(box.left(), box.bottom());
    triangle.closeSubpath();
    if (printLook_) {
      p.setPen(QPen(Qt::black, std::max(1.0, w / 12.0)));
      p.setBrush(Qt::NoBrush);
    } else {
      p.setPen(QPen(QColor(0x80, 0x60, 0), 1));
      p.setBrush(QColor(0xFF, 0xD0, 0x20));
    }
    p.drawPath(triangle);
    p.setPen(QPen(Qt::black, std::max(1.2, w / 9.0), Qt::SolidLine, Qt::RoundCap));
    const double x = box.left() + w / 2;
    p.drawLine(QPointF(x, box.top() + h * 0.35), QPointF(x, box.top() + h * 0.68));
    p.drawPoint(QPointF(x, box.top() + h * 0.84));
  }
  p.restore();
}

namespace {

class PixmapMarkImages : public MarkImages {
 public:
  PixmapMarkImages(QPixmap caution, QPixmap error)
      : caution_(std::move(caution)), error_(std::move(error)) {}
  int imageHeight() const override { return 16; }
  int imageWidth() const override { return 16; }
  void draw(QPainter& p, int index, const QRect& rect) const override {
    const QPixmap& image = index == kErrorImage ? error_ : caution_;
    p.drawPixmap(rect, image);
  }

 private:
  QPixmap caution_;
  QPixmap error_;
};

}  // namespace

namespace {
QIcon (*markIconSource)(const char* picture) = nullptr;
}  // namespace

void setMarkIconSource(QIcon (*source)(const char* picture)) { markIconSource = source; }

std::shared_ptr<const MarkImages> defaultMarkImages() {
  // Images 4 and 5 of the form's image list, which the tree shows as its overlays too.
  static const char* const kCautionName = "imgIcon_Tree_Warn_W_RB";
  static const char* const kErrorName = "imgIcon_Tree_Warn_E_RB";
  static const char* const kCaution = ":/icons/imgIcon_Tree_Warn_W_RB.svg";
  static const char* const kError = ":/icons/imgIcon_Tree_Warn_E_RB.svg";
  if (QFile::exists(kCaution) && QFile::exists(kError)) {
    auto icon = [](const char* name, const char* path) {
      return markIconSource ? markIconSource(name) : QIcon(QString::fromLatin1(path));
    };
    const QPixmap caution = icon(kCautionName, kCaution).pixmap(16, 16);
    const QPixmap error = icon(kErrorName, kError).pixmap(16, 16);
    if (!caution.isNull() && !error.isNull()) {
      return std::make_shared<PixmapMarkImages>(caution, error);
    }
  }
  return std::make_shared<VectorMarkImages>();
}
