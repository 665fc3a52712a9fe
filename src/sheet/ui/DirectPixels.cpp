#include "sheet/ui/DirectPixels.h"

#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "sheet/ui/PainterRatio.h"

namespace {

bool g_enabled = true;

// A run of equal pixels. The processor's string store writes whole cache lines without reading
// them from memory first, which the vector loops of a general fill cannot.
inline void fillPixels(quint32* to, quint32 value, qsizetype count) {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  asm volatile("rep stosl" : "+D"(to), "+c"(count) : "a"(value) : "memory");
#else
  std::fill_n(to, count, value);
#endif
}

}  // namespace

void DirectPixels::setEnabled(bool on) { g_enabled = on; }

DirectPixels::DirectPixels(QPainter& painter) : painter_(painter) {
  if (!g_enabled) return;
  QPaintEngine* engine = painter.paintEngine();
  if (!engine || engine->type() != QPaintEngine::Raster) return;
  QPaintDevice* target = engine->paintDevice();
  if (!target || target->devType() != QInternal::Image) return;
  auto* image = static_cast<QImage*>(target);
  if (image->format() != QImage::Format_RGB32 &&
      image->format() != QImage::Format_ARGB32_Premultiplied) {
    return;
  }
  if (painter.hasClipping() || painter.opacity() != 1.0 ||
      painter.compositionMode() != QPainter::CompositionMode_SourceOver) {
    return;
  }
  ratio_ = wholePixelRatio(painter);
  if (ratio_ == 0) return;
  const QTransform t = painter.deviceTransform();
  dx_ = static_cast<int>(t.dx());
  dy_ = static_cast<int>(t.dy());
  // The system clip is in device pixels; none means the whole device.
  const QRect bounds = image->rect();
  const QRegion system = engine->systemClip();
  clip_ = system.isEmpty() ? QRegion(bounds) : (system & bounds);
  image_ = image;
  // The painter holds the image's own pixels: asking for writable ones would copy a shared image.
  bits_ = const_cast<uchar*>(image->constBits());
  stride_ = image->bytesPerLine();
}

QRect DirectPixels::toDevice(const QRect& rect) const {
  return QRect(rect.x() * ratio_ + dx_, rect.y() * ratio_ + dy_, rect.width() * ratio_,
               rect.height() * ratio_);
}

bool DirectPixels::writable() const { return image_ && !painter_.hasClipping(); }

void DirectPixels::fill(const QRect& rect, const QColor& colour) {
  if (!writable() || colour.alpha() != 255) {
    painter_.fillRect(rect, colour);
    return;
  }
  if (rect.isEmpty()) return;
  const quint32 value = colour.rgba();
  const QRect device = toDevice(rect);
  for (const QRect& area : clip_) {
    const QRect part = device & area;
    if (part.isEmpty()) continue;
    uchar* line = bits_ + part.y() * stride_ + qsizetype(part.x()) * 4;
    for (int y = 0; y < part.height(); ++y, line += stride_)
      fillPixels(reinterpret_cast<quint32*>(line), value, part.width());
  }
}

void DirectPixels::drawImage(const QRect& target, const QImage& image, const QPoint& source) {
  const QRect from(source, target.size() * ratio_);
  if (!writable() || image.format() != QImage::Format_RGB32 || image.devicePixelRatio() != ratio_ ||
      !image.rect().contains(from)) {
    painter_.drawImage(target, image, QRect(source, target.size() * image.devicePixelRatio()));
    return;
  }
  if (target.isEmpty()) return;
  const QRect device = toDevice(target);
  const uchar* const from0 = image.constBits();
  const qsizetype fromStride = image.bytesPerLine();
  for (const QRect& area : clip_) {
    const QRect part = device & area;
    if (part.isEmpty()) continue;
    const QPoint at = from.topLeft() + (part.topLeft() - device.topLeft());
    const uchar* in = from0 + at.y() * fromStride + qsizetype(at.x()) * 4;
    uchar* out = bits_ + part.y() * stride_ + qsizetype(part.x()) * 4;
    const size_t bytes = size_t(part.width()) * 4;
    for (int y = 0; y < part.height(); ++y, in += fromStride, out += stride_)
      std::memcpy(out, in, bytes);
  }
}
